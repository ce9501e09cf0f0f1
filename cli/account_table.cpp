#include "account_table.h"

#include <algorithm>

#include "core/escape.h"
#include "core/text_rules.h"
#include "diagnostics.h"

namespace sipcrypt::cli {

namespace {

constexpr std::size_t no_column = static_cast<std::size_t>(-1);
constexpr std::size_t rows_reported = 10;

std::string quoted(std::string_view name) {
    std::string text(1, '\'');
    return text.append(escaped(name)).append(1, '\'');
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// What the header holds, and why a needed name may not have matched.
std::string header_hints(const std::vector<std::string_view>& header) {
    std::string found = "found ";
    constexpr std::size_t shown = 12;
    for (std::size_t i = 0; i < header.size() && i < shown; ++i) {
        found += (i == 0 ? "" : ", ") + quoted(header[i]);
    }
    if (header.size() > shown) found += ", ...";
    if (header.size() == 1 && header[0].find('|') != std::string_view::npos) {
        found +=
            "; the header looks separated by '|', but fields are separated by commas, "
            "semicolons or tabs";
    }
    for (const std::string_view field : header) {
        for (const std::string_view name : AccountTable::columns) {
            if (field == name) continue;
            if (trimmed(field) == name) {
                found += "; " + quoted(field) + " has spaces around it; names must match exactly";
            } else if (same_ignoring_case(field, name)) {
                found += "; " + quoted(field) + " differs from " + quoted(name) +
                         " in case; names must match exactly";
            }
        }
    }
    return found;
}

}  // namespace

std::string row_label(std::size_t row, std::size_t line) {
    return "row " + std::to_string(row) +
           (line == row ? "" : " (line " + std::to_string(line) + ")");
}

AccountTable::AccountTable(Codec& codec, bool decrypt, const accounts::CsvShape& shape,
                           OutputSink& output, bool to_terminal)
    : codec_(codec),
      decrypt_(decrypt),
      writer_(shape),
      output_(output),
      to_terminal_(to_terminal) {}

std::string AccountTable::column_name(std::size_t column) const {
    return column == 0 || column > header_.size() ? std::to_string(column)
                                                  : quoted(header_[column - 1]);
}

// Only the first rows' problems are told: the rest are counted.
void AccountTable::refuse(const accounts::CsvRecord& record, const std::string& column,
                          const std::string& why) {
    failed_ = true;
    if (record.row != last_refused_row_) ++refused_rows_;
    last_refused_row_ = record.row;
    if (refused_rows_ > rows_reported) return;
    report(row_label(record.row, record.line) + (column.empty() ? "" : ", column " + column), why);
}

bool AccountTable::read_header(const accounts::CsvRecord& record) {
    column_of_.fill(no_column);
    for (std::size_t i = 0; i < record.fields.size(); ++i) {
        header_.emplace_back(record.fields[i]);
        for (std::size_t k = 0; k < columns.size(); ++k) {
            if (record.fields[i] != columns[k]) continue;
            if (column_of_[k] != no_column) {
                refuse(record, {}, "the column " + quoted(columns[k]) + " appears twice");
            }
            column_of_[k] = i;
        }
    }
    std::string missing;
    std::size_t missing_count = 0;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        if (column_of_[k] != no_column) continue;
        missing += (missing_count++ == 0 ? "" : ", ") + quoted(columns[k]);
    }
    if (missing_count > 0) {
        refuse(record, {},
               "the header has no column" + std::string(missing_count > 1 ? "s " : " ") + missing +
                   " (it needs login, password, proxy and outbound_proxy; " +
                   header_hints(record.fields) + ")");
    }
    header_ok_ = !failed_;
    if (!header_ok_) return false;
    line_.clear();
    writer_.start(line_);
    return true;
}

void AccountTable::add(const accounts::CsvRecord& record) {
    if (++rows_ == 1 && !read_header(record)) return;
    if (!record.line_end.empty()) line_end_ = record.line_end;
    if (!header_ok_) return;  // refused already: the rows cannot be read without it
    if (record.fields.size() != header_.size()) {
        refuse(record, {},
               "it has " + std::to_string(record.fields.size()) +
                   (record.fields.size() == 1 ? " field" : " fields") + " where the header has " +
                   std::to_string(header_.size()));
        return;
    }
    fields_ = record.fields;
    for (std::size_t k = 0; rows_ > 1 && k < columns.size(); ++k) {
        const std::string_view cell = record.fields[column_of_[k]];
        if (cell.empty()) continue;
        Outcome status = ParameterStatus::done;
        if (decrypt_) {
            status = codec_.decrypt(cell, values_[k]);
            if (status.ok()) status = check_value_text({values_[k].data(), values_[k].size()});
            if (status.ok()) fields_[column_of_[k]] = {values_[k].data(), values_[k].size()};
        } else {
            status = codec_.encrypt(cell, texts_[k]);
            if (status.ok()) fields_[column_of_[k]] = texts_[k];
        }
        if (!status.ok()) {
            refuse(record, quoted(columns[k]), describe(status));
        }
    }
    if (failed_) return;
    shown_.resize(to_terminal_ ? fields_.size() : 0);
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        shown_[i].assign(fields_[i].begin(), fields_[i].end());
        if (!escape_for_terminal(shown_[i])) continue;
        escaped_ = true;
        fields_[i] = {shown_[i].data(), shown_[i].size()};
    }
    std::size_t field = 0;
    const Outcome written = writer_.record(fields_, record.quoted, line_end_, line_, field);
    if (!written.ok()) {
        refuse(record, column_name(field + 1),
               describe(written) + ", in which the file is written");
        return;
    }
    output_.write({line_.data(), line_.size()});
    secure_wipe(line_.data(), line_.size());
    line_.clear();
}

bool AccountTable::finish() {
    if (rows_ == 0) report({}, "the input is empty: it needs a header row");
    if (refused_rows_ > rows_reported) {
        report({},
               "... and " + std::to_string(refused_rows_ - rows_reported) + " more rows refused");
    }
    for (auto& text : texts_) wipe_string(text);
    if (escaped_ && !failed_) warn(escaped_on_terminal);
    return rows_ > 0 && !failed_;
}

}  // namespace sipcrypt::cli
