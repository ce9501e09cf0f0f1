#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "cipher/secret_memory.h"
#include "converter.h"
#include "outcome.h"

namespace sipcrypt {

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool is_valid_utf8(std::string_view text) noexcept;

// The offset of the first byte that breaks UTF-8 in `text`, or npos.
std::size_t first_invalid_utf8(std::string_view text) noexcept;

// Why an encoding cannot be used.
enum class EncodingRefusal {
    unknown,     // the platform does not know the name
    zero_bytes,  // plain ASCII text would hold zero bytes (UTF-16, UTF-32, ...)
};
std::string describe(EncodingRefusal refusal);

// The encoding in which text becomes the bytes that are encrypted: UTF-8, or
// any encoding the platform's converter knows. A conversion counts only when it is exact: text
// converted into the encoding must convert back to the same text, and bytes
// converted into text must convert back to the same bytes. Anything else is
// refused, never replaced or dropped.
class TextEncoding {
  public:
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
    TextEncoding(std::string name, std::unique_ptr<Converter> converter);
    bool puts_zero_bytes_into_ascii();

    std::string name_;
    std::unique_ptr<Converter> converter_;  // none for UTF-8 itself, which needs only checking
};

}  // namespace sipcrypt
