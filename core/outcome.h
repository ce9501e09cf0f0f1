#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
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
    unrepresentable_character,  // the chosen encoding cannot hold a character exactly
    not_in_encoding,            // decrypted bytes are not text in the encoding, exactly
    not_base64,                 // text has characters, "=" or length Base64 cannot
    not_whole_blocks,           // text decodes to a length that is not whole blocks
    text_too_long,              // longer than any encrypted value can be
    bad_fill,                   // fill bytes are not zeros: wrong password or damage
    value_has_line_break,       // holds CR or LF: a value is one line
    password_has_zero_byte,     // the decrypting side would end the password there
    password_has_line_break,    // holds CR or LF, often a line end left on it
    broken_text,                // half of a UTF-16 surrogate pair, in UTF-8's form
    no_encoding_chosen,         // not ASCII, where no encoding was chosen
};

// The one result of the core: a status with the detail that a message about
// it names: which character or byte and where, or which limit. Compares
// equal to its bare status.
struct Outcome {
    ParameterStatus status = ParameterStatus::done;
    char32_t character = 0;     // unrepresentable_character, no_encoding_chosen: the character
    std::uint8_t byte = 0;      // not_utf8, not_in_encoding, *_line_break, no_encoding_chosen
    std::size_t position = 0;   // 1-based: the character's place in the text, or the byte's
    std::size_t limit = 0;      // value_too_long, text_too_long: the limit passed
    std::string_view encoding;  // the encoding's name, for the messages that name it

    Outcome(ParameterStatus s = ParameterStatus::done) noexcept : status(s) {}  // NOLINT
    static Outcome over_limit(ParameterStatus s, std::size_t limit) noexcept {
        Outcome outcome(s);
        outcome.limit = limit;
        return outcome;
    }
    bool ok() const noexcept { return status == ParameterStatus::done; }
    friend bool operator==(const Outcome& outcome, ParameterStatus s) noexcept {
        return outcome.status == s;
    }
};

// A short lower-case phrase with its detail, for messages such as "line 3:
// <phrase>": "character U+E003F at position 2 cannot be represented in
// WINDOWS-1252", "the value is longer than 3744 bytes".
std::string describe(const Outcome& outcome);

// For test reports.
std::ostream& operator<<(std::ostream& out, const Outcome& outcome);

}  // namespace sipcrypt
