#pragma once

#include <string>

#include "cipher/secure_wipe.h"
#include "settings/text_encoding.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace sipcrypt::cli {

// Where the password comes from. No option takes the password itself, so it
// never shows in a process list or a shell history.
class PasswordInput {
  public:
    void add_options(CLI::App& command);

    // Reads the password as text and converts it to `encoding`. Returns an
    // exit status: exit_done with `password` set, or the status for a message
    // already reported.
    int read(TextEncoding& encoding, SecretBytes& password) const;

  private:
    int read_raw(SecretBytes& raw) const;

    std::string file_;
    std::string env_;
    CLI::Option* file_option_ = nullptr;
    CLI::Option* env_option_ = nullptr;
};

}  // namespace sipcrypt::cli
