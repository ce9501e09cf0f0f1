#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/codec.h"
#include "core/csv.h"
#include "output_sink.h"

namespace sipcrypt::cli {

// Encrypts, or with --decrypt decrypts, the login, password, proxy and
// outbound_proxy cells of a file of accounts, record by record, and writes
// each record back in the file's shape with those cells replaced. Other
// columns pass through, empty cells stay empty, each row keeps its line end
// (a last one without gets the one before). Problems are reported by row and
// column, ten rows' worth at most; after the first, nothing more is written,
// since the output will be thrown away. Cells bound for a terminal are shown
// escaped, as decrypt shows values.
class AccountTable {
  public:
    static constexpr std::array<std::string_view, 4> columns = {"login", "password", "proxy",
                                                                "outbound_proxy"};

    AccountTable(Codec& codec, bool decrypt, const accounts::CsvShape& shape, OutputSink& output,
                 bool to_terminal = false);

    void add(const accounts::CsvRecord& record);
    // A column's name for messages, escaped, by its 1-based number.
    std::string column_name(std::size_t column) const;
    // After the last record: true when every row was done.
    bool finish();

  private:
    bool read_header(const accounts::CsvRecord& record);
    void refuse(const accounts::CsvRecord& record, const std::string& column,
                const std::string& why);

    Codec& codec_;
    bool decrypt_;
    accounts::CsvWriter writer_;
    OutputSink& output_;
    std::array<std::size_t, 4> column_of_{};
    std::vector<std::string> header_;
    std::size_t rows_ = 0, refused_rows_ = 0, last_refused_row_ = 0;
    std::string_view line_end_ = "\n";  // of the last row that had one
    bool to_terminal_, header_ok_ = false, failed_ = false, escaped_ = false;
    std::array<std::string, 4> texts_;
    std::array<SecretBytes, 4> values_;
    std::vector<std::string_view> fields_;
    std::vector<SecretBytes> shown_;  // cells escaped for a terminal
    SecretBytes line_;
};

// "row 4", or "row 4 (line 6)" where lines and rows differ.
std::string row_label(std::size_t row, std::size_t line);

}  // namespace sipcrypt::cli
