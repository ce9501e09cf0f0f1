#pragma once

#include <string_view>

#include "outcome.h"

namespace sipcrypt {

// A value is one line, as in the dialog's single-line boxes: it never holds
// CR or LF. Done, or value_has_line_break naming the first.
Outcome check_value_text(std::string_view utf8) noexcept;

// A password is not empty, holds no zero byte (the decrypting side reads it
// as a C string and would stop there) and no CR or LF (a line end left on
// it would change the key unseen). Done, empty_password,
// password_has_zero_byte or password_has_line_break.
Outcome check_password_text(std::string_view utf8) noexcept;

}  // namespace sipcrypt
