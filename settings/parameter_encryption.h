#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "cipher/base64_encoder.h"
#include "cipher/blowfish_cipher.h"
#include "cipher/secure_wipe.h"
#include "parameter_status.h"

namespace sipcrypt {

// The longest value that has an encrypted text: 3744 padded bytes encode to
// 4992 characters, which with a terminator fit the peer's 5000-byte buffer.
inline constexpr std::size_t max_value_length = 3744;
inline constexpr std::size_t max_text_length =
    Base64Encoder::encoded_length(BlowfishCipher::padded_length(max_value_length));

// Whether a value can be encrypted at all, whatever the password: done,
// empty_value, value_too_long or value_has_zero_byte.
ParameterStatus check_value(std::string_view value) noexcept;

// One password, keyed once, for any number of values. The encrypted text of a
// value is the Base64 of its bytes, zero-filled to whole blocks and encrypted
// under the password bytes as they stand.
class ParameterCipher {
  public:
    // An empty password leaves the cipher without a key: every call then
    // answers empty_password.
    explicit ParameterCipher(std::string_view password);

    bool has_key() const noexcept { return cipher_.is_keyed(); }

    // On any status but done, `output` is left exactly as it was.
    ParameterStatus encrypt(std::string_view value, std::string& output) const;
    ParameterStatus decrypt(std::string_view text, SecretBytes& output) const;

  private:
    BlowfishCipher cipher_;
};

// Encrypts one value under a password keyed for this call alone.
ParameterStatus encrypt_parameter(std::string_view value, std::string& output,
                                  std::string_view password);

// The inverse: decodes, decrypts and drops the zero fill.
ParameterStatus decrypt_parameter(std::string_view text, SecretBytes& output,
                                  std::string_view password);

}  // namespace sipcrypt
