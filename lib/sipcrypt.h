/* sipcrypt: the encrypted-text format of SIP account settings, as a C library.
 *
 * A value (UTF-8 text) becomes bytes in the encoding the decrypting program
 * reads, exactly or not at all; those bytes, zero-filled to whole 8-byte
 * blocks and encrypted with Blowfish in ECB mode under the password's bytes,
 * become Base64 text. The same rules and refusals as the sipcrypt tool.
 *
 * A context holds one key and one encoding. Use a context from one thread at
 * a time; any number of contexts may be used at once. Every call reports a
 * sipcrypt_error; none aborts, throws or keeps a pointer it was given.
 * Secrets (the key schedule, passwords, clear values in the library's own
 * buffers) are wiped before their memory is given back. Using a context
 * after sipcrypt_free() is undefined.
 *
 * Buffers: each call that gives text writes it NUL-terminated into the
 * caller's buffer and sets *length to its length without the NUL; when the
 * buffer is NULL or too small it writes nothing, sets *length to the length
 * and returns SIPCRYPT_BUFFER_TOO_SMALL, so that a second call can succeed.
 */
#ifndef SIPCRYPT_H
#define SIPCRYPT_H

#include <stddef.h>

#if defined(_WIN32)
#if defined(SIPCRYPT_BUILDING)
#define SIPCRYPT_API __declspec(dllexport)
#else
#define SIPCRYPT_API __declspec(dllimport)
#endif
#else
#define SIPCRYPT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define SIPCRYPT_VERSION_MAJOR 0
#define SIPCRYPT_VERSION_MINOR 1
#define SIPCRYPT_VERSION_PATCH 0
#define SIPCRYPT_VERSION_NUMBER \
    (SIPCRYPT_VERSION_MAJOR * 10000 + SIPCRYPT_VERSION_MINOR * 100 + SIPCRYPT_VERSION_PATCH)
#define SIPCRYPT_VERSION_STRING "0.1.0"

/* The longest value in bytes (in its encoding), and the longest text. */
#define SIPCRYPT_MAX_VALUE_LENGTH 3744
#define SIPCRYPT_MAX_TEXT_LENGTH 4992

/* The version of the library that runs, which may be newer than the header. */
SIPCRYPT_API unsigned sipcrypt_version_number(void);
SIPCRYPT_API const char* sipcrypt_version_string(void);

/* Why a call failed. The numbers never change meaning. */
typedef enum sipcrypt_error {
    SIPCRYPT_OK = 0,
    SIPCRYPT_EMPTY_PASSWORD = 2,
    SIPCRYPT_VALUE_TOO_LONG = 3, /* limit */
    SIPCRYPT_VALUE_HAS_ZERO_BYTE = 4,
    SIPCRYPT_VALUE_HAS_LINE_BREAK = 5, /* byte (CR or LF), position */
    SIPCRYPT_PASSWORD_HAS_ZERO_BYTE = 6,
    SIPCRYPT_PASSWORD_HAS_LINE_BREAK = 7,    /* byte, position */
    SIPCRYPT_NOT_UTF8 = 8,                   /* byte, position */
    SIPCRYPT_BROKEN_TEXT = 9,                /* position: half a UTF-16 surrogate pair */
    SIPCRYPT_UNREPRESENTABLE_CHARACTER = 10, /* character, position */
    SIPCRYPT_NOT_ASCII_CHARACTER = 11,       /* character, position: no encoding chosen */
    SIPCRYPT_NOT_ASCII_BYTE = 12,            /* byte, position: no encoding chosen */
    SIPCRYPT_NOT_IN_ENCODING = 13,           /* byte, position */
    SIPCRYPT_NOT_BASE64 = 14,
    SIPCRYPT_NOT_WHOLE_BLOCKS = 15,
    SIPCRYPT_TEXT_TOO_LONG = 16, /* limit */
    SIPCRYPT_BAD_FILL = 17,      /* wrong password or damaged text */
    SIPCRYPT_UNKNOWN_ENCODING = 30,
    SIPCRYPT_ENCODING_PUTS_ZERO_BYTES = 31, /* UTF-16, UTF-32 */
    SIPCRYPT_ENCODING_CHANGES_ASCII = 32,   /* UTF-7, EBCDIC */
    SIPCRYPT_NULL_ARGUMENT = 40,
    SIPCRYPT_BUFFER_TOO_SMALL = 41, /* limit: the size needed, with its NUL */
    SIPCRYPT_INVALID_ARGUMENT = 42,
    SIPCRYPT_NO_KEY = 43, /* no sipcrypt_set_key() has succeeded */
    SIPCRYPT_OUT_OF_MEMORY = 44
} sipcrypt_error;

