#include "command.h"

#include "core/codec.h"
#include "core/encoding_choice.h"
#include "core/limits.h"
#include "core/messages.h"
#include "core/system.h"

namespace sipcrypt::cli {

void report(const Outcome& outcome) {
    // Nowhere left to report a failure to report.
    (void)write_all(standard_error, "sipcrypt: " + message(outcome) + "\n");
}

CLI::Validator not_empty(const std::string& what) {
    return {[what](const std::string& value) {
                return value.empty() ? message(Outcome::quoting(Code::empty_option_value, what))
                                     : "";
            },
            ""};
}

CLI::Validator descriptor_number() {
    return {[](const std::string& value) {
                const bool digits = !value.empty() && value.size() < 10 &&
                                    value.find_first_not_of("0123456789") == std::string::npos;
                return digits ? "" : message(Outcome::quoting(Code::not_a_descriptor, value));
            },
            ""};
}

Command::Command(CLI::App& tool, const std::string& name, const std::string& description,
                 PasswordInput::Confirm confirm, bool whole)
    : command_(tool.add_subcommand(name, description)),
      confirm_(confirm),
      password_(command()),
      whole_(whole) {
    command()
        .add_option("--encoding", encoding_name_,
                    "the encoding the decrypting program reads, for example WINDOWS-1252 (" +
                        how_the_encoding_is_chosen() + "; sipcrypt --list-encodings)")
        ->type_name("NAME")
        ->check(not_empty("encoding name"));
    command()
        .add_option("-i,--input", input_path_,
                    std::string(whole ? "read the CSV" : "read the lines") +
                        " from FILE (default, or '-': standard input)")
        ->type_name("FILE")
        ->check(not_empty("file name ('-' is standard input)"));
    if (!whole) return;
    command()
        .add_option("-o,--output", output_path_,
                    "write the CSV to FILE, which appears whole or not at all "
                    "(default, or '-': standard output)")
        ->type_name("FILE")
        ->check(not_empty("file name ('-' is standard output)"));
}

Command::~Command() {
    if (input_fd_ != standard_input) close_file(input_fd_);
}

int Command::open_files() {
    if (!input_path_.empty() && input_path_ != "-") {
        input_name_ = input_path_;
        if (Outcome opened = open_for_reading(input_path_, input_fd_); !opened.ok()) {
            input_fd_ = standard_input;
            report(opened.about(input_name_));
            return exit_refused;
        }
    }
    if (const std::uint16_t ansi = ansi_code_page(); ansi != 0) {
        (void)TextEncoding::open("CP" + std::to_string(ansi), fallback_);
    }
    if (whole_) {
        output_.emplace(output_path_);
    } else {
        output_.emplace();
    }
    if (Outcome opened = output_->open(); !opened.ok()) {
        report(opened);
        return exit_refused;
    }
    return check_files();
}

int Command::run() {
    for (const CLI::Option* option : command().get_options()) {
        if (!option->nonpositional() || option->count() < 2) continue;
        Outcome twice = Outcome::quoting(Code::option_repeated, option->get_name());
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
    if (const int status = open_files(); status != exit_done) return status;
    SecretBytes password;
    if (Outcome read = password_.read(password, confirm_); !read.ok()) {
        report(read);
        return read == Code::no_terminal ? exit_usage : exit_refused;
    }
    if (Outcome keyed = codec.set_password({password.data(), password.size()}); !keyed.ok()) {
        report(std::move(keyed).about("password"));
        return exit_refused;
    }
    if (codec.password_cut_short()) {
        report(Outcome::over_limit(Code::password_cut_short, password_key_length));
    }
    return transform(codec);
}

}  // namespace sipcrypt::cli
