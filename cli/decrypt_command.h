#pragma once

#include <string>
#include <vector>

#include "cipher_command.h"

namespace sipcrypt::cli {

// sipcrypt decrypt: each encrypted text, or each line of standard input,
// becomes the value it holds: the checker for texts already in use.
class DecryptCommand : public CipherCommand {
  public:
    explicit DecryptCommand(CLI::App& tool);

  private:
    int step(Codec& codec) override;

    std::vector<std::string> texts_;
};

}  // namespace sipcrypt::cli
