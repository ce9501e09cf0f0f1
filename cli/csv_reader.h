#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sipcrypt::cli {

// One CSV record: its fields, and whether its line ended in CRLF.
struct CsvRecord {
    std::vector<std::string_view> fields;
    bool crlf = false;
};

// Reads RFC 4180 CSV from a file descriptor one record at a time, so memory
// stays bounded by the longest record. Spaces are part of fields, quoted
// fields may hold commas, quotes and line breaks, and lines end in LF or
// CRLF. Every buffer the parser uses is wiped before it is freed: the cells
// may be passwords.
//
// Calls `on_record` for each record, in order. Returns an empty string at
// the end of well-formed input, or else what went wrong, naming the row.
std::string read_csv(int fd, const std::function<void(const CsvRecord&)>& on_record);

}  // namespace sipcrypt::cli
