#include "account_table.h"

#include <algorithm>

#include "diagnostics.h"
#include "settings/text_rules.h"

namespace sipcrypt::cli {

namespace {

constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";
constexpr std::size_t no_column = static_cast<std::size_t>(-1);

bool needs_quotes(std::string_view field) {
    return field.find_first_of(",\"\r\n") != std::string_view::npos ||
           (!field.empty() && (field.front() == ' ' || field.back() == ' '));
}

}  // namespace

AccountTable::AccountTable(const ParameterCipher& cipher, TextEncoding& encoding,
                           OutputSink& output)
    : cipher_(cipher), encoding_(encoding), output_(output) {}

void AccountTable::refuse(const std::string& where, std::string_view why) {
    report(where, why);
    failed_ = true;
}

bool AccountTable::read_header(const CsvRecord& record) {
    column_of_.fill(no_column);
    width_ = record.fields.size();
    line_end_ = record.crlf ? "\r\n" : "\n";
    for (std::size_t i = 0; i < record.fields.size(); ++i) {
        std::string_view name = record.fields[i];
        if (i == 0 && name.substr(0, utf8_bom.size()) == utf8_bom) name.remove_prefix(3);
        for (std::size_t k = 0; k < encrypted_columns.size(); ++k) {
            if (name != encrypted_columns[k]) continue;
            if (column_of_[k] != no_column) {
                refuse("row 1", "the column '" + std::string(name) + "' appears twice");
            }
            column_of_[k] = i;
        }
    }
    for (std::size_t k = 0; k < encrypted_columns.size(); ++k) {
        if (column_of_[k] == no_column) {
            refuse("row 1", "the header has no column '" + std::string(encrypted_columns[k]) +
                                "' (it needs login, password, proxy and outbound_proxy)");
        }
    }
    return !failed_;
}

void AccountTable::add(const CsvRecord& record) {
    ++row_;
    if (row_ == 1) {
        header_ok_ = read_header(record);
        if (header_ok_) write(record, false);
        return;
    }
    if (!header_ok_) return;  // refused already; the rows cannot be read without it
    const std::string where = "row " + std::to_string(row_);
    if (record.fields.size() != width_) {
        refuse(where, "it has " + std::to_string(record.fields.size()) +
                          " fields where the header has " + std::to_string(width_));
        return;
    }
    bool row_ok = true;
    for (std::size_t k = 0; k < encrypted_columns.size(); ++k) {
        const std::string_view cell = record.fields[column_of_[k]];
        texts_[k].clear();
        if (cell.empty()) continue;
        Outcome status = check_value_text(cell);
        if (status.ok()) status = encoding_.from_utf8(cell, value_);
        if (status.ok()) status = cipher_.encrypt({value_.data(), value_.size()}, texts_[k]);
        if (!status.ok()) {
            refuse(where + ", column '" + std::string(encrypted_columns[k]) + "'",
                   describe(status));
            row_ok = false;
        }
    }
    if (row_ok) write(record, true);
}

void AccountTable::write(const CsvRecord& record, bool encrypted_cells) {
    if (failed_) return;
    for (std::size_t i = 0; i < record.fields.size(); ++i) {
        if (i > 0) output_.write(",");
        std::string_view field = record.fields[i];
        if (encrypted_cells) {
            const auto* k = std::find(column_of_.begin(), column_of_.end(), i);
            if (k != column_of_.end())
                field = texts_[static_cast<std::size_t>(k - column_of_.begin())];
        }
        if (!needs_quotes(field)) {
            output_.write(field);
            continue;
        }
        field_.clear();
        field_ += '"';
        for (char c : field) {
            if (c == '"') field_ += '"';
            field_ += c;
        }
        field_ += '"';
        output_.write(field_);
    }
    output_.write(line_end_);
}

bool AccountTable::finish() {
    wipe_string(field_);
    if (row_ == 0) refuse({}, "the input is empty: it needs a header row");
    return !failed_;
}

}  // namespace sipcrypt::cli
