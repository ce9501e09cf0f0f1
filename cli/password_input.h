#pragma once

#include <string>
#include <system_error>

#include "cipher/secret_memory.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace sipcrypt::cli {

// Where the password comes from: a file, an environment variable, a file
// descriptor, or else the terminal. No option takes the password itself, so
// it never shows in a process list or a shell history.
class PasswordInput {
  public:
    enum class Confirm { no, yes };

    void add_options(CLI::App& command);

    // The password's text, as given. With Confirm::yes a password typed at a
    // terminal is asked twice. On failure, `where` names the source for the
    // message.
    std::error_code read(SecretBytes& password, Confirm confirm, std::string& where) const;

  private:
    std::string file_;
    std::string env_;
    int fd_ = -1;
    CLI::Option* file_option_ = nullptr;
    CLI::Option* env_option_ = nullptr;
    CLI::Option* fd_option_ = nullptr;
};

}  // namespace sipcrypt::cli
