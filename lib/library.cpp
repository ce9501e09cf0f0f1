// The C API over the core: no exception and no C++ type crosses it.
#include <algorithm>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "cipher/secret_memory.h"
#include "core/codec.h"
#include "core/limits.h"
#include "core/messages.h"
#include "core/text_encoding.h"
#include "core/text_rules.h"
#include "sipcrypt.h"

using sipcrypt::Code;
using sipcrypt::Outcome;

struct sipcrypt_context {
    std::unique_ptr<sipcrypt::Codec> codec;
    Outcome last;
    mutable std::string message;  // of `last`; it may quote a character of a value
    std::string text;
    sipcrypt::SecretBytes value;
    std::vector<Code> codes;  // of a batch's values

    ~sipcrypt_context() { forget(); }

    void forget() {
        sipcrypt::wipe_string(message);
        sipcrypt::wipe_string(text);
    }
    sipcrypt_error fail(Outcome outcome) {
        forget();
        last = std::move(outcome);
        return static_cast<sipcrypt_error>(last.code);
    }
};

namespace {

// The same numbers on both sides of the API.
static_assert(static_cast<int>(Code::bad_fill) == SIPCRYPT_BAD_FILL);
static_assert(static_cast<int>(Code::encoding_changes_ascii) == SIPCRYPT_ENCODING_CHANGES_ASCII);
static_assert(static_cast<int>(Code::out_of_memory) == SIPCRYPT_OUT_OF_MEMORY);

// Copies `result` into the caller's buffer, NUL-terminated, when it fits.
sipcrypt_error deliver(sipcrypt_context* context, std::string_view result, char* out,
                       std::size_t size, std::size_t* length) {
    *length = result.size();
    if (out == nullptr || size <= result.size()) {
        return context->fail(Outcome::over_limit(Code::buffer_too_small, result.size() + 1));
    }
    result.copy(out, result.size());
    out[result.size()] = '\0';
    return context->fail(Code::done);
}

// One value or text through the codec; an empty one gives an empty one.
Outcome transform(sipcrypt_context* context, bool decrypt, std::string_view input,
                  std::string_view& result) {
    Outcome status;
    if (decrypt) {
        status = context->codec->decrypt(input, context->value);
        if (status.ok())
            status = sipcrypt::check_value_text({context->value.data(), context->value.size()});
        result = {context->value.data(), context->value.size()};
    } else {
        status = context->codec->encrypt(input, context->text);
        result = context->text;
    }
    if (status == Code::empty_value) status = Code::done;
    if (!status.ok() || input.empty()) result = {};
    return status;
}

sipcrypt_error one(sipcrypt_context* context, bool decrypt, const char* input, std::size_t length,
                   char* out, std::size_t size, std::size_t* out_length) {
    if (context == nullptr || out_length == nullptr || (input == nullptr && length != 0)) {
        return context == nullptr ? SIPCRYPT_NULL_ARGUMENT : context->fail(Code::null_argument);
    }
    if (!context->codec) return context->fail(Code::no_key);
    std::string_view result;
    Outcome status = transform(context, decrypt, {input, length}, result);
    if (!status.ok()) return context->fail(std::move(status));
    const sipcrypt_error delivered = deliver(context, result, out, size, out_length);
    sipcrypt::secure_wipe(context->value.data(), context->value.size());
    return delivered;
}

// Each text back to its value, one after another, each with a NUL after it.
Outcome decrypt_all(sipcrypt_context* context, std::string_view inputs,
                    std::span<const std::size_t> lengths, sipcrypt::SecretBytes& values) {
    Outcome first;
    std::size_t at = 0;
    for (std::size_t i = 0; i < lengths.size(); at += lengths[i++]) {
        std::string_view result;
        Outcome status = transform(context, true, inputs.substr(at, lengths[i]), result);
        values.insert(values.end(), result.begin(), result.end());
        values.push_back('\0');
        if (!context->codes.empty()) context->codes[i] = status.code;
        if (!status.ok() && first.ok()) {
            first = std::move(status);
            first.count = i;
        }
    }
    return first;
}

sipcrypt_error batch(sipcrypt_context* context, bool decrypt, const char* inputs,
                     const std::size_t* lengths, std::size_t count, char* outputs, std::size_t size,
                     std::size_t* outputs_length, sipcrypt_error* errors) {
    if (context == nullptr || outputs_length == nullptr || (count != 0 && lengths == nullptr) ||
        (inputs == nullptr && count != 0)) {
        return context == nullptr ? SIPCRYPT_NULL_ARGUMENT : context->fail(Code::null_argument);
    }
    if (!context->codec) return context->fail(Code::no_key);
    // The stack is swept once for the batch, not once a value.
    const sipcrypt::StackSweepDeferred sweep;
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) total += lengths[i];
    context->codes.assign(errors != nullptr ? count : 0, Code::done);
    context->text.clear();
    sipcrypt::SecretBytes values;
    Outcome first = decrypt ? decrypt_all(context, {inputs, total}, {lengths, count}, values)
                            : context->codec->encrypt_many({inputs, total}, {lengths, count},
                                                           context->text, context->codes);
    const std::string_view results =
        decrypt ? std::string_view(values.data(), values.size()) : context->text;
    for (std::size_t i = 0; i < context->codes.size(); ++i) {
        errors[i] = static_cast<sipcrypt_error>(context->codes[i]);
    }
    sipcrypt::secure_wipe(context->value.data(), context->value.size());
    *outputs_length = results.size();
    if (outputs == nullptr || results.size() > size) {
        return context->fail(Outcome::over_limit(Code::buffer_too_small, results.size()));
    }
    results.copy(outputs, results.size());
    return context->fail(std::move(first));
}

