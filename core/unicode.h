#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

// The one place where Unicode is coded: UTF-8's validity, decoding and
// encoding; UTF-16 in either byte order, with its surrogates; runs of ASCII,
// and ASCII words. Everything else converts through these.
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

// `text` without the `blanks` at either end.
inline std::string_view without_blanks(std::string_view text, std::string_view blanks) noexcept {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Whether `a` and `b` are the same but for the case of ASCII letters.
inline bool same_ignoring_case(std::string_view a, std::string_view b) noexcept {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// The offset of the first byte that breaks UTF-8 in `text` (an overlong
// form, a surrogate, a code point past U+10FFFF, a sequence cut short), or
// npos.
std::size_t first_invalid_utf8(std::string_view text) noexcept;
inline bool is_valid_utf8(std::string_view text) noexcept {
    return first_invalid_utf8(text) == std::string_view::npos;
}

// Whether the bytes at `at` are half of a UTF-16 surrogate pair in UTF-8's
// form (ED A0..BF ..), as text from UTF-16 that was broken keeps it.
inline bool is_lone_surrogate(std::string_view at) noexcept {
    return at.size() >= 2 && static_cast<unsigned char>(at[0]) == 0xED &&
           static_cast<unsigned char>(at[1]) >= 0xA0;
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

// Writes a character as UTF-8 at `out`, which then points past it; at most
// four bytes. A surrogate is written in UTF-8's form for it, which is not
// valid UTF-8, so that the checks further on refuse it for what it is.
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

// UTF-16 code units, as the dialog's boxes hold text and Windows passes it.
constexpr bool is_high_surrogate(char32_t unit) noexcept {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool is_low_surrogate(char32_t unit) noexcept {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
constexpr char32_t from_surrogates(char32_t high, char32_t low) noexcept {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// UTF-16 text to UTF-8 and back. False, with `out` as it was, for a lone
// surrogate, which UTF-8 cannot carry (it would become a stand-in), or for
// text that is not UTF-8.
bool utf16_to_utf8(std::u16string_view text, std::string& out);
bool utf8_to_utf16(std::string_view text, std::u16string& out);
// The same, but a lone surrogate is kept in UTF-8's form for it (not valid
// UTF-8), so that the checks further on refuse it for what it is.
void utf16_to_utf8_as_is(std::u16string_view text, std::string& out);

// UTF-16 as bytes, in a file or on standard input.
enum class ByteOrder { little, big };

// The byte-order mark that `bytes` begin with: UTF-8's, UTF-16's in either
// order, or none (size 0).
struct ByteOrderMark {
    std::size_t size = 0;
    std::optional<ByteOrder> utf16;
};
inline ByteOrderMark byte_order_mark(std::string_view bytes) noexcept {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return {3, std::nullopt};
    if (bytes.substr(0, 2) == "\xFF\xFE") return {2, ByteOrder::little};
    if (bytes.substr(0, 2) == "\xFE\xFF") return {2, ByteOrder::big};
    return {};
}

// Reads UTF-16 bytes that may arrive in pieces of any size: a unit or a
// surrogate pair split between two pieces is put together. Lone surrogates
// are kept in UTF-8's form, for the checks to refuse.
class Utf16Decoder {
  public:
    explicit Utf16Decoder(ByteOrder order) noexcept : little_(order == ByteOrder::little) {}

    // The most bytes of UTF-8 that `size` more bytes can give.
    static constexpr std::size_t most_utf8(std::size_t size) noexcept { return size * 2 + 8; }

    // Writes the UTF-8 of `bytes` at `out`, and returns where it ends.
    char* decode(std::string_view bytes, char* out) noexcept;
    // At the end of the input: writes what is held back (a high surrogate
    // with no pair). False when the input ended in half a unit (an odd
    // byte), which is then dropped.
    bool finish(char*& out) noexcept;

  private:
    bool little_;
    bool has_odd_byte_ = false;
    unsigned char odd_byte_ = 0;
    char16_t high_ = 0;  // a high surrogate waiting for its pair
};

// Appends UTF-8 text as UTF-16 bytes in `order`; lone surrogates in UTF-8's
// form go back to what they were. `out` is a byte container.
template <class Bytes>
void append_utf16(std::string_view utf8, ByteOrder order, Bytes& out) {
    const std::size_t kept = out.size();
    out.resize(kept + 2 * utf8.size());  // no character takes more than twice its UTF-8
    auto* to = reinterpret_cast<unsigned char*>(out.data() + kept);
    const bool little = order == ByteOrder::little;
    const auto put = [&](char32_t unit) {
        *to++ = static_cast<unsigned char>(little ? unit & 0xFF : unit >> 8);
        *to++ = static_cast<unsigned char>(little ? unit >> 8 : unit & 0xFF);
    };
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length = std::min(utf8_length(s[i]), utf8.size() - i);
        const char32_t c = utf8_character(s + i, length);
        i += length;
        if (c < 0x10000) {
            put(c);
        } else {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    out.resize(static_cast<std::size_t>(reinterpret_cast<char*>(to) - out.data()));
}

}  // namespace sipcrypt
