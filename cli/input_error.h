#pragma once

#include <system_error>
#include <type_traits>

namespace sipcrypt::cli {

// Why input could not be read, where the system itself found nothing wrong;
// reported like the system's own errors.
enum class InputError {
    line_too_long = 1,     // longer than any line is read
    variable_not_set,      // --password-env names no variable
    no_terminal,           // no password source given and no terminal to ask on
    nothing_entered,       // end of input at the prompt
    passwords_differ,      // the two typed passwords differ
    echo_stays_on,         // the terminal would show what is typed
    half_utf16_unit,       // UTF-16 text that ends in half a character
    not_open_for_reading,  // a descriptor closed, or open for writing only
};
const std::error_category& input_category() noexcept;
std::error_code make_error_code(InputError error) noexcept;

}  // namespace sipcrypt::cli

template <>
struct std::is_error_code_enum<sipcrypt::cli::InputError> : std::true_type {};
