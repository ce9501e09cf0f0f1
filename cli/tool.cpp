// The tool: its arguments as UTF-8 in, its exit status out.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "cipher/secret_memory.h"
#include "command.h"
#include "core/code_pages.h"
#include "core/messages.h"
#include "core/unicode.h"
#include "io.h"

namespace sipcrypt::cli {

namespace {

// The help's examples, each for the shells it is written for.
enum Shell { sh = 1, cmd = 2, powershell = 4 };
struct Example {
    const char* helps;  // the commands in whose help it shows; "sipcrypt" for the tool's own
    int shells;
    const char* line;
};
constexpr Example example_table[] = {
    {"sipcrypt encrypt", sh | cmd,
     "sipcrypt encrypt --password-file pw.txt < values.txt > texts.txt"},
    {"sipcrypt encrypt", sh,
     "read -rs SIP_KEY && export SIP_KEY   # the password, typed without echo"},
    {"sipcrypt", powershell,
     "$env:SIP_KEY = [Net.NetworkCredential]::new('', (Read-Host -AsSecureString)).Password"},
    {"sipcrypt", sh | powershell,
     "sipcrypt decrypt --password-env SIP_KEY 0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ"},
    {"encrypt", sh | cmd, "sipcrypt encrypt --password-file pw.txt alice proxy.example.net"},
    {"encrypt", sh | powershell,
     "sipcrypt encrypt --password-env SIP_KEY --encoding WINDOWS-1252 -i values.txt"},
    {"encrypt", sh, "sipcrypt encrypt < values.txt > texts.txt   # asks for the password twice"},
    {"encrypt", cmd,
     "sipcrypt encrypt < values.txt > texts.txt   & rem asks for the password twice"},
    {"encrypt", sh | cmd | powershell,
     "sipcrypt encrypt --password-env SIP_KEY -- -starts-with-a-dash"},
    {"encrypt", powershell,
     "$OutputEncoding = [Text.UTF8Encoding]::new($false)   # before piping text to it"},
    {"encrypt", powershell, "Get-Content values.txt | sipcrypt encrypt --password-env SIP_KEY"},
    {"decrypt", sh | cmd,
     "sipcrypt decrypt --password-file pw.txt 0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ"},
    {"decrypt", sh, "sipcrypt decrypt --password-fd 3 3<pw.txt < texts.txt"},
    {"decrypt", sh,
     "sipcrypt decrypt --encoding WINDOWS-1252 < texts.txt   # asks for the password"},
    {"decrypt", cmd, "sipcrypt decrypt < texts.txt   & rem asks for the password"},
    {"decrypt", powershell, "sipcrypt decrypt --password-env SIP_KEY -i texts.txt"},
    {"sipcrypt accounts", sh | cmd,
     "sipcrypt accounts --password-file pw.txt -i accounts.csv -o encrypted.csv"},
    {"accounts", sh | cmd, "sipcrypt accounts --decrypt --password-file pw.txt -i encrypted.csv"},
    {"accounts", sh,
     "sipcrypt accounts --password-file pw.txt --input-encoding WINDOWS-1252 -i excel.csv"},
    {"accounts", sh, "sipcrypt accounts --password-file pw.txt --format tsv -i export.tsv"},
    {"accounts", powershell, "Import-Csv accounts.csv | Export-Csv -NoTypeInformation plain.csv"},
    {"accounts", powershell,
     "sipcrypt accounts --password-env SIP_KEY -i plain.csv | ConvertFrom-Csv"},
};

#ifdef _WIN32
constexpr std::pair<Shell, const char*> shells[] = {{cmd, "Examples (cmd):\n"},
                                                    {powershell, "Examples (PowerShell):\n"}};
constexpr const char* other_encodings = "";
#else
constexpr std::pair<Shell, const char*> shells[] = {{sh, "Examples:\n"}};
constexpr const char* other_encodings =
    "Other names go to iconv (iconv --list), and count only where a conversion comes back "
    "exactly.\n";
#endif

// Options in the help with the name of their value and nothing more.
class PlainHelp : public CLI::Formatter {
  public:
    std::string make_option_opts(const CLI::Option* option) const override {
        return !option->nonpositional() || option->get_type_size() == 0
                   ? ""
                   : " " + option->get_type_name();
    }
};

// Help and version text goes to standard output, which may be full.
int delivered_to_standard_output() {
    errno = 0;
    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        report(Outcome::from_errno(errno != 0 ? errno : EIO).about("standard output"));
        return exit_refused;
    }
    return exit_done;
}

// A usage error in the tool's voice, for CLI11's failure hook. What is wrong
// is CLI11's own text, or, for arguments it could not place, found from
// what it left over.
std::string usage_failure(const CLI::App* tool, const CLI::Error& error) {
    std::string command;
    for (const CLI::App* chosen : tool->get_subcommands()) command = chosen->get_name() + " ";
    const std::vector<std::string> extras = tool->remaining(true);
    Outcome outcome;
    if (!extras.empty()) {
        const std::string& first = extras.front();
        outcome = !first.empty() && first[0] == '-' ? Code::unknown_option
                  : command.empty()                 ? Code::unknown_command
                                                    : Code::unexpected_argument;
        outcome.value = first;
    } else if (command.empty() && dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        outcome = Code::no_command;
    } else {
        return "sipcrypt: " + std::string(error.what()) + "; run 'sipcrypt " + command +
               "--help'\n";
    }
    outcome.name = command;
    return "sipcrypt: " + message(outcome) + "\n";
}

int run_tool(int argc, char** argv) {
    hold_closed_standard_descriptors();
    CLI::App tool(
        "Encrypts SIP account settings under a password, in the Base64 text that the "
        "decrypting program reads.",
        "sipcrypt");
    tool.formatter(std::make_shared<PlainHelp>());
    tool.failure_message(usage_failure);
    // Arguments such as /pKh/Cu6o/8= are values, on Windows too.
    tool.allow_windows_style_options(false);
    tool.set_version_flag("--version", "sipcrypt " SIPCRYPT_VERSION);
    tool.add_flag_callback(
        "--list-encodings",
        [] {
            std::cout << "Names for --encoding, by Windows code page (case, '-' and '_' make no "
                         "difference;\nCP1252, WINDOWS-1252 and 1252 are one):\n"
                      << encoding_list() << other_encodings;
            throw CLI::Success();
        },
        "list the names --encoding takes and exit");
    tool.require_subcommand(1);
    // The commands take this on: an option given twice is refused by run(),
    // in the tool's words.
    tool.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    tool.footer("The password comes from " + std::string(password_options) +
                ",\nor is asked on the terminal; never from the command line. '--' ends the "
                "options:\nwhat follows it is values, even where it begins with '-'.\n\n" +
                examples("") + "\nRun 'sipcrypt COMMAND --help' for a command's options and more " +
                "examples;\n" + where_the_documentation_is() + ".\n");

    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(values_command(tool, false));
    commands.push_back(values_command(tool, true));
    commands.push_back(accounts_command(tool));
#ifdef _WIN32
    // Windows' own way to ask for help, before any '--'.
    for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
        if (std::string_view(argv[i]) == "/?") argv[i] = const_cast<char*>("--help");
    }
#endif
    try {
        tool.parse(argc, argv);
    } catch (const CLI::Success& help_or_version) {
        tool.exit(help_or_version);
        return delivered_to_standard_output();
    } catch (const CLI::ParseError& error) {
        std::ostringstream message;
        tool.exit(error, std::cout, message);
        (void)write_all(standard_error, message.str());
        return exit_usage;
    }
    // Values given as arguments may be SIP passwords.
    hide_arguments(argc, argv);
    for (const auto& command : commands) {
        if (command->command().parsed()) return command->run();
    }
    return exit_usage;
}

}  // namespace

