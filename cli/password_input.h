#pragma once

#include <string>

#include "cipher/secure_wipe.h"
#include "settings/text_encoding.h"

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

    // Reads the password as text and converts it to `encoding`. With
    // Confirm::yes a password typed at the terminal is asked twice. Returns
    // an exit status: exit_done with `password` set, or the status for a
    // message already reported.
    int read(TextEncoding& encoding, SecretBytes& password, Confirm confirm) const;

  private:
    int read_raw(SecretBytes& raw, Confirm confirm) const;

    std::string file_;
    std::string env_;
    int fd_ = -1;
    CLI::Option* file_option_ = nullptr;
    CLI::Option* env_option_ = nullptr;
    CLI::Option* fd_option_ = nullptr;
};

}  // namespace sipcrypt::cli
