#include "messages.h"

#include <cstdio>
#include <ostream>

namespace sipcrypt {

namespace {

// Each entry is a whole sentence, with its parameters marked: {limit},
// {count}, {position}, {byte} (0xFF), {character} (U+00FC), {encoding},
// {system}, {name}, {value}, {break} (CR or LF), {options} (the password's). `other` is the plural,
// taken when {count} is not 1; `dialog` the dialog's words where they differ.
struct Entry {
    Code code;
    const char* text;
    const char* other = nullptr;
    const char* dialog = nullptr;
};

#ifdef _WIN32
#define SIPCRYPT_OTHER_NAMES ""
#else
#define SIPCRYPT_OTHER_NAMES "; iconv --list, others"
#endif

constexpr Entry catalogue[] = {
    {Code::done, "done"},

    {Code::empty_value, "the value is empty"},
    {Code::empty_password, "the password is empty"},
    {Code::value_too_long, "the value is longer than {limit} bytes"},
    {Code::value_has_zero_byte,
     "the value holds a zero byte, which the decrypting side takes as its end"},
    {Code::value_has_line_break,
     "the value holds a line break ({break} at position {position}); a value is one line"},
    {Code::password_has_zero_byte,
     "the password holds a zero byte, where the decrypting side would end it"},
    {Code::password_has_line_break,
     "the password holds a line break ({break} at position {position}), often one left by a "
     "Windows line end"},
    {Code::not_utf8, "the text is not valid UTF-8: byte {byte} at position {position}"},
    {Code::broken_text,
     "the text holds a broken character (half of a UTF-16 surrogate pair) at position "
     "{position}"},
    {Code::unrepresentable_character,
     "character {character} at position {position} cannot be represented in {encoding}"},
    {Code::not_ascii_character,
     "character {character} at position {position} is not ASCII, and no encoding is chosen"},
    {Code::not_ascii_byte,
     "byte {byte} at position {position} is not ASCII, and no encoding is chosen"},
    {Code::not_in_encoding,
     "the decrypted bytes are not valid text in the encoding ({encoding}): byte {byte} at "
     "position {position}"},
    {Code::not_base64, "the text is not Base64"},
    {Code::not_whole_blocks, "the text does not decode to whole 8-byte blocks"},
    {Code::text_too_long,
     "the text is longer than {limit} characters, more than any encrypted value"},
    {Code::bad_fill, "the fill bytes do not decrypt to zeros (wrong password or damaged text)"},

    {Code::unknown_encoding,
     "unknown encoding (sipcrypt --list-encodings shows the names" SIPCRYPT_OTHER_NAMES ")"},
    {Code::encoding_puts_zero_bytes,
     "this encoding puts zero bytes into plain text, and the decrypting side ends a value at "
     "its first zero byte; use an encoding such as UTF-8 or WINDOWS-1252"},
    {Code::encoding_changes_ascii,
     "this encoding does not keep plain ASCII text as it is (UTF-7, EBCDIC); use an encoding "
     "such as UTF-8 or WINDOWS-1252"},
    {Code::unknown_setting, "unknown setting '{value}' (the file knows encoding=NAME)"},
    {Code::not_an_encoding_for_values,
     "this names the form of a file, not an encoding that values can be encrypted in; give "
     "it to --input-encoding"},

    {Code::null_argument, "a pointer that must not be null is null"},
    {Code::buffer_too_small, "the buffer is too small: it needs {limit} bytes"},
    {Code::invalid_argument, "an argument is not valid"},
    {Code::no_key, "no key is set: set one with the password first"},
    {Code::out_of_memory, "there is not enough memory"},

    {Code::line_too_long, "the line is longer than {limit} bytes"},
    {Code::variable_not_set, "the environment variable is not set"},
    {Code::no_terminal, "no password given and no terminal to ask on: use {options}"},
    {Code::nothing_entered, "no password entered"},
    {Code::passwords_differ, "the two passwords differ; nothing was encrypted"},
    {Code::echo_stays_on,
     "echo cannot be turned off, so the password is not asked there: use {options}"},
    {Code::half_utf16_unit,
     "the text is UTF-16 (it begins with a byte-order mark) and ends in half a character"},
    {Code::not_open_for_reading, "not open for reading"},

    {Code::broken_quoting,
     "broken quoting: a quote inside an unquoted field, or text after a closing quote"},
    {Code::unclosed_quote, "a quoted field is not closed before the end of the input"},
    {Code::field_too_long, "a field is longer than {limit} bytes; is a quote left open?"},
    {Code::lone_cr,
     "a carriage return (CR) that is not part of a line end; lines end in LF or CRLF"},
    {Code::ambiguous_separator,
     "the header names the columns whether it is read with commas, semicolons or tabs between "
     "them; say which with --delimiter"},
    {Code::too_many_fields, "the row has more than {limit} fields"},
    {Code::row_too_long, "the row is longer than {limit} bytes"},
    {Code::file_not_utf8,
     "the file is not UTF-8: {place}, byte {byte} at position {position} first, and {count} "
     "row in all",
     "the file is not UTF-8: {place}, byte {byte} at position {position} first, and {count} "
     "rows in all"},
    {Code::file_not_in_encoding,
     "the file is not text in {encoding}: {place}, byte {byte} at position {position} first, "
     "and {count} row in all",
     "the file is not text in {encoding}: {place}, byte {byte} at position {position} first, "
     "and {count} rows in all"},
    {Code::file_not_utf16,
     "the file is not UTF-16 text, though it begins with a mark for it: {place}, half a "
     "character or half a surrogate pair first, and {count} row in all",
     "the file is not UTF-16 text, though it begins with a mark for it: {place}, half a "
     "character or half a surrogate pair first, and {count} rows in all"},
    {Code::file_ends_in_half_utf16,
     "the file is UTF-16 and ends in half a character: was it cut short?"},
    {Code::file_is_utf32, "the file is UTF-32, which is not read here: save it as UTF-8 or UTF-16"},
    {Code::missing_columns,
     "the header has no column {name} (it needs login, password, proxy and outbound_proxy; "
     "found {value})",
     "the header has no columns {name} (it needs login, password, proxy and outbound_proxy; "
     "found {value})"},
    {Code::duplicate_column, "the column {name} appears twice"},
    {Code::wrong_field_count, "it has {count} field where the header has {limit}",
     "it has {count} fields where the header has {limit}"},
    {Code::empty_input, "the input is empty: it needs a header row"},
    {Code::header_repeated, "the row repeats the header: were two files joined?"},
    {Code::byte_order_mark_inside,
     "the row begins with a byte-order mark, as a file does: were two files joined?"},
    {Code::unwritable_character,
     "character {character} at position {position} cannot be represented in {encoding}, in "
     "which the file is written"},
    {Code::delimiter_disagrees,
     "--delimiter says {name}, but the file's first line says sep={value}"},
    {Code::cell_not_decrypted,
     "{count} of {limit} cells do not decrypt: is the password the one they were encrypted "
     "with?",
     "{count} of {limit} cells do not decrypt: is the password the one they were encrypted "
     "with?"},

    {Code::is_a_folder, "is a folder"},
    {Code::no_such_folder, "no such folder"},
    {Code::permission_denied, "permission denied"},
    {Code::not_open_for_writing, "not open for writing"},
    {Code::in_use, "in use by another program"},
    {Code::append_only, "the file may only be appended to (chattr +a), not rewritten"},
    {Code::immutable, "the file may not be changed (chattr +i)"},
    {Code::immutable_folder, "its folder may not be changed (chattr +i)"},
    {Code::no_spool_there, "cannot make a temporary file there: {system}"},
    {Code::no_file_beside, "cannot create a file beside it: {system}"},
    {Code::not_put_in_place, "cannot put the file in place: {system}"},
    {Code::not_written, "cannot write: {system}"},
    {Code::nothing_written, "nothing was written"},
    {Code::spool_not_written, "cannot write the temporary file there: {system}"},

    {Code::system_error, "{system}"},

    {Code::unknown_option, "unknown option '{value}'; run 'sipcrypt {name}--help'", nullptr,
     "unknown option '{value}'"},
    {Code::unknown_command, "unknown command '{value}'; run 'sipcrypt --help'"},
    {Code::unexpected_argument, "unexpected argument '{value}'; run 'sipcrypt {name}--help'",
     nullptr, "unexpected argument '{value}'"},
    {Code::no_command, "no command given: encrypt, decrypt or accounts; run 'sipcrypt --help'"},
    {Code::option_repeated, "{value} is given more than once; run 'sipcrypt {name}--help'"},
    {Code::empty_option_value, "an empty {value}"},
    {Code::not_a_descriptor, "'{value}' is not a file descriptor number (0, 1, 2, ...)"},
    {Code::not_a_separator, "'{value}' is no separator: give ',', ';' or tab"},
    {Code::needs_a_value, "{value} needs a value"},
    {Code::not_a_format, "'{value}' is no format: give csv or tsv"},

    {Code::password_cut_short,
     "warning: the password is longer than {limit} bytes; only its first {limit} bytes count",
     nullptr,
     "Only the first {limit} bytes of the encryption password count; the rest makes no "
     "difference to the encrypted texts."},
    {Code::shown_escaped,
     "warning: control characters in values are shown escaped on a terminal (\\x1B, \\u009B, "
     "\\\\); send the output to a file or a pipe for their bytes"},
    {Code::choose_an_encoding,
     "hint: choose the encoding the decrypting program reads with --encoding NAME, "
     "SIPCRYPT_ENCODING=NAME or a line encoding=NAME in {value}: WINDOWS-1252 for Western "
     "European text, UTF-8 if the program reads UTF-8 (sipcrypt --list-encodings)",
     nullptr,
     "No encoding is chosen, so only ASCII text can be encrypted. Add the line "
     "encoding=WINDOWS-1252 (or the name of the encoding the decrypting program reads; "
     "UTF-8 if it reads UTF-8) to {value}, or start sipcrypt-gui --encoding NAME."},
    {Code::more_rows_refused, "... and {count} more row refused",
     "... and {count} more rows refused"},
    {Code::header_spaces, "hint: '{value}' has spaces around it; names must match exactly"},
    {Code::header_case, "hint: '{value}' differs from '{name}' in case; names must match exactly"},
    {Code::header_bars,
     "hint: the header looks separated by '|', but fields are separated by commas, semicolons "
     "or tabs"},
    {Code::header_invisible,
     "hint: '{value}' holds characters that do not show (shown escaped); names must match "
     "exactly"},
    {Code::maybe_code_page,
     "hint: saved in a Windows code page? try --input-encoding WINDOWS-1252"},
    {Code::maybe_backslash_escapes,
     "warning: column {name} holds backslash sequences (\\t, \\n, \\\\): if the file was "
     "written with backslash escapes (miller --otsv, sqlite's .mode tabs, PostgreSQL COPY), "
     "read it with --format tsv"},
    {Code::waiting_for_reader, "waiting for a program to read the FIFO"},
    {Code::waiting_for_lock, "waiting while another program writes it"},

    {Code::no_password_typed, "Type an encryption password first.\n\nNothing was encrypted."},
    {Code::nothing_encrypted, "Nothing was encrypted:\n\n{value}"},
    {Code::no_display,
     "there is no display to show the dialog on (neither DISPLAY nor WAYLAND_DISPLAY is "
     "set).\nStart it from a desktop session, or use the command-line tool instead, for "
     "example:\n  sipcrypt accounts --password-file pw.txt -i accounts.csv -o encrypted.csv"},
    {Code::display_unreachable,
     "the display cannot be reached ({value}).\nStart it from a desktop session, or use the "
     "command-line tool instead, for example:\n  sipcrypt accounts --password-file pw.txt -i "
     "accounts.csv -o encrypted.csv"},
};

const Entry& entry_of(Code code) {
    for (const Entry& entry : catalogue) {
        if (entry.code == code) return entry;
    }
    return catalogue[0];
}

std::string hex(const char* prefix, unsigned value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%s%0*X", prefix, digits, value);
    return text;
}

// The value of one parameter.
std::string parameter(std::string_view name, const Outcome& o) {
    if (name == "limit") return std::to_string(o.limit);
    if (name == "count") return std::to_string(o.count);
    if (name == "position") return std::to_string(o.position);
    if (name == "byte") return hex("0x", o.byte, 2);
    if (name == "character") return hex("U+", o.character, 4);
    if (name == "encoding") return std::string(o.encoding);
    if (name == "system") return o.system.message();
    if (name == "name") return o.name;
    if (name == "value") return o.value;
    if (name == "break") return o.byte == '\r' ? "CR" : "LF";
    if (name == "options") return password_options;
    std::string unknown(1, '{');
    return unknown.append(name).append(1, '}');
}

std::string filled(std::string_view text, const Outcome& outcome, const std::string& place) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t open = text.find('{', i);
        const std::size_t close = text.find('}', open);
        if (open == std::string_view::npos || close == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, open - i));
        const std::string_view name = text.substr(open + 1, close - open - 1);
        out.append(name == "place" ? place : parameter(name, outcome));
        i = close + 1;
    }
    return out;
}

