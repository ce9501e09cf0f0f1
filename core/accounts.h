#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "codec.h"
#include "csv.h"
#include "outcome.h"

namespace sipcrypt::accounts {

inline constexpr std::array<std::string_view, 4> columns = {"login", "password", "proxy",
                                                            "outbound_proxy"};

// Where output goes, piece by piece.
class ByteSink {
  public:
    virtual ~ByteSink() = default;
    virtual void write(std::string_view bytes) = 0;
};

// Encrypts, or decrypts, the login, password, proxy and outbound_proxy cells
// of a file of accounts record by record, and writes each record back in
// the file's shape with those cells replaced (on a terminal, as escaped
// UTF-8). Other columns pass through, empty cells stay empty, each row keeps
// its line end. All rows or nothing: after the first refusal nothing more is
// written, since the output will be thrown away, but every row is checked.
class AccountTable {
  public:
    // The problems of this many rows are told; the rest are counted.
    static constexpr std::size_t rows_told = 10;

    AccountTable(const CsvShape& shape, bool decrypt, bool to_terminal);

    // The header: done, or why the file cannot be used, which messages()
    // then tells. Called before any key is asked for.
    Outcome read_header(const CsvRecord& header);

    // The start of the output, then each row after the header. `shape` is
    // the reader's, and must outlive the table.
    void start(ByteSink& out);
    void add(Codec& codec, const CsvRecord& record, ByteSink& out);

    // Whether every row so far was done.
    bool ok() const noexcept { return refused_rows_ == 0 && header_ok_; }

    // What to tell, in order: a likely wrong password first, then the
    // refusals of the first rows_told rows, how many more rows were refused,
    // and each hint or warning once.
    std::vector<Outcome> messages() const;

  private:
    void refuse(const CsvRecord& record, Outcome outcome, std::size_t column = no_column);
    void write_row(const CsvRecord& record, ByteSink& out);
    void note(Outcome outcome);
    bool transform(Codec& codec, std::size_t k, std::string_view cell, const CsvRecord& record);

    static constexpr std::size_t no_column = static_cast<std::size_t>(-1);

    const CsvShape& shape_;  // the reader's, which may learn more as it reads
    CsvShape on_terminal_;   // the same shape in UTF-8, for a terminal
    bool decrypt_, to_terminal_;
    CsvWriter writer_;
    std::array<std::size_t, 4> column_of_{};
    std::vector<std::string> header_;
    CsvRecord header_record_;  // its fields in header_
    bool header_ok_ = false;
    std::size_t refused_rows_ = 0, last_refused_row_ = 0;
    std::size_t cells_ = 0, cells_not_decrypted_ = 0;
    std::vector<Outcome> refusals_, notes_;
    std::array<std::string, 4> texts_;
    std::array<SecretBytes, 4> values_;
    std::vector<std::string_view> fields_;
    std::vector<SecretBytes> shown_;  // cells escaped for a terminal
    SecretBytes line_, cell_;
};

}  // namespace sipcrypt::accounts
