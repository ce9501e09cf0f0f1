#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <vector>

#include "cipher/secret_memory.h"
#include "core/outcome.h"
#include "core/text_encoding.h"

// Files of accounts as spreadsheets, PowerShell and scripts write them: CSV
// (RFC 4180) separated by commas, semicolons or tabs, in UTF-8 with or
// without a byte-order mark, UTF-16 with one, or an encoding named for it;
// read one record at a time, and written back in the shape they came in.
namespace sipcrypt::accounts {

enum class CsvError {
    broken_quoting = 1,   // a quote inside an unquoted field, or text after a closing quote
    unclosed_quote,       // the input ends inside a quoted field
    field_too_long,       // a field longer than max_field_length: often a quote left open
    lone_cr,              // a CR outside quotes that is not part of a CRLF
    ambiguous_separator,  // the header holds the names with more than one separator
    not_text,             // bytes that are not text in the file's encoding
};
const std::error_category& csv_category() noexcept;
std::error_code make_error_code(CsvError error) noexcept;

inline constexpr std::size_t max_field_length = 64 * 1024;

// Where the bytes come from: got is 0 at the end.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::error_code read(char* buffer, std::size_t size, std::size_t& got) = 0;
};

// What a file looks like: found by reading it, kept in writing it back.
struct CsvShape {
    enum class Form { utf8, utf16le, utf16be, encoding };
    Form form = Form::utf8;
    bool bom = false;
    char separator = ',';
    TextEncoding* encoding = nullptr;  // for Form::encoding
    std::string preamble;              // a first line "sep=;" or "#TYPE ...", as text
};

// One record, valid until the next is read. Rows are counted as a
// spreadsheet counts them, blank ones too: the header is row 1.
struct CsvRecord {
    std::vector<std::string_view> fields;  // UTF-8
    std::vector<bool> quoted;              // how each was written
    std::string_view line_end;             // "\r\n", "\n", or "" at the end of the input
    std::size_t row = 0;
    std::size_t line = 0;  // the physical line it starts on
};

// Where reading failed, and for text that is not in the file's encoding,
// the first byte that is not and how many rows hold such bytes.
struct CsvPlace {
    std::size_t row = 0, line = 0, column = 0;  // column: 1-based, 0 when none
    Outcome outcome;                            // not_utf8 or not_in_encoding, with the byte
    std::size_t rows_not_text = 0;
};

struct CsvOptions {
    char separator = 0;                     // 0: from a sep= line, else from the header
    std::vector<std::string> header_names;  // the names the header must hold
    TextEncoding* encoding = nullptr;       // of a file with no byte-order mark; null: UTF-8
    TextEncoding* fallback = nullptr;       // for a file that turns out not to be UTF-8
};

// Reads in time linear in the input and in memory bounded by
// max_field_length. The separator is the one with which the header holds
// every name asked for, and never a guess: with more than one, reading
// fails; with none, it is the one that finds most of them. Blank lines are
// skipped (but counted). Every buffer is wiped: cells may be passwords.
class CsvReader {
  public:
    CsvReader(ByteSource& source, CsvOptions options);

    // The next record: false at the end of the input or on a failure, which
    // error() and place() then say.
    bool next(CsvRecord& record);
    const std::error_code& error() const noexcept { return error_; }
    const CsvPlace& place() const noexcept { return place_; }
    const CsvShape& shape() const noexcept { return shape_; }

  private:
    enum class Step { record, more, failed };
    bool start();
    bool fill();
    void feed(std::string_view bytes);
    bool choose_separator();
    Step parse(char separator, std::size_t& end, std::string_view& line_end, std::size_t& lines);
    bool decode(CsvRecord& record);
    bool not_text(std::size_t field, const Outcome& outcome);
    bool fail(std::error_code error);

    ByteSource& source_;
    CsvOptions options_;
    CsvShape shape_;
    SecretBytes chunk_;   // as read
    SecretBytes text_;    // read and, for UTF-16, decoded; parsed from start_
    SecretBytes fields_;  // the fields of the record being read, unquoted
    SecretBytes decoded_;
    std::vector<std::size_t> bounds_;  // where each field ends in fields_
    std::vector<bool> quoted_;
    std::size_t start_ = 0;
    std::size_t row_ = 0, line_ = 1, record_line_ = 1;
    unsigned char odd_byte_ = 0;
    bool has_odd_byte_ = false;
    char16_t high_surrogate_ = 0;
    bool started_ = false, at_end_ = false, non_ascii_seen_ = false;
    std::error_code error_;
    CsvPlace place_;
};

// Writes records back in a file's shape.
class CsvWriter {
  public:
    explicit CsvWriter(const CsvShape& shape) : shape_(shape) {}

    // The start of the file: its byte-order mark and its first line.
    void start(SecretBytes& out);

    // One record, appended to `out`: the fields joined by the separator,
    // each quoted where `quoted` says and wherever it must be, and the line
    // end, all in the file's encoding. Not done when a field cannot be
    // written in that encoding: `field` then names it, and `out` is as it was.
    Outcome record(const std::vector<std::string_view>& fields, const std::vector<bool>& quoted,
                   std::string_view line_end, SecretBytes& out, std::size_t& field);

  private:
    void append_utf16(std::string_view text, SecretBytes& out) const;

    const CsvShape& shape_;
    SecretBytes text_, bytes_;
};

}  // namespace sipcrypt::accounts

template <>
struct std::is_error_code_enum<sipcrypt::accounts::CsvError> : std::true_type {};
