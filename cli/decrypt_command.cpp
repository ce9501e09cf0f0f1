#include "decrypt_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "encoding_option.h"
#include "exit_status.h"
#include "settings/parameter_encryption.h"
#include "value_stream.h"

namespace sipcrypt::cli {

DecryptCommand::DecryptCommand(CLI::App& tool)
    : command_(tool.add_subcommand("decrypt", "decrypt texts back to their values")) {
    password_.add_options(*command_);
    add_encoding_option(*command_, encoding_name_);
    command_->add_option("TEXT", texts_,
                         "encrypted texts; without any, each line of standard input is one");
    command_->footer(
        "Each text gives one line with its value, shown as UTF-8. A text that is not\n"
        "Base64 of whole 8-byte blocks, or whose fill does not decrypt to zeros (wrong\n"
        "password or damaged text), gives an empty line and a message naming it, and\n"
        "the exit status is 1. A wrong password is not always noticed: the format has\n"
        "no check value.\n\n"
        "Examples:\n"
        "  sipcrypt decrypt --password-file pw.txt 0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ\n"
        "  sipcrypt decrypt --password-fd 3 3<pw.txt < texts.txt\n"
        "  sipcrypt decrypt --encoding WINDOWS-1252 < texts.txt   # asks for the password\n");
}

bool DecryptCommand::chosen() const {
    return command_->parsed();
}

int DecryptCommand::run() {
    const auto encoding = open_encoding(encoding_name_);
    if (!encoding) return exit_usage;
    SecretBytes password;
    const int status = password_.read(*encoding, password, PasswordInput::Confirm::no);
    if (status != exit_done) return status;
    const ParameterCipher cipher({password.data(), password.size()});

    SecretBytes value;
    SecretBytes shown;
    OutputSink output(STDOUT_FILENO);
    return transform_values(texts_, output, ParameterStatus::text_too_long,
                            [&](std::string_view text, std::string& result) {
                                auto step = cipher.decrypt(text, value);
                                if (step != ParameterStatus::done) return step;
                                step = encoding->to_utf8({value.data(), value.size()}, shown);
                                if (step != ParameterStatus::done) return step;
                                for (char c : shown) {
                                    if (c == '\n' || c == '\r')
                                        return ParameterStatus::value_has_line_break;
                                }
                                result.assign(shown.begin(), shown.end());
                                return ParameterStatus::done;
                            });
}

}  // namespace sipcrypt::cli
