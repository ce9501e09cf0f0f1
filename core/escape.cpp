#include "escape.h"

#include <cstdio>

#include "text_encoding.h"
#include "utf16.h"

namespace sipcrypt {

namespace {

template <class Out>
void append_escaped(std::string_view text, Out& out) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        const bool valid = c < 0x80 || first_invalid_utf8(text.substr(i, 4)) != 0;
        const std::size_t length = valid ? utf8_length(c) : 1;
        char shown[8] = {};
        if (c < 0x20 || c == 0x7F || !valid) {
            std::snprintf(shown, sizeof shown, "\\x%02X", c);
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            std::snprintf(shown, sizeof shown, "\\u00%02X", next);
        } else if (c == '\\') {
            shown[0] = shown[1] = '\\';
        }
        if (shown[0] != '\0') {
            out.insert(out.end(), shown, shown + std::char_traits<char>::length(shown));
        } else {
            out.insert(out.end(), text.begin() + i, text.begin() + i + length);
        }
        i += length;
    }
}

}  // namespace

std::string escaped(std::string_view text) {
    std::string out;
    append_escaped(text, out);
    return out;
}

bool escape_for_terminal(SecretBytes& text) {
    SecretBytes shown;
    append_escaped({text.data(), text.size()}, shown);
    if (shown == text) return false;
    text.swap(shown);
    return true;
}

}  // namespace sipcrypt
