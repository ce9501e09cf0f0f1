#include "input_error.h"

#include <string>

#include "exit_status.h"
#include "line_reader.h"

namespace sipcrypt::cli {

namespace {

const char* const other_sources =
    "use --password-file FILE, --password-env NAME or --password-fd N";

class InputCategory : public std::error_category {
  public:
    const char* name() const noexcept override { return "input"; }
    std::string message(int error) const override {
        switch (static_cast<InputError>(error)) {
            case InputError::line_too_long:
                return "the first line is longer than " +
                       std::to_string(LineReader::max_line_length) +
                       " bytes, too long to be a password";
            case InputError::variable_not_set:
                return "the environment variable is not set";
            case InputError::no_terminal:
                return std::string("no password given and no terminal to ask on: ") + other_sources;
            case InputError::nothing_entered:
                return "no password entered";
            case InputError::passwords_differ:
                return "the two passwords differ; nothing was encrypted";
            case InputError::no_descriptors_here:
                return "Windows passes no file descriptors to programs: use --password-file "
                       "FILE or --password-env NAME";
            case InputError::echo_stays_on:
                return std::string(
                           "echo cannot be turned off, so the password is not asked "
                           "there: ") +
                       other_sources;
        }
        return "unreadable input";
    }
};

}  // namespace

const std::error_category& input_category() noexcept {
    static const InputCategory category;
    return category;
}

std::error_code make_error_code(InputError error) noexcept {
    return {static_cast<int>(error), input_category()};
}

int exit_status_for(const std::error_code& error) noexcept {
    return error == InputError::no_terminal || error == InputError::no_descriptors_here
               ? exit_usage
               : exit_refused;
}

}  // namespace sipcrypt::cli
