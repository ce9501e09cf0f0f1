#pragma once

// Text for Windows' wide API and back: UTF-8 inside, UTF-16 at the system.
#include <string>
#include <string_view>

#include "unicode.h"

namespace sipcrypt {

// Text that is not UTF-8 gives an empty name, which the system refuses.
inline std::wstring wide(std::string_view utf8) {
    std::u16string text;
    utf8_to_utf16(utf8, text);
    return {text.begin(), text.end()};
}

// A lone surrogate (Windows' names may hold one) stays in UTF-8's form for
// it, for the checks to refuse.
inline std::string narrow(std::wstring_view text) {
    std::string utf8;
    utf16_to_utf8_as_is({reinterpret_cast<const char16_t*>(text.data()), text.size()}, utf8);
    return utf8;
}

}  // namespace sipcrypt
