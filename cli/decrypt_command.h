#pragma once

#include <string>
#include <vector>

#include "command.h"
#include "password_input.h"

namespace sipcrypt::cli {

// sipcrypt decrypt: each encrypted text, or each line of standard input,
// becomes the value it holds: the checker for texts already in use.
class DecryptCommand : public Command {
  public:
    explicit DecryptCommand(CLI::App& tool);
    bool chosen() const override;
    int run() override;

  private:
    CLI::App* command_;
    PasswordInput password_;
    std::string encoding_name_;
    std::vector<std::string> texts_;
};

}  // namespace sipcrypt::cli
