#pragma once

#include <string>

#include "cipher_command.h"
#include "core/codec.h"
#include "password_input.h"

namespace sipcrypt::cli {

// sipcrypt accounts: a CSV of accounts in, the same CSV with the four SIP
// parameters encrypted out; all rows or nothing.
class AccountsCommand : public CipherCommand {
  public:
    explicit AccountsCommand(CLI::App& tool);

  private:
    int step(Codec& codec) override;

    std::string input_path_;
    std::string output_path_;
};

}  // namespace sipcrypt::cli
