#pragma once

#include <memory>
#include <string_view>

#include "cipher/secure_wipe.h"

namespace sipcrypt::cli {

// The controlling terminal, for asking a password without echo. Reads and
// writes the terminal itself, so standard input and output stay free for
// data.
class TerminalPrompt {
  public:
    // Null when the process has no controlling terminal.
    static std::unique_ptr<TerminalPrompt> open();
    ~TerminalPrompt();
    TerminalPrompt(const TerminalPrompt&) = delete;
    TerminalPrompt& operator=(const TerminalPrompt&) = delete;

    // Shows `prompt` and reads one line with echo off. False at end of input
    // (Ctrl-D) or on a read error.
    bool ask_secret(std::string_view prompt, SecretBytes& answer);

    // A line on the terminal, for telling the user something while asking.
    void say(std::string_view text);

  private:
    explicit TerminalPrompt(int fd);
    int fd_;
};

}  // namespace sipcrypt::cli
