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

// The offset of the first byte that breaks UTF-8 in `text`, or npos.
std::size_t first_invalid_utf8(std::string_view text) noexcept;

// Why an encoding cannot be used.
enum class EncodingRefusal {
    unknown,     // iconv does not know the name
    zero_bytes,  // plain ASCII text would hold zero bytes (UTF-16, UTF-32, ...)
};
std::string_view describe(EncodingRefusal refusal) noexcept;

// The encoding in which text becomes the bytes that are encrypted: UTF-8, or
// any encoding iconv knows. A conversion counts only when it is exact: text
// converted into the encoding must convert back to the same text, and bytes
// converted into text must convert back to the same bytes. Anything else is
// refused, never replaced or dropped.
class TextEncoding {
  public:
    static constexpr std::string_view default_name = "UTF-8";

    // Null when the encoding cannot be used, with `why` (if given) set.
    static std::unique_ptr<TextEncoding> open(std::string_view name,
                                              EncodingRefusal* why = nullptr);
    ~TextEncoding();
    TextEncoding(const TextEncoding&) = delete;
    TextEncoding& operator=(const TextEncoding&) = delete;

    const std::string& name() const noexcept { return name_; }

    // UTF-8 text to bytes in this encoding: done, not_utf8 or
    // unrepresentable_character, naming the byte or character and its
    // position. `out` is replaced only on done.
    Outcome from_utf8(std::string_view utf8, SecretBytes& out);

    // Bytes in this encoding to UTF-8: done or not_in_encoding, naming the
    // first byte that fails. `out` is replaced only on done.
    Outcome to_utf8(std::string_view bytes, SecretBytes& out);

  private:
    TextEncoding(std::string name, iconv_t from_utf8, iconv_t to_utf8);
    bool puts_zero_bytes_into_ascii();

    // Both null for UTF-8 itself, which needs only checking.
    std::string name_;
    iconv_t from_utf8_;
    iconv_t to_utf8_;
};

}  // namespace sipcrypt
