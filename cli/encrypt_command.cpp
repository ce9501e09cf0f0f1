#include "encrypt_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "encoding_option.h"
#include "exit_status.h"
#include "settings/parameter_encryption.h"
#include "value_stream.h"

namespace sipcrypt::cli {

EncryptCommand::EncryptCommand(CLI::App& tool)
    : command_(tool.add_subcommand("encrypt", "encrypt values under a password")) {
    password_.add_options(*command_);
    add_encoding_option(*command_, encoding_name_);
    command_->add_option("VALUE", values_,
                         "values to encrypt; without any, each line of standard input is one");
    command_->footer(
        "Each value gives one line of Base64 text; a refused value gives an empty line\n"
        "and a message naming it, and the exit status is 1.\n\n"
        "Examples:\n"
        "  printf 'sip:alice@example.com\\n' | sipcrypt encrypt --password-file pw.txt\n"
        "  SIP_KEY=secret sipcrypt encrypt --password-env SIP_KEY alice proxy.example.net\n"
        "  sipcrypt encrypt --password-file pw.txt --encoding WINDOWS-1252 < values.txt\n"
        "  sipcrypt encrypt < values.txt > texts.txt   # asks for the password twice\n");
}

bool EncryptCommand::chosen() const {
    return command_->parsed();
}

int EncryptCommand::run() {
    const auto encoding = open_encoding(encoding_name_);
    if (!encoding) return exit_usage;
    SecretBytes password;
    if (const int status = password_.read(*encoding, password, PasswordInput::Confirm::yes);
        status != exit_done) {
        return status;
    }
    const ParameterCipher cipher({password.data(), password.size()});

    SecretBytes value;
    OutputSink output(STDOUT_FILENO);
    return transform_values(values_, output, ParameterStatus::value_too_long,
                            [&](std::string_view text, std::string& result) {
                                const auto status = encoding->from_utf8(text, value);
                                if (status != ParameterStatus::done) return status;
                                return cipher.encrypt({value.data(), value.size()}, result);
                            });
}

}  // namespace sipcrypt::cli
