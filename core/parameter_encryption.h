#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "cipher/blowfish_cipher.h"
#include "cipher/secret_memory.h"
#include "outcome.h"

namespace sipcrypt {

// The encrypted-text format, over the bytes of a value in its encoding: the
// Base64 of the value's bytes, zero-filled to whole blocks and encrypted in
// ECB mode under the password's bytes as they stand.

// Whether a value can be encrypted at all, whatever the password: done,
// empty_value, value_too_long or value_has_zero_byte.
Outcome check_value(std::string_view value) noexcept;

// One password, keyed once, for any number of values.
class ParameterCipher {
  public:
    // An empty password leaves the cipher without a key: every call then
    // answers empty_password.
    explicit ParameterCipher(std::string_view password);

    bool has_key() const noexcept { return cipher_.is_keyed(); }

    // On any status but done, `output` is left exactly as it was.
    Outcome encrypt(std::string_view value, std::string& output) const;
    // Many values at once, the texts one call each would give: their blocks
    // go through the cipher together, several times faster for short
    // values. `values` holds each value's bytes, checked and zero-filled to
    // whole blocks, one after another, encrypted in place; value i ends at
    // ends[i] (where the one before ends, for an empty text). Each text is
    // appended to `output` with a NUL after it.
    void encrypt_many(std::span<std::uint8_t> values, std::span<const std::size_t> ends,
                      std::string& output) const;
    Outcome decrypt(std::string_view text, SecretBytes& output) const;

  private:
    BlowfishCipher cipher_;
};

// Encrypts one value under a password keyed for this call alone.
Outcome encrypt_parameter(std::string_view value, std::string& output, std::string_view password);

// The inverse: decodes, decrypts and drops the zero fill.
Outcome decrypt_parameter(std::string_view text, SecretBytes& output, std::string_view password);

}  // namespace sipcrypt
