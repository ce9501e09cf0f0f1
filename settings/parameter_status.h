#pragma once

#include <string_view>

namespace sipcrypt {

// Why a value was or was not turned into its encrypted text (or back), so
// that callers can report it without knowing the rules themselves.
enum class ParameterStatus {
    done,                       // output replaced
    empty_value,                // nothing to encrypt; output untouched
    empty_password,             // refused before any key schedule
    value_too_long,             // over max_value_length bytes once encoded
    value_has_zero_byte,        // the decrypting side would cut it short
    not_utf8,                   // input text is not valid UTF-8
    unrepresentable_character,  // the chosen encoding cannot hold a character
    not_in_encoding,            // decrypted bytes are not valid in the encoding
    not_base64,                 // text has characters, "=" or length Base64 cannot
    not_whole_blocks,           // text decodes to a length that is not whole blocks
    text_too_long,              // longer than any encrypted value can be
    bad_fill,                   // fill bytes are not zeros: wrong password or damage
    value_has_line_break,       // a decrypted value that one line of output cannot carry
};

// A short lower-case phrase, for messages such as "line 3: <phrase>".
std::string_view describe(ParameterStatus status) noexcept;

}  // namespace sipcrypt
