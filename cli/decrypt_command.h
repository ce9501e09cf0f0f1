#pragma once

#include <string>
#include <string_view>

#include "cipher/secret_memory.h"
#include "core/codec.h"
#include "core/outcome.h"
#include "password_input.h"
#include "value_stream.h"

namespace sipcrypt::cli {

// sipcrypt decrypt: each encrypted text, or each line of standard input,
// becomes the value it holds: the checker for texts already in use.
class DecryptCommand : public ValueCommand {
  public:
    explicit DecryptCommand(CLI::App& tool);

  private:
    Outcome transform(Codec& codec, std::string_view text, std::string& shown) override;
    void finish() override;

    SecretBytes value_;
    bool to_terminal_ = false;
    bool escaped_ = false;
};

}  // namespace sipcrypt::cli
