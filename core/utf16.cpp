#include <cstddef>

#include "utf16.h"

#include "cipher/secret_memory.h"
#include "text_encoding.h"

namespace sipcrypt {

namespace {

bool convert(std::u16string_view text, std::string& out, bool keep_broken) {
    std::string utf8(text.size() * 3, '\0');
    char* to = utf8.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDFFF) {
            const bool pair = c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                              text[i + 1] <= 0xDFFF;
            if (!pair && !keep_broken) {
                wipe_string(utf8);
                return false;
            }
            if (pair) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
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
    return convert(text, out, false);
}

void utf16_to_utf8_as_is(std::u16string_view text, std::string& out) {
    convert(text, out, true);
}

bool utf8_to_utf16(std::string_view text, std::u16string& out) {
    if (!is_valid_utf8(text)) return false;
    std::u16string utf16;
    utf16.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8_length(s[i]);
        const char32_t c = utf8_character(s + i, length);
        i += length;
        if (c < 0x10000) {
            utf16 += static_cast<char16_t>(c);
        } else {
            utf16 += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            utf16 += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    wipe_string(out);
    out.swap(utf16);
    return true;
}

}  // namespace sipcrypt
