#pragma once

#include <string_view>

#include "cipher/secret_memory.h"
#include "core/outcome.h"

// Asking for a password on a terminal, with echo off. The terminal itself is
// read and written, so standard input and output stay free for data. The
// system's own part, behind one seam (POSIX or Windows).
namespace sipcrypt::cli {

// Whether the process has a controlling terminal (a console) to ask on.
bool has_terminal();

// Shows `prompt` and reads one line with echo off, on the controlling
// terminal (fd -1) or on the one that `fd` reads from: `answer` holds it, or
// the outcome says why not (no_terminal when there is none there; why it
// could not be opened; nothing_entered, line_too_long, echo_stays_on, in
// which case nothing was read). Echo is back on whenever the tool is not
// reading: a signal that ends it gets the terminal back as it was, and a stop
// (Ctrl-Z) too; when the tool is resumed, echo goes off again and the prompt
// shows again.
Outcome ask_secret(int fd, std::string_view prompt, SecretBytes& answer);

}  // namespace sipcrypt::cli
