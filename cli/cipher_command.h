#pragma once

#include <string>

#include "command.h"
#include "core/codec.h"
#include "password_input.h"

namespace sipcrypt::cli {

// A command that works under one password in one encoding. run() does the
// set-up that every such command shares: --encoding, the password, the
// codec keyed once for all values; then the command's own step, which gets
// the codec and has no other way to a cipher.
class CipherCommand : public Command {
  public:
    bool chosen() const final;
    int run() final;

  protected:
    CipherCommand(CLI::App& tool, const std::string& name, const std::string& description,
                  PasswordInput::Confirm confirm);
    CLI::App& command() { return *command_; }

  private:
    virtual int step(Codec& codec) = 0;

    CLI::App* command_;
    PasswordInput password_;
    PasswordInput::Confirm confirm_;
    std::string encoding_name_;
};

}  // namespace sipcrypt::cli
