#include <CLI/CLI.hpp>

#include "command.h"
#include "core/codec.h"
#include "core/escape.h"
#include "core/limits.h"
#include "core/text_rules.h"
#include "value_lines.h"

namespace sipcrypt::cli {

namespace {

#ifdef _WIN32
constexpr const char* examples =
    "Examples (cmd):\n"
    "  sipcrypt decrypt --password-file pw.txt 0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ\n"
    "  sipcrypt decrypt < texts.txt   & rem asks for the password\n"
    "Examples (PowerShell):\n"
    "  Get-Content texts.txt | sipcrypt decrypt --password-env SIP_KEY\n";
#else
constexpr const char* examples =
    "Examples:\n"
    "  sipcrypt decrypt --password-file pw.txt 0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ\n"
    "  sipcrypt decrypt --password-fd 3 3<pw.txt < texts.txt\n"
    "  sipcrypt decrypt --encoding WINDOWS-1252 < texts.txt   # asks for the password\n";
#endif

// sipcrypt decrypt: each encrypted text, or each line of standard input,
// becomes the value it holds: the checker for texts already in use.
class DecryptCommand : public CipherCommand {
  public:
    explicit DecryptCommand(CLI::App& tool)
        : CipherCommand(tool, "decrypt", "decrypt texts back to their values",
                        PasswordInput::Confirm::no) {
        command().add_option("TEXT", texts_,
                             "encrypted texts; without any, each line of standard input is one");
        command().footer(
            "Each text gives one line with its value, shown as UTF-8. A text that is not\n"
            "Base64 of whole 8-byte blocks, or whose fill does not decrypt to zeros (wrong\n"
            "password or damaged text), gives an empty line and a message naming it, and\n"
            "the exit status is 1. A wrong password is not always noticed: the format has\n"
            "no check value.\n\n" +
            std::string(examples));
    }

  private:
    int step(Codec& codec) override {
        const bool to_terminal = is_terminal(standard_output);
        bool escaped = false;
        const int status = transform_values(
            texts_, Outcome::over_limit(ParameterStatus::text_too_long, max_text_length),
            [&](std::string_view text, SecretBytes& value) {
                Outcome status = codec.decrypt(text, value);
                // One line of output cannot carry a line break.
                if (status.ok()) status = check_value_text({value.data(), value.size()});
                if (status.ok() && to_terminal) escaped |= escape_for_terminal(value);
                return status;
            });
        if (escaped) warn(escaped_on_terminal);
        return status;
    }

    std::vector<std::string> texts_;
};

}  // namespace

std::unique_ptr<Command> decrypt_command(CLI::App& tool) {
    return std::make_unique<DecryptCommand>(tool);
}

}  // namespace sipcrypt::cli