/* The detail of a context's last failure. */
typedef enum sipcrypt_detail {
    SIPCRYPT_DETAIL_POSITION = 1,  /* 1-based: the character's place in its text, or the byte's */
    SIPCRYPT_DETAIL_CHARACTER = 2, /* a Unicode code point */
    SIPCRYPT_DETAIL_BYTE = 3,
    SIPCRYPT_DETAIL_LIMIT = 4,
    SIPCRYPT_DETAIL_INDEX = 5 /* in a batch, the 0-based index of the value */
} sipcrypt_detail;

typedef struct sipcrypt_context sipcrypt_context;

/* A new context, with no key; NULL only when memory is short. */
SIPCRYPT_API sipcrypt_context* sipcrypt_create(void);
/* Wipes and frees a context; NULL is nothing to do. */
SIPCRYPT_API void sipcrypt_free(sipcrypt_context* context);

/* Keys the context: `encoding` is a name as sipcrypt --list-encodings gives
 * them, meaning what it means on Windows (NULL or "": none chosen, ASCII
 * only); `password` is UTF-8, `password_length` bytes. Refused: an empty
 * password, one holding a zero byte or a line break, one the encoding cannot
 * hold. Only the first 72 bytes of the password in its encoding count; see
 * sipcrypt_password_cut_short(). A failure leaves the context with no key. */
SIPCRYPT_API sipcrypt_error sipcrypt_set_key(sipcrypt_context* context, const char* encoding,
                                             const char* password, size_t password_length);
/* 1 when the last key's password has bytes past the 72 that count, else 0. */
SIPCRYPT_API int sipcrypt_password_cut_short(const sipcrypt_context* context);

/* One value (UTF-8, `value_length` bytes) to its encrypted text (Base64).
 * An empty value gives an empty text. */
SIPCRYPT_API sipcrypt_error sipcrypt_encrypt(sipcrypt_context* context, const char* value,
                                             size_t value_length, char* text, size_t text_size,
                                             size_t* text_length);
/* One encrypted text back to its value, as UTF-8. An empty text gives an
 * empty value. A wrong password is not always noticed: the format has no
 * check value. */
SIPCRYPT_API sipcrypt_error sipcrypt_decrypt(sipcrypt_context* context, const char* text,
                                             size_t text_length, char* value, size_t value_size,
                                             size_t* value_length);

/* Many at once: `count` inputs one after another in `inputs`, the i-th
 * `input_lengths[i]` bytes long. Each output is written with its NUL after
 * it, in order, into `outputs`; a refused input gives an empty one. Returns
 * SIPCRYPT_OK when every input was done, else the first refusal, whose
 * detail (SIPCRYPT_DETAIL_INDEX among it) the context keeps; `errors`, when
 * not NULL, gets each input's own. *outputs_length is the bytes written,
 * NULs included, or needed. */
SIPCRYPT_API sipcrypt_error sipcrypt_encrypt_batch(sipcrypt_context* context, const char* inputs,
                                                   const size_t* input_lengths, size_t count,
                                                   char* outputs, size_t outputs_size,
                                                   size_t* outputs_length, sipcrypt_error* errors);
SIPCRYPT_API sipcrypt_error sipcrypt_decrypt_batch(sipcrypt_context* context, const char* inputs,
                                                   const size_t* input_lengths, size_t count,
                                                   char* outputs, size_t outputs_size,
                                                   size_t* outputs_length, sipcrypt_error* errors);

/* The context's last failure, SIPCRYPT_OK after a call that succeeded. */
SIPCRYPT_API sipcrypt_error sipcrypt_last_error(const sipcrypt_context* context);
/* A detail of the context's last failure; 0 where it has none. */
SIPCRYPT_API size_t sipcrypt_detail_of(const sipcrypt_context* context, sipcrypt_detail what);
/* The message for the context's last failure, detail included ("character
 * U+00E9 at position 4 cannot be represented in ASCII"); "" when there was
 * none. Valid until the next call with the context. */
SIPCRYPT_API const char* sipcrypt_message(const sipcrypt_context* context);
/* The catalogue's sentence for an error, its parameters marked as
 * {position}, {character}, {byte}, {limit}, {encoding}: the same text that
 * sipcrypt_message() fills in. Never NULL. */
SIPCRYPT_API const char* sipcrypt_strerror(sipcrypt_error error);

#ifdef __cplusplus
}
#endif

#endif
