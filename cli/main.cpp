#include <CLI/CLI.hpp>
#include <cstring>
#include <memory>
#include <vector>

#include "accounts_command.h"
#include "cipher/secure_wipe.h"
#include "command.h"
#include "decrypt_command.h"
#include "diagnostics.h"
#include "encrypt_command.h"
#include "exit_status.h"

using namespace sipcrypt::cli;

int main(int argc, char** argv) {
    CLI::App tool(
        "Encrypts SIP account settings under a password, in the Base64 text that the "
        "decrypting program reads.",
        "sipcrypt");
    tool.set_version_flag("--version", "sipcrypt " SIPCRYPT_VERSION);
    tool.require_subcommand(1);
    tool.footer(
        "The password comes from --password-file FILE, --password-env NAME or\n"
        "--password-fd N, or is asked on the terminal; never from the command line.\n\n"
        "Examples:\n"
        "  sipcrypt encrypt --password-file pw.txt < values.txt > texts.txt\n"
        "  sipcrypt decrypt --password-env SIP_KEY 0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ\n"
        "  sipcrypt accounts --password-file pw.txt -i accounts.csv -o encrypted.csv\n\n"
        "Run 'sipcrypt COMMAND --help' for a command's options and more examples;\n"
        "'man sipcrypt' for all of it.\n");

    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(std::make_unique<EncryptCommand>(tool));
    commands.push_back(std::make_unique<DecryptCommand>(tool));
    commands.push_back(std::make_unique<AccountsCommand>(tool));

    // Otherwise the parser only says that a command is missing.
    if (argc > 1 && argv[1][0] != '-' &&
        tool.get_subcommands([&](CLI::App* command) { return command->check_name(argv[1]); })
            .empty()) {
        report({}, std::string("unknown command '") + argv[1] + "'; run 'sipcrypt --help'");
        return exit_usage;
    }
    try {
        tool.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = tool.exit(error);
        return code == 0 ? exit_done : exit_usage;
    }
    // Values given as arguments may be SIP passwords, and any user can read
    // /proc/PID/cmdline: clear them there once they are parsed. Whoever looks
    // before this still sees them, so secrets belong on standard input.
    for (int i = 1; i < argc; ++i) sipcrypt::secure_wipe(argv[i], std::strlen(argv[i]));

    for (auto& command : commands) {
        if (command->chosen()) return command->run();
    }
    return exit_usage;
}
