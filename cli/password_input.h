#pragma once

#include <string>
#include <system_error>

#include "cipher/secret_memory.h"

namespace CLI {
class App;
}  // namespace CLI

namespace sipcrypt::cli {

// Windows passes no file descriptors to programs: no --password-fd there.
#ifdef _WIN32
inline constexpr const char* password_options = "--password-file FILE or --password-env NAME";
#else
inline constexpr const char* password_options =
    "--password-file FILE, --password-env NAME or --password-fd N";
#endif

// Where the password comes from: a file, an environment variable, a file
// descriptor, or else the terminal. No option takes the password itself, so
// it never shows in a process list or a shell history.
class PasswordInput {
  public:
    enum class Confirm { no, yes };

    explicit PasswordInput(CLI::App& command);

    // The password's text, as given. With Confirm::yes a password typed at a
    // terminal is asked twice. On failure, `where` names the source for the
    // message.
    std::error_code read(SecretBytes& password, Confirm confirm, std::string& where) const;

  private:
    std::string file_;
    std::string env_;
    int fd_ = -1;
};

}  // namespace sipcrypt::cli
