#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/secret_memory.h"
#include "core/outcome.h"
#include "core/text_encoding.h"
#include "core/unicode.h"

// Files of accounts as spreadsheets, PowerShell and data tools write them:
// CSV (RFC 4180) separated by commas, semicolons or tabs, or tab-separated
// with backslash escapes; in UTF-8 with or without a byte-order mark, UTF-16
// with or without one, or an encoding named for it. Read one record at a
// time, and written back in the shape they came in.
namespace sipcrypt::accounts {

// The bounds of one record, so that any input is read in linear time and
// bounded memory: a field, a row's fields together, and how many fields.
inline constexpr std::size_t max_field_length = 64 * 1024;
inline constexpr std::size_t max_row_length = 1024 * 1024;
inline constexpr std::size_t max_fields = 16 * 1024;

// Where the bytes come from: got is 0 at the end.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual Outcome read(char* buffer, std::size_t size, std::size_t& got) = 0;
};

// What a file looks like: found by reading it, kept in writing it back.
struct CsvShape {
    enum class Form { utf8, utf16le, utf16be, encoding };
    Form form = Form::utf8;
    bool bom = false;
    char separator = ',';
    bool backslash_escapes = false;    // tab-separated, \t \n \r \\ in fields, no quotes
    TextEncoding* encoding = nullptr;  // for Form::encoding
    std::string preamble;              // a first line "sep=;" or "#TYPE ...", as text

    bool utf16() const noexcept { return form == Form::utf16le || form == Form::utf16be; }
};

// One record, valid until the next is read. Rows are counted as a
// spreadsheet counts them, blank ones too: the header is row 1.
struct CsvRecord {
    std::vector<std::string_view> fields;  // UTF-8; with backslash escapes, as written
    std::vector<bool> quoted;              // how each was written
    std::string_view line_end;             // "\r\n", "\n", or "" at the end of the input
    std::size_t row = 0;
    std::size_t line = 0;  // the physical line it starts on
};

struct CsvOptions {
    char separator = 0;                     // 0: from a sep= line, else from the header
    bool backslash_escapes = false;         // --format tsv
    std::vector<std::string> header_names;  // the names the header must hold
    TextEncoding* encoding = nullptr;       // of a file with no byte-order mark; null: UTF-8
    std::optional<ByteOrder> utf16;         // a file in UTF-16 with no byte-order mark
    TextEncoding* fallback = nullptr;       // for a file that turns out not to be UTF-8
};

// A parser that keeps its state between reads: every byte is looked at once
// or, in the header, once for each separator tried. The separator is the
// one with which the header holds every name asked for, and never a guess:
// with more than one, reading fails; with none, it is the one that finds
// most of them. Blank lines are skipped (but counted). Every buffer is
// wiped: cells may be passwords.
class CsvReader {
  public:
    CsvReader(ByteSource& source, CsvOptions options);

    // Reads the file's shape and its header record, so that a file that
    // cannot be read is found before any work: done, or the failure.
    const Outcome& start();
    // The next record: false at the end of the input or on a failure, which
    // error() then says (done at a good end). After a record that is not
    // text in the file's encoding, the rest are read to count them.
    bool next(CsvRecord& record);
    const Outcome& error() const noexcept { return error_; }
    const CsvShape& shape() const noexcept { return shape_; }

  private:
    enum class State { field_start, unquoted, quoted, quote_in_quoted, cr };
    enum class Step { record, more, end, failed };
    void append(std::string_view bytes);
    bool fill();
    bool read_form();
    bool read_preamble();
    bool choose_separator();
    Step parse(char separator);
    bool end_field(bool quoted);
    bool decode(CsvRecord& record);
    bool fail(Code code, std::size_t limit = 0);
    std::string column_name(std::size_t index) const;

    ByteSource& source_;
    CsvOptions options_;
    CsvShape shape_;
    std::optional<Utf16Decoder> utf16_;
    SecretBytes chunk_;   // as read
    SecretBytes text_;    // read and decoded, from pos_ on not parsed yet
    SecretBytes fields_;  // the record's fields, unquoted, one after the other
    SecretBytes decoded_;
    std::vector<std::size_t> ends_;  // where each field ends in fields_
    std::vector<bool> quoted_;
    std::string_view line_end_;
    State state_ = State::field_start;
    std::size_t pos_ = 0;
    std::size_t row_ = 0, line_ = 1, record_line_ = 1, rows_not_text_ = 0;
    bool started_ = false, at_end_ = false, half_unit_ = false, non_ascii_seen_ = false;
    bool record_open_ = false;         // a record is under way
    std::vector<std::string> header_;  // its names, for messages
    Outcome error_, not_text_;
};

// Writes records back in a file's shape.
class CsvWriter {
  public:
    explicit CsvWriter(const CsvShape& shape) : shape_(shape) {}

    // The start of the file: its byte-order mark and its first line.
    void start(SecretBytes& out);

    // One record, appended to `out`: the fields joined by the separator,
    // each quoted where `quoted` says and wherever it must be (with
    // backslash escapes: each as it is), and the line end, all in the file's
    // encoding. Done, or unwritable_character with `column` naming the
    // field, and `out` as it was.
    Outcome record(const std::vector<std::string_view>& fields, const std::vector<bool>& quoted,
                   std::string_view line_end, SecretBytes& out, std::size_t& column);

  private:
    void append(std::string_view text, SecretBytes& out) const;

    const CsvShape& shape_;
    SecretBytes line_, bytes_;
};

// A name from the header for messages: escaped, invisible characters too,
// and in quotes.
std::string quoted_name(std::string_view name);

// Backslash escapes in tab-separated files: \t, \n, \r and \\ stand for
// themselves; any other backslash is itself.
void unescape_backslashes(std::string_view field, SecretBytes& out);
void escape_backslashes(std::string_view text, SecretBytes& out);
// Whether a field holds one of the four escapes.
bool has_backslash_escape(std::string_view field) noexcept;

}  // namespace sipcrypt::accounts
