#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "text_encoding.h"

namespace sipcrypt {

// The encoding values are encrypted in, chosen in this order: the one
// `named` (--encoding), if any; SIPCRYPT_ENCODING; encoding= in the settings
// file; on Windows the ANSI code page; else none, which takes ASCII and
// refuses other text with a message that says how to choose. Null when the
// chosen name cannot be used or the settings file cannot be read: `problem`
// then says what, naming where the name came from.
std::unique_ptr<TextEncoding> choose_encoding(std::string_view named, std::string& problem);

// How the encoding is chosen when --encoding names none, for help texts.
std::string how_the_encoding_is_chosen();

}  // namespace sipcrypt
