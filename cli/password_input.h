#pragma once

#include <string>

#include "cipher/secret_memory.h"
#include "core/outcome.h"

namespace CLI {
class App;
}  // namespace CLI

namespace sipcrypt::cli {

// Where the password comes from: a file, an environment variable, a file
// descriptor, or else the terminal. No option takes the password itself, so
// it never shows in a process list or a shell history.
class PasswordInput {
  public:
    enum class Confirm { no, yes };

    explicit PasswordInput(CLI::App& command);

    // The password's text, as given. With Confirm::yes a password typed at a
    // terminal is asked twice. A failure names its source as its subject.
    Outcome read(SecretBytes& password, Confirm confirm) const;

    // Whether it is read from standard input, which then holds data after it.
    bool reads_standard_input() const;

    // Whether there is somewhere to read it from: no_terminal when no option
    // names a source and there is no terminal to ask on.
    Outcome check() const;

  private:
    std::string file_;
    std::string env_;
    int fd_ = -1;
};

}  // namespace sipcrypt::cli
