#include "unicode.h"

#include "cipher/secret_memory.h"

namespace sipcrypt {

std::size_t first_invalid_utf8(std::string_view text) noexcept {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = s[i];
        if (lead < 0x80) {
            i = ascii_run_end(s, i, n);
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80;   // bounds of the second byte, which rule out
        unsigned char high = 0xBF;  // overlong forms, surrogates and > U+10FFFF
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return i;
        }
        if (n - i < 2 || s[i + 1] < low || s[i + 1] > high) return i;
        for (std::size_t k = 2; k < length; ++k) {
            if (i + k >= n || (s[i + k] & 0xC0) != 0x80) return i;
        }
        i += length;
    }
    return std::string_view::npos;
}

namespace {

bool to_utf8(std::u16string_view text, std::string& out, bool keep_lone) {
    std::string utf8(text.size() * 3, '\0');
    char* to = utf8.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            c = from_surrogates(c, text[++i]);
        } else if ((is_high_surrogate(c) || is_low_surrogate(c)) && !keep_lone) {
            wipe_string(utf8);
            return false;
        }
        put_utf8(c, to);
    }
    utf8.resize(static_cast<std::size_t>(to - utf8.data()));
    wipe_string(out);
    out.swap(utf8);
    return true;
}

}  // namespace

bool utf16_to_utf8(std::u16string_view text, std::string& out) {
    return to_utf8(text, out, false);
}

void utf16_to_utf8_as_is(std::u16string_view text, std::string& out) {
    to_utf8(text, out, true);
}

bool utf8_to_utf16(std::string_view text, std::u16string& out) {
    if (!is_valid_utf8(text)) return false;
    std::string bytes;
    append_utf16(text, ByteOrder::little, bytes);
    std::u16string utf16(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        utf16[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    wipe_string(bytes);
    wipe_string(out);
    out.swap(utf16);
    return true;
}

char* Utf16Decoder::decode(std::string_view bytes, char* out) noexcept {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size();) {
        if (!has_odd_byte_ && i + 1 == bytes.size()) {
            odd_byte_ = b[i++];
            has_odd_byte_ = true;
            break;
        }
        const unsigned first = has_odd_byte_ ? odd_byte_ : b[i++];
        const unsigned second = b[i++];
        has_odd_byte_ = false;
        const char32_t unit = little_ ? first | second << 8 : first << 8 | second;
        if (unit < 0x80 && high_ == 0) {  // most text
            *out++ = static_cast<char>(unit);
            continue;
        }
        if (high_ != 0 && is_low_surrogate(unit)) {
            put_utf8(from_surrogates(high_, unit), out);
            high_ = 0;
            continue;
        }
        if (high_ != 0) put_utf8(high_, out);
        high_ = is_high_surrogate(unit) ? static_cast<char16_t>(unit) : 0;
        if (high_ == 0) put_utf8(unit, out);
    }
    return out;
}

bool Utf16Decoder::finish(char*& out) noexcept {
    if (high_ != 0) put_utf8(high_, out);
    high_ = 0;
    const bool whole = !has_odd_byte_;
    has_odd_byte_ = false;
    return whole;
}

}  // namespace sipcrypt
