#pragma once

#include <string>

#include "outcome.h"

namespace sipcrypt {

// Whose words: the command-line tool names its options, the dialog names
// its own start-up and the settings file by its real path.
enum class Audience { tool, dialog };

// The one catalogue: the message for an outcome, its place first
// ("accounts.csv: row 3 (line 4), column 'login': ..."), then what, in the
// words of `audience`'s front end. Every message either front end shows
// comes from here.
std::string message(const Outcome& outcome, Audience audience = Audience::tool);

// The catalogue's sentence for a code as it stands, its parameters marked:
// "the value is longer than {limit} bytes".
const char* message_template(Code code);

// How the password can be given to the tool, for messages and its help.
#ifdef _WIN32
inline constexpr const char* password_options = "--password-file FILE or --password-env NAME";
#else
inline constexpr const char* password_options =
    "--password-file FILE, --password-env NAME or --password-fd N";
#endif

}  // namespace sipcrypt
