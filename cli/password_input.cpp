#include "password_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cipher/blowfish_cipher.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "line_reader.h"
#include "terminal_prompt.h"

namespace sipcrypt::cli {

namespace {

int read_first_line_of_file(const std::string& path, SecretBytes& raw) {
    const std::string where = "--password-file " + path;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        report(where, std::strerror(errno));
        return exit_refused;
    }
    LineReader reader(fd);
    std::string_view line;
    const auto result = reader.next(line);
    const int saved_errno = errno;
    ::close(fd);
    switch (result) {
        case LineReader::Result::line:
            raw.assign(line.begin(), line.end());
            return exit_done;
        case LineReader::Result::end:
            raw.clear();
            return exit_done;
        case LineReader::Result::too_long:
            report(where, "the first line is too long to be a password");
            return exit_refused;
        case LineReader::Result::error:
            report(where, std::strerror(saved_errno));
            return exit_refused;
    }
    return exit_refused;
}

// One byte at a time, so that nothing after the first line is consumed: the
// descriptor may be standard input, with values following the password.
int read_first_line_of_fd(int fd, SecretBytes& raw) {
    const std::string where = "--password-fd " + std::to_string(fd);
    raw.clear();
    for (;;) {
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            report(where, std::strerror(errno));
            return exit_refused;
        }
        if (n == 0 || c == '\n') break;
        if (raw.size() >= LineReader::max_line_length) {
            report(where, "the first line is too long to be a password");
            return exit_refused;
        }
        raw.push_back(c);
    }
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    return exit_done;
}

int ask_on_terminal(SecretBytes& raw, PasswordInput::Confirm confirm) {
    auto terminal = TerminalPrompt::open();
    if (!terminal) {
        report({},
               "no password given and no terminal to ask on: use --password-file FILE, "
               "--password-env NAME or --password-fd N");
        return exit_usage;
    }
    if (!terminal->ask_secret("Password: ", raw)) {
        report({}, "no password entered");
        return exit_refused;
    }
    if (confirm == PasswordInput::Confirm::no) return exit_done;
    SecretBytes again;
    if (!terminal->ask_secret("Repeat password: ", again)) {
        report({}, "no password entered");
        return exit_refused;
    }
    if (again != raw) {
        report({}, "the two passwords differ; nothing was encrypted");
        return exit_refused;
    }
    return exit_done;
}

}  // namespace

void PasswordInput::add_options(CLI::App& command) {
    file_option_ =
        command
            .add_option("--password-file", file_, "read the password from the first line of FILE")
            ->type_name("FILE");
    env_option_ = command
                      .add_option("--password-env", env_,
                                  "read the password from the environment variable NAME")
                      ->type_name("NAME");
    fd_option_ = command
                     .add_option("--password-fd", fd_,
                                 "read the password from the first line of file descriptor N")
                     ->type_name("N")
                     ->check(CLI::NonNegativeNumber);
    file_option_->excludes(env_option_)->excludes(fd_option_);
    env_option_->excludes(file_option_)->excludes(fd_option_);
    fd_option_->excludes(file_option_)->excludes(env_option_);
}

int PasswordInput::read_raw(SecretBytes& raw, Confirm confirm) const {
    if (file_option_->count() > 0) return read_first_line_of_file(file_, raw);
    if (fd_option_->count() > 0) return read_first_line_of_fd(fd_, raw);
    if (env_option_->count() > 0) {
        const char* value = std::getenv(env_.c_str());
        if (value == nullptr) {
            report("--password-env " + env_, "the environment variable is not set");
            return exit_refused;
        }
        raw.assign(value, value + std::strlen(value));
        return exit_done;
    }
    return ask_on_terminal(raw, confirm);
}

int PasswordInput::read(TextEncoding& encoding, SecretBytes& password, Confirm confirm) const {
    SecretBytes raw;
    if (const int status = read_raw(raw, confirm); status != exit_done) return status;
    const Outcome converted = encoding.from_utf8({raw.data(), raw.size()}, password);
    if (!converted.ok()) {
        report("password", describe(converted));
        return exit_refused;
    }
    if (password.empty()) {
        report("password", describe(ParameterStatus::empty_password));
        return exit_refused;
    }
    if (password.size() > BlowfishCipher::effective_key_length) {
        warn("the password is longer than 72 bytes; only its first 72 bytes count");
    }
    return exit_done;
}

}  // namespace sipcrypt::cli
