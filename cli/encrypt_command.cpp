#include "encrypt_command.h"

#include <CLI/CLI.hpp>

#include "core/limits.h"
#include "value_stream.h"

namespace sipcrypt::cli {

EncryptCommand::EncryptCommand(CLI::App& tool)
    : ValueCommand(tool, "encrypt", "encrypt values under a password", PasswordInput::Confirm::yes,
                   "VALUE", "values to encrypt; without any, each line of standard input is one",
                   Outcome::over_limit(ParameterStatus::value_too_long, max_value_length)) {
    command().footer(
        "Each value gives one line of Base64 text; a refused value gives an empty line\n"
        "and a message naming it, and the exit status is 1.\n\n"
        "Examples:\n"
        "  printf 'sip:alice@example.com\\n' | sipcrypt encrypt --password-file pw.txt\n"
        "  SIP_KEY=secret sipcrypt encrypt --password-env SIP_KEY alice proxy.example.net\n"
        "  sipcrypt encrypt --password-file pw.txt --encoding WINDOWS-1252 < values.txt\n"
        "  sipcrypt encrypt < values.txt > texts.txt   # asks for the password twice\n");
}

Outcome EncryptCommand::transform(Codec& codec, std::string_view value, std::string& text) {
    return codec.encrypt(value, text);
}

}  // namespace sipcrypt::cli
