#pragma once

#include <string>
#include <string_view>

#include "core/codec.h"
#include "core/outcome.h"
#include "password_input.h"
#include "value_stream.h"

namespace sipcrypt::cli {

// sipcrypt encrypt: each value, or each line of standard input, becomes one
// encrypted text.
class EncryptCommand : public ValueCommand {
  public:
    explicit EncryptCommand(CLI::App& tool);

  private:
    Outcome transform(Codec& codec, std::string_view value, std::string& text) override;
};

}  // namespace sipcrypt::cli
