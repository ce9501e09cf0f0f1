#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <system_error>

namespace sipcrypt {

// Everything that can fail, be warned of or be hinted at, in the core and
// in every front end. The numbers are part of the C API: never reuse one.
enum class Code : std::uint16_t {
    done = 0,

    // A value, an encrypted text or a password.
    empty_value = 1,
    empty_password = 2,
    value_too_long = 3,  // limit
    value_has_zero_byte = 4,
    value_has_line_break = 5,  // byte (CR or LF), position
    password_has_zero_byte = 6,
    password_has_line_break = 7,     // byte, position
    not_utf8 = 8,                    // byte, position
    broken_text = 9,                 // position: half of a UTF-16 surrogate pair
    unrepresentable_character = 10,  // character, position, encoding
    not_ascii_character = 11,        // character, position: no encoding is chosen
    not_ascii_byte = 12,             // byte, position: no encoding is chosen
    not_in_encoding = 13,            // byte, position, encoding
    not_base64 = 14,
    not_whole_blocks = 15,
    text_too_long = 16,  // limit
    bad_fill = 17,

    // Encodings and the settings file.
    unknown_encoding = 30,            // subject: where the name came from
    encoding_puts_zero_bytes = 31,    // subject
    encoding_changes_ascii = 32,      // subject
    unknown_setting = 33,             // subject: the file; line; value: the line
    not_an_encoding_for_values = 34,  // subject: names a file's form (UTF-16LE) only

    // The C API's own.
    null_argument = 40,
    buffer_too_small = 41,  // limit: the size needed
    invalid_argument = 42,
    no_key = 43,
    out_of_memory = 44,

    // Reading input.
    line_too_long = 50,  // limit
    variable_not_set = 51,
    no_terminal = 52,
    nothing_entered = 53,
    passwords_differ = 54,
    echo_stays_on = 55,
    half_utf16_unit = 56,
    not_open_for_reading = 57,

    // Files of accounts.
    broken_quoting = 70,
    unclosed_quote = 71,
    field_too_long = 72,  // limit
    lone_cr = 73,
    ambiguous_separator = 74,
    too_many_fields = 75,       // limit
    file_not_utf8 = 76,         // row, line, column, byte, position, count
    file_not_in_encoding = 77,  // as file_not_utf8, and encoding
    file_not_utf16 = 78,        // row, line, column, count
    file_ends_in_half_utf16 = 79,
    file_is_utf32 = 80,
    missing_columns = 81,    // count, name: the names missing, value: the header's names
    duplicate_column = 82,   // name
    wrong_field_count = 83,  // count: the row's, limit: the header's
    empty_input = 84,
    header_repeated = 85,  // row
    byte_order_mark_inside = 86,
    unwritable_character = 87,  // character, position, encoding
    delimiter_disagrees = 88,   // name: --delimiter's, value: the sep= line's
    cell_not_decrypted = 89,    // count: the cells, limit: of how many
    row_too_long = 90,          // limit

    // Output.
    is_a_folder = 100,
    no_such_folder = 101,
    permission_denied = 102,
    not_open_for_writing = 103,
    in_use = 104,
    append_only = 105,
    immutable = 106,
    no_spool_there = 107,     // subject: the folder; system
    no_file_beside = 108,     // system
    not_put_in_place = 109,   // system
    not_written = 110,        // system
    nothing_written = 111,    // subject: the destination
    spool_not_written = 112,  // subject: the temporary folder; system
    immutable_folder = 115,

    // The system's own reason, in its words.
    system_error = 120,  // system

    // The command line.
    unknown_option = 130,       // value; name: the command, or empty
    unknown_command = 131,      // value
    unexpected_argument = 132,  // value; name: the command
    no_command = 133,
    option_repeated = 134,     // value: the option; name: the command
    empty_option_value = 135,  // value: what is empty ("file name")
    not_a_descriptor = 136,    // value
    not_a_separator = 137,     // value
    needs_a_value = 138,       // value: the option
    not_a_format = 139,        // value

    // Said once, not failures.
    password_cut_short = 150,  // limit
    shown_escaped = 151,
    choose_an_encoding = 152,  // value: the settings file
    more_rows_refused = 153,   // count
    header_spaces = 154,       // value: a name in the header
    header_case = 155,         // value: a name in the header; name: the one meant
    header_bars = 156,
    header_invisible = 157,  // value
    maybe_code_page = 158,
    maybe_backslash_escapes = 160,  // name: the column
    waiting_for_reader = 161,       // subject: the FIFO
    waiting_for_lock = 162,         // subject: the file

    // The dialog's own.
    no_password_typed = 170,
    nothing_encrypted = 171,  // value: the refusals, a line each
    no_display = 172,
    display_unreachable = 173,  // value: what the display said
};

// The one result of everything that can fail: a code, and the detail its
// message needs (each code above says which).
struct Outcome {
    Code code = Code::done;
    std::uint8_t byte = 0;
    char32_t character = 0;
    std::size_t position = 0;   // 1-based: a character's place in its text, or a byte's
    std::size_t limit = 0;      // a limit passed
    std::size_t count = 0;      // how many; a message may take its plural from it
    std::string_view encoding;  // an encoding's name, which outlives the outcome
    std::error_code system;     // the system's reason
    std::string name, value;    // text the message quotes, already escaped

    // Where: the first words of the message ("accounts.csv: row 3, column
    // 'login'"); the subject is a file, a source, an option or a field.
    std::string subject;
    std::size_t argument = 0, line = 0, row = 0;
    std::string column;

    Outcome(Code c = Code::done) noexcept : code(c) {}  // NOLINT: a bare code is an outcome
    bool ok() const noexcept { return code == Code::done; }
    friend bool operator==(const Outcome& outcome, Code c) noexcept { return outcome.code == c; }

    static Outcome over_limit(Code c, std::size_t limit) noexcept {
        Outcome outcome(c);
        outcome.limit = limit;
        return outcome;
    }
    static Outcome at_byte(Code c, std::uint8_t byte, std::size_t position) noexcept {
        Outcome outcome(c);
        outcome.byte = byte;
        outcome.position = position;
        return outcome;
    }
    static Outcome quoting(Code c, std::string value) {
        Outcome outcome(c);
        outcome.value = std::move(value);
        return outcome;
    }
    static Outcome from_system(std::error_code error) {
        Outcome outcome(Code::system_error);
        outcome.system = error;
        return outcome;
    }
    // An errno value; 0 is done.
    static Outcome from_errno(int error) {
        return error == 0 ? Outcome() : from_system({error, std::generic_category()});
    }
    // The same, said of `where`.
    Outcome about(std::string where) const& {
        Outcome said = *this;
        said.subject = std::move(where);
        return said;
    }
    Outcome about(std::string where) && {
        subject = std::move(where);
        return std::move(*this);
    }
};

// For test reports: the message.
std::ostream& operator<<(std::ostream& out, const Outcome& outcome);

}  // namespace sipcrypt
