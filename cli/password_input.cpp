#include "password_input.h"

#include <CLI/CLI.hpp>

#include "command.h"
#include "core/system.h"
#include "io.h"
#include "line_reader.h"
#include "terminal_prompt.h"

namespace sipcrypt::cli {

namespace {

// Asked on the terminal (fd -1: the controlling one).
Outcome ask(int fd, SecretBytes& password, PasswordInput::Confirm confirm) {
    if (Outcome asked = ask_secret(fd, "Password: ", password); !asked.ok()) return asked;
    if (confirm == PasswordInput::Confirm::no) return Code::done;
    SecretBytes again;
    if (Outcome asked = ask_secret(fd, "Repeat password: ", again); !asked.ok()) return asked;
    return again == password ? Code::done : Code::passwords_differ;
}

// The first line of `fd`; or, when it is a terminal, a line typed there
// without echo, as from the controlling terminal.
Outcome read_from(int fd, SecretBytes& password, PasswordInput::Confirm confirm) {
    if (Outcome asked = ask(fd, password, confirm); asked != Code::no_terminal) return asked;
    LineReader reader(fd, nullptr, true);
    std::optional<std::string_view> line;
    std::string_view end;
    if (Outcome read = reader.next(line, end); !read.ok()) return read;
    if (line) password.assign(line->begin(), line->end());
    return Code::done;
}

}  // namespace

PasswordInput::PasswordInput(CLI::App& command) {
    auto* file = command
                     .add_option("--password-file", file_,
                                 "read the password from the first line of FILE ('-': "
                                 "standard input)")
                     ->type_name("FILE")
                     ->check(not_empty("file name ('-' is standard input)"));
    auto* env = command
                    .add_option("--password-env", env_,
                                "read the password from the environment variable NAME")
                    ->type_name("NAME")
                    ->check(not_empty("variable name"));
    file->excludes(env);
#ifndef _WIN32
    auto* fd = command
                   .add_option("--password-fd", fd_,
                               "read the password from the first line of file descriptor N")
                   ->type_name("N")
                   ->check(descriptor_number());
    fd->excludes(file)->excludes(env);
#endif
}

bool PasswordInput::reads_standard_input() const {
    return (!file_.empty() && is_standard_input(file_)) || (fd_ >= 0 && is_standard_input(fd_));
}

Outcome PasswordInput::check() const {
    const bool named = !file_.empty() || fd_ >= 0 || !env_.empty();
    return named || has_terminal() ? Code::done : Code::no_terminal;
}

Outcome PasswordInput::read(SecretBytes& password, Confirm confirm) const {
    password.clear();
    Outcome outcome;
    std::string where;
    if (!file_.empty()) {
        where = "--password-file " + file_;
        int fd = standard_input;
        if (file_ != "-") outcome = open_for_reading(file_, fd);
        if (outcome.ok()) outcome = read_from(fd, password, confirm);
        if (fd != standard_input) close_file(fd);
    } else if (fd_ >= 0) {
        where = "--password-fd " + std::to_string(fd_);
        outcome = read_from(fd_, password, confirm);
        // Closed, or open for writing only.
        if (outcome.system == std::errc::bad_file_descriptor) outcome = Code::not_open_for_reading;
    } else if (!env_.empty()) {
        where = "--password-env " + env_;
        std::string text;
        if (!environment_text(env_, text)) outcome = Code::variable_not_set;
        password.assign(text.begin(), text.end());
        wipe_string(text);
    } else {
        outcome = ask(-1, password, confirm);
    }
    if (!outcome.ok()) outcome.subject = where;
    return outcome;
}

}  // namespace sipcrypt::cli
