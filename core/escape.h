#pragma once

#include <string>
#include <string_view>

#include "cipher/secret_memory.h"

namespace sipcrypt {

// Text shown on a terminal or in a message must not drive the terminal: C0
// controls, DEL and bytes that are not UTF-8 show as \xHH, C1 controls as
// \u00HH, and every backslash as \\, so that what is shown reads back to
// exactly one text. With `invisible`, characters that show as nothing or as
// a plain space (no-break and zero-width spaces, the byte-order mark, format
// characters) show as \uHHHH too: for names that must match exactly.
std::string escaped(std::string_view text, bool invisible = false);

// The same in place, for a value on its way to a terminal: true when it
// changed anything.
bool escape_for_terminal(SecretBytes& text);

}  // namespace sipcrypt
