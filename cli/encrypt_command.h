#pragma once

#include <string>
#include <vector>

#include "cipher_command.h"

namespace sipcrypt::cli {

// sipcrypt encrypt: each value, or each line of standard input, becomes one
// encrypted text.
class EncryptCommand : public CipherCommand {
  public:
    explicit EncryptCommand(CLI::App& tool);

  private:
    int step(Codec& codec) override;

    std::vector<std::string> values_;
};

}  // namespace sipcrypt::cli
