#include "escape.h"

#include <cstdio>

#include "unicode.h"

namespace sipcrypt {

namespace {

// Characters that show as nothing, or as if they were a plain space.
bool is_invisible(char32_t c) {
    struct Range {
        char32_t first, last;
    };
    static constexpr Range ranges[] = {
        {0x00A0, 0x00A0},   {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x061C, 0x061C},
        {0x115F, 0x1160},   {0x17B4, 0x17B5},   {0x180B, 0x180F},   {0x2000, 0x200F},
        {0x2028, 0x202F},   {0x205F, 0x206F},   {0x3000, 0x3000},   {0x3164, 0x3164},
        {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},   {0xFFF0, 0xFFFB},
        {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
    };
    for (const Range& range : ranges) {
        if (c >= range.first && c <= range.last) return true;
    }
    return false;
}

template <class Out>
void append_escaped(std::string_view text, Out& out, bool invisible) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = s[i];
        const bool valid = c < 0x80 || first_invalid_utf8(text.substr(i, 4)) != 0;
        const std::size_t length = valid ? utf8_length(c) : 1;
        const char32_t character = valid ? utf8_character(s + i, length) : c;
        char shown[16] = {};
        if (c < 0x20 || c == 0x7F || !valid) {
            std::snprintf(shown, sizeof shown, "\\x%02X", c);
        } else if (character >= 0x80 && character <= 0x9F) {
            std::snprintf(shown, sizeof shown, "\\u%04X", static_cast<unsigned>(character));
        } else if (invisible && is_invisible(character)) {
            std::snprintf(shown, sizeof shown, character > 0xFFFF ? "\\U%08X" : "\\u%04X",
                          static_cast<unsigned>(character));
        } else if (c == '\\') {
            shown[0] = shown[1] = '\\';
        }
        if (shown[0] != '\0') {
            out.insert(out.end(), shown, shown + std::char_traits<char>::length(shown));
        } else {
            out.insert(out.end(), text.begin() + static_cast<std::ptrdiff_t>(i),
                       text.begin() + static_cast<std::ptrdiff_t>(i + length));
        }
        i += length;
    }
}

}  // namespace

std::string escaped(std::string_view text, bool invisible) {
    std::string out;
    append_escaped(text, out, invisible);
    return out;
}

bool escape_for_terminal(SecretBytes& text) {
    SecretBytes shown;
    append_escaped({text.data(), text.size()}, shown, false);
    if (shown == text) return false;
    text.swap(shown);
    return true;
}

}  // namespace sipcrypt
