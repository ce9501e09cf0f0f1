#include "outcome.h"

#include <cstdio>
#include <ostream>

namespace sipcrypt {

namespace {

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// The phrase without its detail.
std::string_view phrase(ParameterStatus status) noexcept {
    switch (status) {
        case ParameterStatus::done:
            return "done";
        case ParameterStatus::empty_value:
            return "the value is empty";
        case ParameterStatus::empty_password:
            return "the password is empty";
        case ParameterStatus::value_too_long:
            return "the value is longer than";
        case ParameterStatus::value_has_zero_byte:
            return "the value holds a zero byte, which the decrypting side takes as its end";
        case ParameterStatus::not_utf8:
            return "the text is not valid UTF-8";
        case ParameterStatus::unrepresentable_character:
            return "the text holds a character that the encoding cannot represent";
        case ParameterStatus::not_in_encoding:
            return "the decrypted bytes are not valid text in the encoding";
        case ParameterStatus::not_base64:
            return "the text is not Base64";
        case ParameterStatus::not_whole_blocks:
            return "the text does not decode to whole 8-byte blocks";
        case ParameterStatus::text_too_long:
            return "the text is longer than";
        case ParameterStatus::bad_fill:
            return "the fill bytes do not decrypt to zeros (wrong password or damaged text)";
        case ParameterStatus::value_has_line_break:
            return "the value holds a line break; a value is one line";
        case ParameterStatus::password_has_zero_byte:
            return "the password holds a zero byte, where the decrypting side would end it";
        case ParameterStatus::password_has_line_break:
            return "the password holds a line break, often one left by a Windows line end";
        case ParameterStatus::broken_text:
            return "the text holds a broken character (half of a UTF-16 surrogate pair)";
        case ParameterStatus::no_encoding_chosen:
            return " is not ASCII, and no encoding is chosen for other text: set "
                   "SIPCRYPT_ENCODING=WINDOWS-1252 or encoding= in "
                   "~/.config/sipcrypt/sipcrypt.conf, "
                   "or use --encoding; UTF-8 if the decrypting program reads UTF-8";
    }
    return "unknown status";
}

}  // namespace

std::string describe(const Outcome& outcome) {
    const std::string_view plain = phrase(outcome.status);
    const std::string position = " at position " + std::to_string(outcome.position);
    switch (outcome.status) {
        case ParameterStatus::unrepresentable_character:
            if (outcome.position == 0) break;
            return "character U+" + hex(outcome.character, 4) + position +
                   " cannot be represented in " + std::string(outcome.encoding);
        case ParameterStatus::not_utf8:
        case ParameterStatus::not_in_encoding: {
            if (outcome.position == 0) break;
            std::string text(plain);
            if (!outcome.encoding.empty()) text += " (" + std::string(outcome.encoding) + ")";
            return text + ": byte 0x" + hex(outcome.byte, 2) + position;
        }
        case ParameterStatus::value_has_line_break:
        case ParameterStatus::password_has_line_break: {
            if (outcome.position == 0) break;
            // The detail goes after the first clause.
            const std::size_t cut = plain.find_first_of(";,");
            return std::string(plain.substr(0, cut)) + " (" + (outcome.byte == '\r' ? "CR" : "LF") +
                   position + ")" + std::string(plain.substr(cut));
        }
        case ParameterStatus::broken_text:
            if (outcome.position == 0) break;
            return std::string(plain) + position;
        case ParameterStatus::no_encoding_chosen:
            return (outcome.character != 0 ? "character U+" + hex(outcome.character, 4)
                                           : "byte 0x" + hex(outcome.byte, 2)) +
                   position + std::string(plain);
        case ParameterStatus::value_too_long:
            return std::string(plain) + " " + std::to_string(outcome.limit) + " bytes";
        case ParameterStatus::text_too_long:
            return std::string(plain) + " " + std::to_string(outcome.limit) +
                   " characters, more than any encrypted value";
        default:
            break;
    }
    return std::string(plain);
}

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
    return out << describe(outcome);
}

}  // namespace sipcrypt