// "row 4", or "row 4 (line 6)" where lines and rows differ.
std::string row_of(const Outcome& o) {
    std::string row = "row " + std::to_string(o.row);
    if (o.line != 0 && o.line != o.row) row += " (line " + std::to_string(o.line) + ")";
    return row;
}

// "argument 2", "line 3", "row 4 (line 6), column 'login'": where in its
// source a message's subject is.
std::string place_of(const Outcome& o) {
    std::string place;
    if (o.argument != 0) place = "argument " + std::to_string(o.argument);
    if (o.row != 0) {
        place = row_of(o);
    } else if (o.line != 0) {
        place = "line " + std::to_string(o.line);
    }
    if (!o.column.empty()) place += (place.empty() ? "column " : ", column ") + o.column;
    return place;
}

}  // namespace

std::string message(const Outcome& outcome, Audience audience) {
    const Entry& entry = entry_of(outcome.code);
    const char* text = audience == Audience::dialog && entry.dialog ? entry.dialog
                       : outcome.count != 1 && entry.other          ? entry.other
                                                                    : entry.text;
    // A message that names its place in its sentence has only its subject before it.
    const std::string place = place_of(outcome);
    const bool placed_inside = std::string_view(text).find("{place}") != std::string_view::npos;
    std::string what = filled(text, outcome, place);
    std::string where = outcome.subject;
    if (!placed_inside && !place.empty()) where += (where.empty() ? "" : ": ") + place;
    return where.empty() ? what : where + ": " + what;
}

const char* message_template(Code code) {
    const Entry& entry = entry_of(code);
    return entry.code == code ? entry.text : "an unknown error";
}

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
    return out << message(outcome);
}

}  // namespace sipcrypt
