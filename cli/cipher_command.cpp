#include "cipher_command.h"

#include <CLI/CLI.hpp>

#include "encoding_option.h"
#include "exit_status.h"

namespace sipcrypt::cli {

CipherCommand::CipherCommand(CLI::App& tool, const std::string& name,
                             const std::string& description)
    : command_(tool.add_subcommand(name, description)) {
    password_.add_options(*command_);
    add_encoding_option(*command_, encoding_name_);
}

bool CipherCommand::chosen() const {
    return command_->parsed();
}

int CipherCommand::prepare(PasswordInput::Confirm confirm) {
    encoding_ = open_encoding(encoding_name_);
    if (!encoding_) return exit_usage;
    SecretBytes password;
    if (const int status = password_.read(*encoding_, password, confirm); status != exit_done) {
        return status;
    }
    cipher_ = std::make_unique<ParameterCipher>(std::string_view(password.data(), password.size()));
    return exit_done;
}

}  // namespace sipcrypt::cli