std::string examples(const std::string& command) {
    // No command's name is part of another's.
    const std::string name = command.empty() ? "sipcrypt" : command;
    std::string text;
    for (const auto& [shell, title] : shells) {
        std::string lines;
        for (const Example& example : example_table) {
            const bool in_help = std::string_view(example.helps).find(name) != std::string::npos;
            if (in_help && (example.shells & shell) != 0) {
                lines.append("  ").append(example.line).append("\n");
            }
        }
        if (!lines.empty()) text.append(title).append(lines);
    }
    return text;
}

}  // namespace sipcrypt::cli

#ifdef _WIN32
// The command line arrives as the user typed it, in UTF-16, whatever the
// console's code page, and becomes UTF-8 inside; half of a surrogate pair
// stays broken, for the checks to refuse.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments(static_cast<std::size_t>(argc));
    std::vector<char*> pointers;
    for (int i = 0; i < argc; ++i) {
        sipcrypt::utf16_to_utf8_as_is(reinterpret_cast<const char16_t*>(argv[i]), arguments[i]);
        pointers.push_back(arguments[i].data());
    }
    pointers.push_back(nullptr);
    const int status = sipcrypt::cli::run_tool(argc, pointers.data());
    for (auto& argument : arguments) sipcrypt::wipe_string(argument);
    return status;
}
#else
int main(int argc, char** argv) {
    return sipcrypt::cli::run_tool(argc, argv);
}
#endif
