#include "password_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <cstring>

#include "cipher/blowfish_cipher.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "line_reader.h"
#include "parse_errors.h"
#include "settings/text_rules.h"
#include "terminal_prompt.h"

namespace sipcrypt::cli {

namespace {

const char* const no_terminal_hint =
    "use --password-file FILE, --password-env NAME or --password-fd N";

int ask_on(TerminalPrompt& terminal, SecretBytes& raw, PasswordInput::Confirm confirm) {
    const auto ask = [&](std::string_view prompt, SecretBytes& answer) {
        switch (terminal.ask_secret(prompt, answer)) {
            case TerminalPrompt::Answer::given:
                return exit_done;
            case TerminalPrompt::Answer::none:
                report({}, "no password entered");
                return exit_refused;
            case TerminalPrompt::Answer::too_long:
                report("password", "the line is longer than 65536 bytes");
                return exit_refused;
            case TerminalPrompt::Answer::cannot_hide:
                report({}, "cannot turn off echo on the terminal (" + terminal.error().message() +
                               "), so the password is not asked there: " + no_terminal_hint);
                return exit_refused;
            case TerminalPrompt::Answer::error:
                report("terminal", terminal.error().message());
                return exit_refused;
        }
        return exit_refused;
    };
    if (const int status = ask("Password: ", raw); status != exit_done) return status;
    if (confirm == PasswordInput::Confirm::no) return exit_done;
    SecretBytes again;
    if (const int status = ask("Repeat password: ", again); status != exit_done) return status;
    if (again != raw) {
        report({}, "the two passwords differ; nothing was encrypted");
        return exit_refused;
    }
    return exit_done;
}

// The first line of `fd`; or, when it is a terminal, a line typed there
// without echo, as from the controlling terminal.
int read_from(int fd, const std::string& where, SecretBytes& raw, PasswordInput::Confirm confirm) {
    std::error_code error;
    if (auto terminal = TerminalPrompt::of(fd, error)) return ask_on(*terminal, raw, confirm);
    if (error) {
        report(where,
               "a terminal, but it cannot be opened to ask without echo: " + error.message());
        return exit_refused;
    }
    switch (read_first_line(fd, raw, error)) {
        case LineReader::Result::line:
            return exit_done;
        case LineReader::Result::end:
            raw.clear();
            return exit_done;
        case LineReader::Result::too_long:
            report(where, "the first line is longer than 65536 bytes, too long to be a password");
            return exit_refused;
        case LineReader::Result::error:
            report(where, error.message());
            return exit_refused;
    }
    return exit_refused;
}

int read_from_file(const std::string& path, SecretBytes& raw, PasswordInput::Confirm confirm) {
    const std::string where = "--password-file " + path;
    if (path == "-") return read_from(STDIN_FILENO, where, raw, confirm);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        report(where, std::strerror(errno));
        return exit_refused;
    }
    const int status = read_from(fd, where, raw, confirm);
    ::close(fd);
    return status;
}

}  // namespace

void PasswordInput::add_options(CLI::App& command) {
    file_option_ = command
                       .add_option("--password-file", file_,
                                   "read the password from the first line of FILE ('-': "
                                   "standard input)")
                       ->type_name("FILE")
                       ->check(file_name_check());
    env_option_ = command
                      .add_option("--password-env", env_,
                                  "read the password from the environment variable NAME")
                      ->type_name("NAME");
    fd_option_ = command
                     .add_option("--password-fd", fd_,
                                 "read the password from the first line of file descriptor N")
                     ->type_name("N")
                     ->check(descriptor_check());
    file_option_->excludes(env_option_)->excludes(fd_option_);
    env_option_->excludes(file_option_)->excludes(fd_option_);
    fd_option_->excludes(file_option_)->excludes(env_option_);
}

int PasswordInput::read_raw(SecretBytes& raw, Confirm confirm) const {
    if (file_option_->count() > 0) return read_from_file(file_, raw, confirm);
    if (fd_option_->count() > 0) {
        return read_from(fd_, "--password-fd " + std::to_string(fd_), raw, confirm);
    }
    if (env_option_->count() > 0) {
        const char* value = std::getenv(env_.c_str());
        if (value == nullptr) {
            report("--password-env " + env_, "the environment variable is not set");
            return exit_refused;
        }
        raw.assign(value, value + std::strlen(value));
        return exit_done;
    }
    auto terminal = TerminalPrompt::open();
    if (!terminal) {
        report({}, std::string("no password given and no terminal to ask on: ") + no_terminal_hint);
        return exit_usage;
    }
    return ask_on(*terminal, raw, confirm);
}

int PasswordInput::read(TextEncoding& encoding, SecretBytes& password, Confirm confirm) const {
    SecretBytes raw;
    if (const int status = read_raw(raw, confirm); status != exit_done) return status;
    const std::string_view text(raw.data(), raw.size());
    Outcome checked = check_password_text(text);
    if (checked.ok()) checked = encoding.from_utf8(text, password);
    if (!checked.ok()) {
        report("password", describe(checked));
        return exit_refused;
    }
    if (password.size() > BlowfishCipher::effective_key_length) {
        warn("the password is longer than 72 bytes; only its first 72 bytes count");
    }
    return exit_done;
}

}  // namespace sipcrypt::cli
