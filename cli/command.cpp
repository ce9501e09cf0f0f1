#include "command.h"

#include <CLI/CLI.hpp>

#include "core/codec.h"
#include "core/encoding_choice.h"
#include "core/limits.h"
#include "diagnostics.h"
#include "input_error.h"
#include "usage.h"

namespace sipcrypt::cli {

Command::Command(CLI::App& tool, const std::string& name, const std::string& description)
    : command_(tool.add_subcommand(name, description)) {
    // Given twice is refused by run(), in the tool's words.
    command_->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

CipherCommand::CipherCommand(CLI::App& tool, const std::string& name,
                             const std::string& description, PasswordInput::Confirm confirm)
    : Command(tool, name, description), confirm_(confirm), password_(command()) {
    command()
        .add_option("--encoding", encoding_name_,
                    "the encoding the decrypting program reads, for example WINDOWS-1252 (" +
                        how_the_encoding_is_chosen() + "; sipcrypt --list-encodings)")
        ->type_name("NAME")
        ->check(not_empty("encoding name"));
}

int CipherCommand::open() {
    return exit_done;
}

int CipherCommand::run() {
    if (const CLI::Option* repeated = repeated_option(command())) {
        report({}, repeated->get_name() + " is given more than once; run 'sipcrypt " +
                       command().get_name() + " --help'");
        return exit_usage;
    }
    std::string problem;
    auto encoding = choose_encoding(encoding_name_, problem);
    if (!encoding) {
        report({}, problem);
        return exit_usage;
    }
    const auto codec = std::make_unique<Codec>(std::move(encoding));
    if (const int status = open(); status != exit_done) return status;
    SecretBytes password;
    std::string where;
    if (const std::error_code error = password_.read(password, confirm_, where)) {
        report(where, error.message());
        return error == InputError::no_terminal ? exit_usage : exit_refused;
    }
    if (const Outcome keyed = codec->set_password({password.data(), password.size()});
        !keyed.ok()) {
        report("password", describe(keyed));
        return exit_refused;
    }
    if (codec->password_cut_short()) {
        const std::string limit = std::to_string(password_key_length);
        warn("the password is longer than " + limit + " bytes; only its first " + limit +
             " bytes count");
    }
    return step(*codec);
}

}  // namespace sipcrypt::cli
