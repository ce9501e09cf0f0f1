#include "decrypt_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "exit_status.h"
#include "settings/text_rules.h"
#include "value_stream.h"

namespace sipcrypt::cli {

DecryptCommand::DecryptCommand(CLI::App& tool)
    : CipherCommand(tool, "decrypt", "decrypt texts back to their values") {
    command().add_option("TEXT", texts_,
                         "encrypted texts; without any, each line of standard input is one");
    command().footer(
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

int DecryptCommand::run() {
    if (const int status = prepare(PasswordInput::Confirm::no); status != exit_done) return status;
    SecretBytes value;
    SecretBytes shown;
    OutputSink output(STDOUT_FILENO);
    return transform_values(
        texts_, output, ParameterStatus::text_too_long,
        [&](std::string_view text, std::string& result) -> Outcome {
            const auto step = cipher().decrypt(text, value);
            if (step != ParameterStatus::done) return step;
            const Outcome shown_ok = encoding().to_utf8({value.data(), value.size()}, shown);
            if (!shown_ok.ok()) return shown_ok;
            // One line of output cannot carry a line break.
            const Outcome one_line = check_value_text({shown.data(), shown.size()});
            if (!one_line.ok()) return one_line;
            result.assign(shown.begin(), shown.end());
            return ParameterStatus::done;
        });
}

}  // namespace sipcrypt::cli
