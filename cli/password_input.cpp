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

namespace sipcrypt::cli {

namespace {

int read_first_line(const std::string& path, SecretBytes& raw) {
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
    file_option_->excludes(env_option_);
    env_option_->excludes(file_option_);
}

int PasswordInput::read_raw(SecretBytes& raw) const {
    if (file_option_->count() > 0) return read_first_line(file_, raw);
    if (env_option_->count() > 0) {
        const char* value = std::getenv(env_.c_str());
        if (value == nullptr) {
            report("--password-env " + env_, "the environment variable is not set");
            return exit_refused;
        }
        raw.assign(value, value + std::strlen(value));
        return exit_done;
    }
    report({}, "no password given: use --password-file FILE or --password-env NAME");
    return exit_usage;
}

int PasswordInput::read(TextEncoding& encoding, SecretBytes& password) const {
    SecretBytes raw;
    if (const int status = read_raw(raw); status != exit_done) return status;
    const auto converted = encoding.from_utf8({raw.data(), raw.size()}, password);
    if (converted != ParameterStatus::done) {
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
