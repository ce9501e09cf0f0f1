#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cipher/secret_memory.h"
#include "outcome.h"
#include "parameter_encryption.h"
#include "text_encoding.h"

namespace sipcrypt {

// Text to encrypted text and back, the one way every front end does it: it
// owns the encoding and the cipher keyed for one password. A value's text
// is one line of UTF-8; it becomes bytes in the encoding, exactly or not at
// all, and those bytes the encrypted text of the format.
class Codec {
  public:
    explicit Codec(std::unique_ptr<TextEncoding> encoding);

    // Keys the cipher with the password's text, replacing any earlier key:
    // done, or why the password cannot be used (empty, a zero byte, a line
    // break, a character the encoding cannot hold), and then no key at all.
    Outcome set_password(std::string_view utf8);
    // The password has more bytes than the key uses.
    bool password_cut_short() const noexcept { return cut_short_; }

    // On any status but done, the output is left exactly as it was. Until a
    // password is set, both answer empty_password.
    Outcome encrypt(std::string_view text, std::string& encrypted);
    // Many texts at once, `texts` one after another, text i lengths[i] bytes
    // long: their encrypted texts are appended to `encrypted`, each with a
    // NUL after it, the same as one call each would give but faster; a
    // refused or empty one gives an empty one. codes[i], where codes is not
    // empty, is text i's code. Answers the first refusal, with its index as
    // its count, or done.
    Outcome encrypt_many(std::string_view texts, std::span<const std::size_t> lengths,
                         std::string& encrypted, std::span<Code> codes);
    // Whether a value's text could be encrypted, whatever the password.
    Outcome check(std::string_view text);
    Outcome decrypt(std::string_view encrypted, SecretBytes& text);

  private:
    std::unique_ptr<TextEncoding> encoding_;
    std::optional<ParameterCipher> cipher_;
    bool cut_short_ = false;
    SecretBytes bytes_;   // a value in the encoding, between the two steps
    SecretBytes blocks_;  // many values' bytes, zero-filled, for encrypt_many
};

}  // namespace sipcrypt
