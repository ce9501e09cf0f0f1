#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/codec.h"
#include "csv_reader.h"
#include "output_sink.h"

namespace sipcrypt::cli {

// Encrypts the login, password, proxy and outbound_proxy cells of a CSV of
// accounts, record by record, and writes the records with those cells
// replaced. Other columns pass through as they are, empty cells stay empty,
// and each row keeps its line end. Every problem is reported with its row
// and column; after the first one nothing more is written, since the output
// will be thrown away.
class AccountTable {
  public:
    static constexpr std::array<std::string_view, 4> encrypted_columns = {
        "login", "password", "proxy", "outbound_proxy"};

    AccountTable(Codec& codec, OutputSink& output);

    void add(const CsvRecord& record);
    // Call after the last record, when the whole input was read. True when
    // every row was encrypted.
    bool finish();

  private:
    bool read_header(const CsvRecord& record);
    void write(const CsvRecord& record, bool encrypted_cells);
    void refuse(const std::string& where, std::string_view why);

    Codec& codec_;
    OutputSink& output_;
    std::array<std::size_t, 4> column_of_{};
    std::size_t width_ = 0;
    std::size_t row_ = 0;
    std::string_view line_end_ = "\n";  // of the last row that had one
    bool header_ok_ = false;
    bool failed_ = false;
    std::array<std::string, 4> texts_;
    std::string field_;
};

}  // namespace sipcrypt::cli
