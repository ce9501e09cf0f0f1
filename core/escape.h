#pragma once

#include <string>
#include <string_view>

#include "cipher/secret_memory.h"

namespace sipcrypt {

// Text shown on a terminal must not drive it: C0 controls, DEL and bytes
// that are not UTF-8 show as \xHH, C1 controls as \u00HH, and every
// backslash as \\, so that what is shown reads back to exactly one text.
std::string escaped(std::string_view text);

// The same in place, for a value on its way to a terminal: true when it
// changed anything.
bool escape_for_terminal(SecretBytes& text);

// Said once when a value was shown escaped.
inline constexpr const char* escaped_on_terminal =
    "control characters in values are shown escaped on a terminal (\\x1B, \\u009B, \\\\); "
    "send the output to a file or a pipe for their bytes";

}  // namespace sipcrypt
