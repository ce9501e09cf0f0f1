#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "accounts_command.h"
#include "command.h"
#include "decrypt_command.h"
#include "diagnostics.h"
#include "encrypt_command.h"
#include "exit_status.h"
#include "io.h"
#include "parse_errors.h"
#include "tool.h"

namespace sipcrypt::cli {

namespace {

// Help and version text goes to standard output, which may be full.
int delivered_to_standard_output(int status) {
    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        report("standard output", std::strerror(errno != 0 ? errno : EIO));
        return exit_refused;
    }
    return status;
}

}  // namespace

int run_tool(int argc, char** argv) {
    hold_closed_standard_descriptors();
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

    const std::string first = argc > 1 ? argv[1] : "";
    // Otherwise the parser only says that a command is missing.
    if (!first.empty() && first[0] != '-' &&
        tool.get_subcommands([&](CLI::App* command) { return command->check_name(first); })
            .empty()) {
        report({}, "unknown command '" + first + "'; run 'sipcrypt --help'");
        return exit_usage;
    }
    try {
        tool.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return delivered_to_standard_output(tool.exit(help) == 0 ? exit_done : exit_usage);
    } catch (const CLI::CallForAllHelp& help) {
        return delivered_to_standard_output(tool.exit(help) == 0 ? exit_done : exit_usage);
    } catch (const CLI::CallForVersion& version) {
        return delivered_to_standard_output(tool.exit(version) == 0 ? exit_done : exit_usage);
    } catch (const CLI::ParseError& error) {
        std::string command;
        for (const auto* chosen : tool.get_subcommands()) command = chosen->get_name() + " ";
        report({}, in_our_words(error, first) + "; run 'sipcrypt " + command + "--help'");
        return exit_usage;
    }
    // Values given as arguments may be SIP passwords.
    hide_arguments(argc, argv);

    for (auto& command : commands) {
        if (command->chosen()) return command->run();
    }
    return exit_usage;
}

}  // namespace sipcrypt::cli
