#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace sipcrypt {

// Where the run of ASCII bytes that begins at `i` ends: most text is ASCII,
// and a run is looked through eight bytes at a time.
inline std::size_t ascii_run_end(const unsigned char* s, std::size_t i, std::size_t size) noexcept {
    for (std::uint64_t word; i + 8 <= size; i += 8) {
        std::memcpy(&word, s + i, 8);
        if ((word & 0x8080808080808080) != 0) break;
    }
    while (i < size && s[i] < 0x80) ++i;
    return i;
}

// One character of UTF-8: its length in bytes from its first byte, and the
// character, from well-formed UTF-8 (what the checks have let through).
constexpr std::size_t utf8_length(unsigned char lead) noexcept {
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}
inline char32_t utf8_character(const unsigned char* s, std::size_t length) noexcept {
    char32_t c = length == 1 ? s[0] : s[0] & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) c = c << 6 | (s[k] & 0x3F);
    return c;
}

// Writes a character as UTF-8 at `out`, which then points past it.
inline void put_utf8(char32_t c, char*& out) noexcept {
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
        return;
    }
    const int continuations = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    *out++ = static_cast<char>((0xF00 >> (continuations + 1)) | c >> (6 * continuations));
    for (int k = continuations - 1; k >= 0; --k) {
        *out++ = static_cast<char>(0x80 | (c >> (6 * k) & 0x3F));
    }
}

// UTF-16, as the dialog's boxes hold text on every toolkit and as Windows
// passes arguments, to UTF-8 and back. False, with `out` as it was, for a
// lone surrogate, which UTF-8 cannot carry: it would become a stand-in.
bool utf16_to_utf8(std::u16string_view text, std::string& out);
bool utf8_to_utf16(std::string_view text, std::u16string& out);

// The same, but a lone surrogate is kept in UTF-8's form for it (which is not
// valid UTF-8), so that the checks further on refuse it for what it is.
void utf16_to_utf8_as_is(std::u16string_view text, std::string& out);

}  // namespace sipcrypt
