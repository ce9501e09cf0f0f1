#include <CLI/CLI.hpp>
#include <memory>
#include <vector>

#include "accounts_command.h"
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
    tool.footer("Run 'sipcrypt COMMAND --help' for a command's options and examples.");

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
    for (auto& command : commands) {
        if (command->chosen()) return command->run();
    }
    return exit_usage;
}
