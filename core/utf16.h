#pragma once

#include <string>
#include <string_view>

namespace sipcrypt {

// UTF-16, as the dialog's boxes hold text on every toolkit and as Windows
// passes arguments, to UTF-8 and back. False, with `out` as it was, for a
// lone surrogate, which UTF-8 cannot carry: it would become a stand-in.
bool utf16_to_utf8(std::u16string_view text, std::string& out);
bool utf8_to_utf16(std::string_view text, std::u16string& out);

// The same, but a lone surrogate is kept in UTF-8's form for it (which is not
// valid UTF-8), so that the checks further on refuse it for what it is.
void utf16_to_utf8_as_is(std::u16string_view text, std::string& out);

}  // namespace sipcrypt
