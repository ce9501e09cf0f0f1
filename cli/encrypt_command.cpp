#include "encrypt_command.h"

#include <CLI/CLI.hpp>

#include "core/limits.h"
#include "io.h"
#include "value_stream.h"

namespace sipcrypt::cli {

EncryptCommand::EncryptCommand(CLI::App& tool)
    : CipherCommand(tool, "encrypt", "encrypt values under a password",
                    PasswordInput::Confirm::yes) {
    command().add_option("VALUE", values_,
                         "values to encrypt; without any, each line of standard input is one");
    command().footer(
        "Each value gives one line of Base64 text; a refused value gives an empty line\n"
        "and a message naming it, and the exit status is 1.\n\n"
        "Examples:\n"
        "  printf 'sip:alice@example.com\\n' | sipcrypt encrypt --password-file pw.txt\n"
        "  SIP_KEY=secret sipcrypt encrypt --password-env SIP_KEY alice proxy.example.net\n"
        "  sipcrypt encrypt --password-file pw.txt --encoding WINDOWS-1252 < values.txt\n"
        "  sipcrypt encrypt < values.txt > texts.txt   # asks for the password twice\n");
}

int EncryptCommand::step(Codec& codec) {
    OutputSink output(standard_output);
    return transform_values(
        values_, output, Outcome::over_limit(ParameterStatus::value_too_long, max_value_length),
        [&](std::string_view text, std::string& result) { return codec.encrypt(text, result); });
}

}  // namespace sipcrypt::cli
