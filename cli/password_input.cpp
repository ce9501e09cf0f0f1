#include "password_input.h"

#include <CLI/CLI.hpp>

#include "core/converter.h"
#include "input_error.h"
#include "io.h"
#include "line_reader.h"
#include "terminal_prompt.h"
#include "usage.h"

namespace sipcrypt::cli {

namespace {

std::error_code ask_on(TerminalPrompt& terminal, SecretBytes& password,
                       PasswordInput::Confirm confirm) {
    if (const auto error = terminal.ask_secret("Password: ", password)) return error;
    if (confirm == PasswordInput::Confirm::no) return {};
    SecretBytes again;
    if (const auto error = terminal.ask_secret("Repeat password: ", again)) return error;
    if (again != password) return InputError::passwords_differ;
    return {};
}

// The first line of `fd`; or, when it is a terminal, a line typed there
// without echo, as from the controlling terminal.
std::error_code read_from(int fd, SecretBytes& password, PasswordInput::Confirm confirm) {
    std::error_code error;
    if (auto terminal = TerminalPrompt::of(fd, error)) return ask_on(*terminal, password, confirm);
    if (error) return error;
    bool got = false;
    return read_first_line(fd, password, got);
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

std::error_code PasswordInput::read(SecretBytes& password, Confirm confirm,
                                    std::string& where) const {
    password.clear();
    if (!file_.empty()) {
        where = "--password-file " + file_;
        if (file_ == "-") return read_from(standard_input, password, confirm);
        int fd = -1;
        if (const auto error = open_for_reading(file_, fd)) return error;
        const std::error_code error = read_from(fd, password, confirm);
        close_file(fd);
        return error;
    }
    if (fd_ >= 0) {
        where = "--password-fd " + std::to_string(fd_);
        const std::error_code error = read_from(fd_, password, confirm);
        // Closed, or open for writing only.
        return error == std::errc::bad_file_descriptor ? InputError::not_open_for_reading : error;
    }
    if (!env_.empty()) {
        where = "--password-env " + env_;
        std::string text;
        if (!environment_text(env_, text)) return InputError::variable_not_set;
        password.assign(text.begin(), text.end());
        wipe_string(text);
        return {};
    }
    where.clear();
    auto terminal = TerminalPrompt::open();
    if (!terminal) return InputError::no_terminal;
    return ask_on(*terminal, password, confirm);
}

}  // namespace sipcrypt::cli
