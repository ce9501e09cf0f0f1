#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <system_error>
#include <vector>

#include "line_reader.h"

namespace sipcrypt::cli {

// One CSV record: its fields, and how its line ended.
struct CsvRecord {
    enum class LineEnd { lf, crlf, none };
    std::vector<std::string_view> fields;
    LineEnd line_end = LineEnd::lf;
};

// Where reading stopped: the record being read and the line it was on.
struct CsvPlace {
    std::size_t row = 0;
    std::size_t line = 0;
};

// Reads RFC 4180 CSV from a file descriptor one record at a time, in time
// linear in its size and memory bounded by max_field_length. Spaces are part
// of fields; quoted fields may hold commas, quotes and line breaks; lines
// end in LF or CRLF, and a UTF-8 byte-order mark before the first record is
// dropped. Blank lines are skipped. Every buffer is wiped before it is
// freed: the cells may be passwords.
//
// Calls `on_record` for each record, in order. Returns an empty error_code at
// the end of well-formed input; else an InputError, with `place` saying where,
// or the system's error from reading.
inline constexpr std::size_t max_field_length = LineReader::max_line_length;
std::error_code read_csv(int fd, const std::function<void(const CsvRecord&)>& on_record,
                         CsvPlace& place);

}  // namespace sipcrypt::cli
