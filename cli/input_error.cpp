#include "input_error.h"

#include <string>

#include "line_reader.h"
#include "password_input.h"

namespace sipcrypt::cli {

namespace {

class InputCategory : public std::error_category {
  public:
    const char* name() const noexcept override { return "input"; }
    std::string message(int error) const override {
        const std::string longest = std::to_string(LineReader::max_line_length) + " bytes";
        switch (static_cast<InputError>(error)) {
            case InputError::line_too_long:
                return "the line is longer than " + longest;
            case InputError::variable_not_set:
                return "the environment variable is not set";
            case InputError::no_terminal:
                return "no password given and no terminal to ask on: use " +
                       std::string(password_options);
            case InputError::nothing_entered:
                return "no password entered";
            case InputError::passwords_differ:
                return "the two passwords differ; nothing was encrypted";
            case InputError::echo_stays_on:
                return "echo cannot be turned off, so the password is not asked there: use " +
                       std::string(password_options);
            case InputError::not_open_for_reading:
                return "not open for reading";
            case InputError::half_utf16_unit:
                return "the text is UTF-16 (it begins with a byte-order mark) and ends in half "
                       "a character";
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

}  // namespace sipcrypt::cli
