#include "tool.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "command.h"
#include "core/code_pages.h"
#include "diagnostics.h"
#include "io.h"
#include "usage.h"

namespace sipcrypt::cli {

namespace {

// Help and version text goes to standard output, which may be full.
int delivered_to_standard_output() {
    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        report("standard output", std::strerror(errno != 0 ? errno : EIO));
        return exit_refused;
    }
    return exit_done;
}

#ifdef _WIN32
constexpr const char* examples =
    "Examples (cmd):\n"
    "  sipcrypt encrypt --password-file pw.txt < values.txt > texts.txt\n"
    "  sipcrypt accounts --password-file pw.txt -i accounts.csv -o encrypted.csv\n"
    "Examples (PowerShell):\n"
    "  $env:SIP_KEY = [Net.NetworkCredential]::new('', (Read-Host -AsSecureString)).Password\n"
    "  sipcrypt decrypt --password-env SIP_KEY 0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ\n";
constexpr const char* other_encodings = "";
#else
constexpr const char* examples =
    "Examples:\n"
    "  sipcrypt encrypt --password-file pw.txt < values.txt > texts.txt\n"
    "  read -rs SIP_KEY && export SIP_KEY   # the password, typed without echo\n"
    "  sipcrypt decrypt --password-env SIP_KEY 0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ\n"
    "  sipcrypt accounts --password-file pw.txt -i accounts.csv -o encrypted.csv\n";
constexpr const char* other_encodings =
    "Other names go to iconv (iconv --list), and count only where a conversion comes back "
    "exactly.\n";
#endif

}  // namespace

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
    tool.footer("The password comes from " + std::string(password_options) +
                ",\nor is asked on the terminal; never from the command line.\n\n" + examples +
                "\nRun 'sipcrypt COMMAND --help' for a command's options and more " +
                "examples;\n" + where_the_documentation_is() + ".\n");

    std::vector<std::unique_ptr<Command>> commands;
    for (const auto make : {encrypt_command, decrypt_command, accounts_command}) {
        commands.push_back(make(tool));
    }
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

}  // namespace sipcrypt::cli
