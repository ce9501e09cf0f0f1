#include <CLI/CLI.hpp>

#include "command.h"
#include "core/codec.h"
#include "core/limits.h"
#include "value_lines.h"

namespace sipcrypt::cli {

namespace {

#ifdef _WIN32
constexpr const char* examples =
    "Examples (cmd):\n"
    "  sipcrypt encrypt --password-file pw.txt < values.txt > texts.txt\n"
    "  sipcrypt encrypt --password-file pw.txt alice proxy.example.net\n"
    "  sipcrypt encrypt < values.txt > texts.txt   & rem asks for the password twice\n"
    "Examples (PowerShell):\n"
    "  Get-Content values.txt | sipcrypt encrypt --password-file pw.txt\n"
    "  sipcrypt encrypt --password-env SIP_KEY --encoding WINDOWS-1252 alice\n";
#else
constexpr const char* examples =
    "Examples:\n"
    "  sipcrypt encrypt --password-file pw.txt < values.txt > texts.txt\n"
    "  read -rs SIP_KEY && export SIP_KEY   # the password, typed without echo\n"
    "  sipcrypt encrypt --password-env SIP_KEY alice proxy.example.net\n"
    "  sipcrypt encrypt --password-file pw.txt --encoding WINDOWS-1252 < values.txt\n"
    "  sipcrypt encrypt < values.txt > texts.txt   # asks for the password twice\n";
#endif

// sipcrypt encrypt: each value, or each line of standard input, becomes one
// encrypted text.
class EncryptCommand : public CipherCommand {
  public:
    explicit EncryptCommand(CLI::App& tool)
        : CipherCommand(tool, "encrypt", "encrypt values under a password",
                        PasswordInput::Confirm::yes) {
        command().add_option("VALUE", values_,
                             "values to encrypt; without any, each line of standard input is one");
        command().footer(
            "Each value gives one line of Base64 text; a refused value gives an empty line\n"
            "and a message naming it, and the exit status is 1.\n\n" +
            std::string(examples));
    }

  private:
    int step(Codec& codec) override {
        std::string text;
        return transform_values(
            values_, Outcome::over_limit(ParameterStatus::value_too_long, max_value_length),
            [&](std::string_view value, SecretBytes& result) {
                const Outcome status = codec.encrypt(value, text);
                if (status.ok()) result.assign(text.begin(), text.end());
                return status;
            });
    }

    std::vector<std::string> values_;
};

}  // namespace

std::unique_ptr<Command> encrypt_command(CLI::App& tool) {
    return std::make_unique<EncryptCommand>(tool);
}

}  // namespace sipcrypt::cli