// No exception crosses the API: what the core could throw is memory.
template <class Call>
sipcrypt_error guarded(sipcrypt_context* context, Call&& call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return context == nullptr ? SIPCRYPT_OUT_OF_MEMORY : context->fail(Code::out_of_memory);
    } catch (...) {
        return context == nullptr ? SIPCRYPT_INVALID_ARGUMENT
                                  : context->fail(Code::invalid_argument);
    }
}

}  // namespace

extern "C" {

unsigned sipcrypt_version_number(void) {
    return SIPCRYPT_VERSION_NUMBER;
}

const char* sipcrypt_version_string(void) {
    return SIPCRYPT_VERSION_STRING;
}

sipcrypt_context* sipcrypt_create(void) {
    return new (std::nothrow) sipcrypt_context;
}

void sipcrypt_free(sipcrypt_context* context) {
    delete context;
}

sipcrypt_error sipcrypt_set_key(sipcrypt_context* context, const char* encoding,
                                const char* password, size_t password_length) {
    if (context == nullptr) return SIPCRYPT_NULL_ARGUMENT;
    context->codec.reset();
    if (password == nullptr) return context->fail(Code::null_argument);
    return guarded(context, [&] {
        std::unique_ptr<sipcrypt::TextEncoding> text;
        Outcome opened = sipcrypt::TextEncoding::open(encoding == nullptr ? "" : encoding, text);
        if (!opened.ok()) return context->fail(std::move(opened));
        auto codec = std::make_unique<sipcrypt::Codec>(std::move(text));
        Outcome keyed = codec->set_password({password, password_length});
        if (!keyed.ok()) return context->fail(std::move(keyed));
        context->codec = std::move(codec);
        return context->fail(Code::done);
    });
}

int sipcrypt_password_cut_short(const sipcrypt_context* context) {
    return context != nullptr && context->codec && context->codec->password_cut_short() ? 1 : 0;
}

sipcrypt_error sipcrypt_encrypt(sipcrypt_context* context, const char* value, size_t value_length,
                                char* text, size_t text_size, size_t* text_length) {
    return guarded(context, [&] {
        return one(context, false, value, value_length, text, text_size, text_length);
    });
}

sipcrypt_error sipcrypt_decrypt(sipcrypt_context* context, const char* text, size_t text_length,
                                char* value, size_t value_size, size_t* value_length) {
    return guarded(context, [&] {
        return one(context, true, text, text_length, value, value_size, value_length);
    });
}

sipcrypt_error sipcrypt_encrypt_batch(sipcrypt_context* context, const char* inputs,
                                      const size_t* input_lengths, size_t count, char* outputs,
                                      size_t outputs_size, size_t* outputs_length,
                                      sipcrypt_error* errors) {
    return guarded(context, [&] {
        return batch(context, false, inputs, input_lengths, count, outputs, outputs_size,
                     outputs_length, errors);
    });
}

sipcrypt_error sipcrypt_decrypt_batch(sipcrypt_context* context, const char* inputs,
                                      const size_t* input_lengths, size_t count, char* outputs,
                                      size_t outputs_size, size_t* outputs_length,
                                      sipcrypt_error* errors) {
    return guarded(context, [&] {
        return batch(context, true, inputs, input_lengths, count, outputs, outputs_size,
                     outputs_length, errors);
    });
}

sipcrypt_error sipcrypt_last_error(const sipcrypt_context* context) {
    return context == nullptr ? SIPCRYPT_NULL_ARGUMENT
                              : static_cast<sipcrypt_error>(context->last.code);
}

size_t sipcrypt_detail_of(const sipcrypt_context* context, sipcrypt_detail what) {
    if (context == nullptr) return 0;
    const Outcome& last = context->last;
    switch (what) {
        case SIPCRYPT_DETAIL_POSITION:
            return last.position;
        case SIPCRYPT_DETAIL_CHARACTER:
            return last.character;
        case SIPCRYPT_DETAIL_BYTE:
            return last.byte;
        case SIPCRYPT_DETAIL_LIMIT:
            return last.limit;
        case SIPCRYPT_DETAIL_INDEX:
            return last.count;
    }
    return 0;
}

const char* sipcrypt_message(const sipcrypt_context* context) {
    if (context == nullptr) return "";
    try {
        context->message = context->last.ok() ? "" : sipcrypt::message(context->last);
    } catch (...) {
        return sipcrypt_strerror(SIPCRYPT_OUT_OF_MEMORY);
    }
    return context->message.c_str();
}

const char* sipcrypt_strerror(sipcrypt_error error) {
    return sipcrypt::message_template(static_cast<Code>(error));
}

}  // extern "C"
