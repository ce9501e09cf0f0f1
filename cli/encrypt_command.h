#pragma once

#include <string>
#include <vector>

#include "command.h"
#include "password_input.h"

namespace sipcrypt::cli {

// sipcrypt encrypt: each value, or each line of standard input, becomes one
// encrypted text.
class EncryptCommand : public Command {
  public:
    explicit EncryptCommand(CLI::App& tool);
    bool chosen() const override;
    int run() override;

  private:
    CLI::App* command_;
    PasswordInput password_;
    std::string encoding_name_;
    std::vector<std::string> values_;
};

}  // namespace sipcrypt::cli
