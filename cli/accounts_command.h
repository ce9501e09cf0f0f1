#pragma once

#include <string>

#include "command.h"
#include "password_input.h"

namespace sipcrypt::cli {

// sipcrypt accounts: a CSV of accounts in, the same CSV with the four SIP
// parameters encrypted out; all rows or nothing.
class AccountsCommand : public Command {
  public:
    explicit AccountsCommand(CLI::App& tool);
    bool chosen() const override;
    int run() override;

  private:
    CLI::App* command_;
    PasswordInput password_;
    std::string encoding_name_;
    std::string input_path_;
    std::string output_path_;
};

}  // namespace sipcrypt::cli
