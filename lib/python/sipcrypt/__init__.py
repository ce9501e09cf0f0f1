"""The encrypted-text format of SIP account settings, over libsipcrypt's C API.

    >>> import sipcrypt
    >>> cipher = sipcrypt.Cipher("secret", encoding="WINDOWS-1252")
    >>> cipher.encrypt("alice")
    'QPJLUKCpC3c='
    >>> cipher.decrypt_many(["QPJLUKCpC3c=", "aOGybgf/mSs="])
    ['alice', 'Jürgen']

A value is text; it becomes bytes in the encoding the decrypting program
reads, exactly or not at all, and those bytes the Base64 text of the format.
Refusals raise sipcrypt.Error, which carries the library's error code, its
message and detail. A Cipher is for one thread at a time.
"""

import array
import ctypes
import os
import sys

__all__ = ["Cipher", "Error", "version"]

_OK = 0
_BUFFER_TOO_SMALL = 41
_DETAILS = ("position", "character", "byte", "limit", "index")


def _load():
    named = os.environ.get("SIPCRYPT_LIBRARY")
    if named:
        return ctypes.CDLL(named)
    if sys.platform == "win32":
        beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sipcrypt.dll")
        return ctypes.CDLL(beside if os.path.exists(beside) else "sipcrypt.dll")
    return ctypes.CDLL("libsipcrypt.so.0")


_lib = _load()
_size = ctypes.c_size_t
_SIZE_CODE = {4: "I", 8: "Q"}[ctypes.sizeof(_size)]
_SLICE = 4096  # values a call into the library
_context = ctypes.c_void_p
_lib.sipcrypt_version_string.restype = ctypes.c_char_p
_lib.sipcrypt_version_string.argtypes = []
_lib.sipcrypt_create.restype = _context
_lib.sipcrypt_create.argtypes = []
_lib.sipcrypt_free.restype = None
_lib.sipcrypt_free.argtypes = [_context]
_lib.sipcrypt_set_key.restype = ctypes.c_int
_lib.sipcrypt_set_key.argtypes = [_context, ctypes.c_char_p, ctypes.c_char_p, _size]
_lib.sipcrypt_password_cut_short.restype = ctypes.c_int
_lib.sipcrypt_password_cut_short.argtypes = [_context]
for _one in (_lib.sipcrypt_encrypt, _lib.sipcrypt_decrypt):
    _one.restype = ctypes.c_int
    _one.argtypes = [_context, ctypes.c_char_p, _size, ctypes.c_char_p, _size,
                     ctypes.POINTER(_size)]
for _many in (_lib.sipcrypt_encrypt_batch, _lib.sipcrypt_decrypt_batch):
    _many.restype = ctypes.c_int
    _many.argtypes = [_context, ctypes.c_char_p, ctypes.POINTER(_size), _size, ctypes.c_char_p,
                      _size, ctypes.POINTER(_size), ctypes.c_void_p]
_lib.sipcrypt_message.restype = ctypes.c_char_p
_lib.sipcrypt_message.argtypes = [_context]
_lib.sipcrypt_detail_of.restype = _size
_lib.sipcrypt_detail_of.argtypes = [_context, ctypes.c_int]


def version():
    """The version of the library that is loaded."""
    return _lib.sipcrypt_version_string().decode("ascii")


class Error(ValueError):
    """A refusal: `code` is the library's error code, `message` its message;
    `position`, `character`, `byte`, `limit` and, in a batch, `index` its
    detail (0 where it has none)."""

    def __init__(self, code, message, **detail):
        super().__init__(message)
        self.code = code
        self.message = message
        for name in _DETAILS:
            setattr(self, name, detail.get(name, 0))


def _text(value):
    return value.encode("utf-8") if isinstance(value, str) else bytes(value)


class Cipher:
    """One password, keyed once, in one encoding: a name as `sipcrypt
    --list-encodings` gives it, meaning what it means on Windows; None for
    none chosen (ASCII only)."""

    def __init__(self, password, encoding=None):
        self._context = _lib.sipcrypt_create()
        if not self._context:
            raise MemoryError("sipcrypt: no memory for a context")
        key = _text(password)
        name = None if encoding is None else encoding.encode("utf-8")
        self._check(_lib.sipcrypt_set_key(self._context, name, key, len(key)))

    def close(self):
        """Wipes the key and frees the context; the cipher is no use after."""
        if self._context:
            _lib.sipcrypt_free(self._context)
            self._context = None

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def __del__(self):
        self.close()

    @property
    def password_cut_short(self):
        """Whether the password has bytes past the 72 that count."""
        return bool(_lib.sipcrypt_password_cut_short(self._context))

    def encrypt(self, value):
        """A value (str) to its encrypted text; "" stays ""."""
        return self._one(_lib.sipcrypt_encrypt, _text(value), 12).decode("ascii")

    def decrypt(self, text):
        """An encrypted text back to its value (str)."""
        return self._one(_lib.sipcrypt_decrypt, _text(text), 0).decode("utf-8")

    def encrypt_many(self, values):
        """Values to their texts, in one call into the library."""
        return self._many(_lib.sipcrypt_encrypt_batch, values, "ascii")

    def decrypt_many(self, texts):
        """Texts back to their values, in one call into the library."""
        return self._many(_lib.sipcrypt_decrypt_batch, texts, "utf-8")

    def _check(self, code, first_index=0):
        if code == _OK:
            return
        message = _lib.sipcrypt_message(self._context).decode("utf-8", "backslashreplace")
        detail = {name: _lib.sipcrypt_detail_of(self._context, i + 1)
                  for i, name in enumerate(_DETAILS)}
        detail["index"] += first_index
        raise Error(code, message, **detail)

    def _one(self, call, data, slack):
        # Base64 of whole blocks: four characters for three bytes, and a NUL.
        size = (len(data) + 8) * 4 // 3 + slack + 8
        while True:
            out = ctypes.create_string_buffer(size)
            length = _size()
            code = call(self._context, data, len(data), out, size, ctypes.byref(length))
            result = out.raw[:length.value]
            ctypes.memset(out, 0, size)  # a clear value, once decrypted
            if code != _BUFFER_TOO_SMALL:
                self._check(code)
                return result
            size = length.value + 1

    def _many(self, call, items, encoding):
        items = items if isinstance(items, (list, tuple)) else list(items)
        results = []
        # In slices, whose buffers fit in memory the process already has:
        # fresh memory costs more to fault in than the work done in it.
        for start in range(0, len(items), _SLICE):
            results += self._slice(call, items[start:start + _SLICE], encoding, start)
        return results

    def _slice(self, call, items, encoding, start):
        # Joined and split by the interpreter's own loops where every item is
        # text without a NUL, many times faster than item by item.
        try:
            parts = "\0".join(items).encode("utf-8").split(b"\0")
        except TypeError:
            parts = []
        if len(parts) != len(items):
            parts = [_text(item) for item in items]
        data = b"".join(parts)
        lengths = array.array(_SIZE_CODE, map(len, parts))
        size = (len(data) + 8 * len(parts)) * 4 // 3 + 16 * len(parts) + 8
        while True:
            out = ctypes.create_string_buffer(size)
            length = _size()
            code = call(self._context, data, (_size * len(parts)).from_buffer(lengths), len(parts),
                        out, size, ctypes.byref(length), None)
            result = ctypes.string_at(out, min(length.value, size))
            ctypes.memset(out, 0, size)
            if code != _BUFFER_TOO_SMALL:
                self._check(code, start)
                return result.decode(encoding).split("\0")[:-1]
            size = length.value
