#include "command.h"

#include "core/codec.h"
#include "core/encoding_choice.h"
#include "core/limits.h"
#include "core/messages.h"
#include "io.h"

namespace sipcrypt::cli {

namespace {

Outcome usage(Code code, std::string value) {
    Outcome outcome(code);
    outcome.value = std::move(value);
    return outcome;
}

// The first option of `command` given more than once, or null.
const CLI::Option* repeated_option(const CLI::App& command) {
    for (const CLI::Option* option : command.get_options()) {
        if (option->nonpositional() && option->count() > 1) return option;
    }
    return nullptr;
}

}  // namespace

void report(const Outcome& outcome) {
    // Nowhere left to report a failure to report.
    (void)write_all(standard_error, "sipcrypt: " + message(outcome) + "\n");
}

CLI::Validator not_empty(const std::string& what) {
    return {[what](const std::string& value) {
                return value.empty() ? message(usage(Code::empty_option_value, what)) : "";
            },
            ""};
}

CLI::Validator descriptor_number() {
    return {[](const std::string& value) {
                const bool digits = !value.empty() && value.size() < 10 &&
                                    value.find_first_not_of("0123456789") == std::string::npos;
                return digits ? "" : message(usage(Code::not_a_descriptor, value));
            },
            ""};
}

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

int CipherCommand::run() {
    if (const CLI::Option* repeated = repeated_option(command())) {
        Outcome twice = usage(Code::option_repeated, repeated->get_name());
        twice.name = command().get_name() + " ";
        report(twice);
        return exit_usage;
    }
    std::unique_ptr<TextEncoding> encoding;
    if (Outcome chosen = choose_encoding(encoding_name_, encoding); !chosen.ok()) {
        report(chosen);
        return exit_usage;
    }
    Codec codec(std::move(encoding));
    if (Outcome source = password_.check(); !source.ok()) {
        report(source);
        return exit_usage;
    }
    if (const int status = check_files(); status != exit_done) return status;
    SecretBytes password;
    if (Outcome read = password_.read(password, confirm_); !read.ok()) {
        report(read);
        return read == Code::no_terminal ? exit_usage : exit_refused;
    }
    if (Outcome keyed = codec.set_password({password.data(), password.size()}); !keyed.ok()) {
        keyed.subject = "password";
        report(keyed);
        return exit_refused;
    }
    if (codec.password_cut_short()) {
        report(Outcome::over_limit(Code::password_cut_short, password_key_length));
    }
    return transform(codec);
}

}  // namespace sipcrypt::cli
