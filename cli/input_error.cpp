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
            case InputError::broken_quoting:
                return "broken quoting: a quote inside an unquoted field, or text after a "
                       "closing quote";
            case InputError::unclosed_quote:
                return "a quoted field is not closed before the end of the input";
            case InputError::field_too_long:
                return "a field is longer than " + longest + "; is a quote left open?";
            case InputError::lone_cr:
                return "a carriage return (CR) that is not part of a line end; lines end in LF "
                       "or CRLF";
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
