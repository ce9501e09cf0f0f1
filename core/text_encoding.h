#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "cipher/secret_memory.h"
#include "converter.h"
#include "outcome.h"

namespace sipcrypt {

// The encoding in which text becomes the bytes that are encrypted. A name
// means what it means on Windows: Windows' code pages come from tables of
// their own, the same on every platform; UTF-8 needs only checking; other
// names go to the system's converter (iconv), where it has one. A
// conversion counts only when it is exact: text converted into the
// encoding must convert back to the same text, and bytes converted into
// text must convert back to the same bytes. Anything else is refused, never
// replaced or dropped.
class TextEncoding {
  public:
    // Done, with `encoding` set; or unknown_encoding,
    // encoding_puts_zero_bytes (UTF-16, UTF-32: plain text would hold zero
    // bytes) or encoding_changes_ascii (UTF-7, EBCDIC). An empty name is none
    // chosen: ASCII, with refusals that say no encoding is chosen.
    static Outcome open(std::string_view name, std::unique_ptr<TextEncoding>& encoding);
    ~TextEncoding();
    TextEncoding(const TextEncoding&) = delete;
    TextEncoding& operator=(const TextEncoding&) = delete;

    const std::string& name() const noexcept { return name_; }

    // UTF-8 text to bytes in this encoding: done, not_utf8, broken_text,
    // unrepresentable_character or not_ascii_character, naming the byte or
    // character and its position. `out` is replaced only on done.
    Outcome from_utf8(std::string_view utf8, SecretBytes& out);

    // Bytes in this encoding to UTF-8: done, not_in_encoding or
    // not_ascii_byte, naming the first byte that fails. `out` is replaced
    // only on done.
    Outcome to_utf8(std::string_view bytes, SecretBytes& out);

  private:
    TextEncoding(std::string name, std::unique_ptr<Converter> converter);
    Code refusal() const;
    std::size_t convert(bool to_utf8, std::string_view in);

    std::string name_;
    std::unique_ptr<Converter> converter_;  // none for UTF-8 itself, which needs only checking
    bool chosen_ = true;
    SecretBytes converted_, returned_;  // reused, so that values cost no allocation
};

}  // namespace sipcrypt
