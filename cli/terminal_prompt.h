#pragma once

#include <memory>
#include <string_view>
#include <system_error>

#include "cipher/secure_wipe.h"

namespace sipcrypt::cli {

// A terminal to ask a password on, with echo off. It reads and writes the
// terminal itself, so standard input and output stay free for data.
class TerminalPrompt {
  public:
    // The controlling terminal; null when the process has none.
    static std::unique_ptr<TerminalPrompt> open();
    // The terminal that `fd` reads from, opened again for reading and
    // writing; null when `fd` is not a terminal, with `error` set when it is
    // one that cannot be opened.
    static std::unique_ptr<TerminalPrompt> of(int fd, std::error_code& error);
    ~TerminalPrompt();
    TerminalPrompt(const TerminalPrompt&) = delete;
    TerminalPrompt& operator=(const TerminalPrompt&) = delete;

    enum class Answer {
        given,        // `answer` holds the line
        none,         // end of input (Ctrl-D) before a line
        too_long,     // longer than any line is read
        cannot_hide,  // echo could not be turned off: nothing was read
        error,        // see error()
    };

    // Shows `prompt` and reads one line with echo off. Echo is back on
    // whenever the tool is not reading: a signal that ends it gets the
    // terminal back as it was, and a stop (Ctrl-Z) too; when the tool is
    // resumed, echo goes off again and the prompt shows again.
    Answer ask_secret(std::string_view prompt, SecretBytes& answer);
    const std::error_code& error() const noexcept { return error_; }

    // A line on the terminal, for telling the user something while asking.
    void say(std::string_view text);

  private:
    explicit TerminalPrompt(int fd);
    int fd_;
    std::error_code error_;
};

}  // namespace sipcrypt::cli
