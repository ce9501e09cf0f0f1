#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "outcome.h"
#include "text_encoding.h"

namespace sipcrypt {

// The encoding values are encrypted in, chosen in this order: the one
// `named` (--encoding), if any; SIPCRYPT_ENCODING; encoding= in the settings
// file; on Windows the ANSI code page; else none, which takes ASCII and
// refuses other text. Done, with `encoding` set; or why the chosen name
// cannot be used, its subject naming where it came from, or why the
// settings file cannot be read.
Outcome choose_encoding(std::string_view named, std::unique_ptr<TextEncoding>& encoding);

// How the encoding is chosen when --encoding names none, for help texts.
std::string how_the_encoding_is_chosen();

}  // namespace sipcrypt
