#pragma once

#include <iconv.h>

#include <memory>
#include <string>
#include <string_view>

#include "cipher/secure_wipe.h"
#include "parameter_status.h"

namespace sipcrypt {

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool is_valid_utf8(std::string_view text) noexcept;

// The encoding in which text becomes the bytes that are encrypted: UTF-8, or
// any encoding iconv knows. A character the encoding cannot hold is refused,
// never replaced.
class TextEncoding {
  public:
    static constexpr std::string_view default_name = "UTF-8";

    // Null when iconv does not know the name.
    static std::unique_ptr<TextEncoding> open(std::string_view name);
    ~TextEncoding();
    TextEncoding(const TextEncoding&) = delete;
    TextEncoding& operator=(const TextEncoding&) = delete;

    const std::string& name() const noexcept { return name_; }

    // UTF-8 text to bytes in this encoding: done, not_utf8 or
    // unrepresentable_character. `out` is replaced only on done.
    ParameterStatus from_utf8(std::string_view utf8, SecretBytes& out);

    // Bytes in this encoding to UTF-8: done or not_in_encoding.
    ParameterStatus to_utf8(std::string_view bytes, SecretBytes& out);

  private:
    TextEncoding(std::string name, iconv_t from_utf8, iconv_t to_utf8);

    // Both null for UTF-8 itself, which needs only checking.
    std::string name_;
    iconv_t from_utf8_;
    iconv_t to_utf8_;
};

}  // namespace sipcrypt
