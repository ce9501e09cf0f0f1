#include "encrypt_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "exit_status.h"
#include "settings/text_rules.h"
#include "value_stream.h"

namespace sipcrypt::cli {

EncryptCommand::EncryptCommand(CLI::App& tool)
    : CipherCommand(tool, "encrypt", "encrypt values under a password") {
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

int EncryptCommand::run() {
    if (const int status = prepare(PasswordInput::Confirm::yes); status != exit_done) return status;
    SecretBytes value;
    OutputSink output(STDOUT_FILENO);
    return transform_values(
        values_, output, ParameterStatus::value_too_long,
        [&](std::string_view text, std::string& result) {
            Outcome status = check_value_text(text);
            if (status.ok()) status = encoding().from_utf8(text, value);
            if (!status.ok()) return status;
            return Outcome(cipher().encrypt({value.data(), value.size()}, result));
        });
}

}  // namespace sipcrypt::cli
