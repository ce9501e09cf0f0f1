#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "cipher/secret_memory.h"
#include "core/outcome.h"

namespace sipcrypt::cli {

// A terminal to ask a password on, with echo off. It reads and writes the
// terminal itself, so standard input and output stay free for data. The
// system's own part, behind one seam (POSIX or Windows).
class TerminalPrompt {
  public:
    // The controlling terminal; null when the process has none.
    static std::unique_ptr<TerminalPrompt> open();
    // The terminal that `fd` reads from, opened again for reading and
    // writing; null when `fd` is not a terminal, with `error` set when it is
    // one that cannot be opened.
    static std::unique_ptr<TerminalPrompt> of(int fd, Outcome& error);
    ~TerminalPrompt();
    TerminalPrompt(const TerminalPrompt&) = delete;
    TerminalPrompt& operator=(const TerminalPrompt&) = delete;

    // Shows `prompt` and reads one line with echo off: `answer` holds it, or
    // the outcome says why not (nothing_entered, line_too_long,
    // echo_stays_on, in which case nothing was read). Echo is back on
    // whenever the tool is not reading: a signal that ends it gets the
    // terminal back as it was, and a stop (Ctrl-Z) too; when the tool is
    // resumed, echo goes off again and the prompt shows again.
    Outcome ask_secret(std::string_view prompt, SecretBytes& answer);

  private:
    TerminalPrompt(std::intptr_t input, std::intptr_t output) : input_(input), output_(output) {}
    std::intptr_t input_, output_;  // the platform's own: one descriptor, or two handles
};

}  // namespace sipcrypt::cli
