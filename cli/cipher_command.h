#pragma once

#include <memory>
#include <string>

#include "command.h"
#include "password_input.h"
#include "settings/parameter_encryption.h"
#include "settings/text_encoding.h"

namespace sipcrypt::cli {

// A command that works under one password in one encoding: it has the
// password options and --encoding, and keys the cipher once for all its
// values.
class CipherCommand : public Command {
  public:
    bool chosen() const override;

  protected:
    CipherCommand(CLI::App& tool, const std::string& name, const std::string& description);

    // Opens the encoding, reads the password and keys the cipher. Returns
    // exit_done, or the exit status for a message already reported.
    int prepare(PasswordInput::Confirm confirm);

    CLI::App& command() { return *command_; }
    TextEncoding& encoding() { return *encoding_; }
    const ParameterCipher& cipher() const { return *cipher_; }

  private:
    CLI::App* command_;
    PasswordInput password_;
    std::string encoding_name_;
    std::unique_ptr<TextEncoding> encoding_;
    std::unique_ptr<ParameterCipher> cipher_;
};

}  // namespace sipcrypt::cli
