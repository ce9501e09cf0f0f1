#pragma once

#include <cstddef>

#include "cipher/base64.h"
#include "cipher/blowfish_cipher.h"
#include "cipher/ecb.h"

namespace sipcrypt {

// The format's limits, each fixed by the decrypting program. Everything
// else, messages included, uses these names.

// The longest value: 3744 padded bytes encode to 4992 characters, which with
// a terminator fit the decrypting program's 5000-byte buffer.
inline constexpr std::size_t max_value_length = 3744;

// The longest encrypted text: that of the longest value.
inline constexpr std::size_t max_text_length =
    Base64Encoder::encoded_length(padded_length(max_value_length));

// Password bytes past this many make no difference to the key.
inline constexpr std::size_t password_key_length = BlowfishCipher::effective_key_length;

}  // namespace sipcrypt
