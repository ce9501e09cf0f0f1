#include "account_table.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "cipher/secret_memory.h"
#include "core/outcome.h"
#include "csv_reader.h"
#include "diagnostics.h"
#include "output_sink.h"

namespace sipcrypt::cli {

namespace {

constexpr std::size_t no_column = static_cast<std::size_t>(-1);

bool needs_quotes(std::string_view field) {
    return field.find_first_of(",\"\r\n") != std::string_view::npos ||
           (!field.empty() && (field.front() == ' ' || field.back() == ' '));
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

std::string quoted(std::string_view name) {
    std::string text(1, '\'');
    text.append(name);
    text += '\'';
    return text;
}

// What the header holds, and why a needed name may not have matched.
std::string header_hints(const CsvRecord& header) {
    std::string found = "found ";
    constexpr std::size_t shown = 12;
    for (std::size_t i = 0; i < header.fields.size() && i < shown; ++i) {
        found += (i == 0 ? "" : ", ") + quoted(header.fields[i]);
    }
    if (header.fields.size() > shown) found += ", ...";
    std::string hints;
    const auto hint = [&](const std::string& text) { hints += "; " + text; };
    if (header.fields.size() == 1) {
        for (const char separator : {';', '\t', '|'}) {
            if (header.fields[0].find(separator) == std::string_view::npos) continue;
            hint(std::string("the header looks separated by ") +
                 (separator == '\t' ? "tabs" : quoted(std::string(1, separator))) +
                 ", but fields are separated by commas");
            break;
        }
    }
    for (const std::string_view field : header.fields) {
        for (const std::string_view name : AccountTable::encrypted_columns) {
            if (field == name) continue;
            if (trimmed(field) == name) {
                hint(quoted(field) + " has spaces around it; names must match exactly");
            } else if (same_ignoring_case(field, name)) {
                hint(quoted(field) + " differs from " + quoted(name) +
                     " in case; names must match exactly");
            }
        }
    }
    return found + hints;
}

}  // namespace

AccountTable::AccountTable(Codec& codec, OutputSink& output) : codec_(codec), output_(output) {}

void AccountTable::refuse(const std::string& where, std::string_view why) {
    report(where, why);
    failed_ = true;
}

bool AccountTable::read_header(const CsvRecord& record) {
    column_of_.fill(no_column);
    width_ = record.fields.size();
    for (std::size_t i = 0; i < record.fields.size(); ++i) {
        const std::string_view name = record.fields[i];
        for (std::size_t k = 0; k < encrypted_columns.size(); ++k) {
            if (name != encrypted_columns[k]) continue;
            if (column_of_[k] != no_column) {
                refuse("row 1", "the column " + quoted(name) + " appears twice");
            }
            column_of_[k] = i;
        }
    }
    std::string missing;
    std::size_t missing_count = 0;
    for (std::size_t k = 0; k < encrypted_columns.size(); ++k) {
        if (column_of_[k] != no_column) continue;
        missing += (missing_count++ == 0 ? "" : ", ") + quoted(encrypted_columns[k]);
    }
    if (missing_count > 0) {
        refuse("row 1", "the header has no column" + std::string(missing_count > 1 ? "s " : " ") +
                            missing + " (it needs login, password, proxy and outbound_proxy; " +
                            header_hints(record) + ")");
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
        if (const Outcome status = codec_.encrypt(cell, texts_[k]); !status.ok()) {
            refuse(where + ", column '" + std::string(encrypted_columns[k]) + "'",
                   describe(status));
            row_ok = false;
        }
    }
    if (row_ok) write(record, true);
}

void AccountTable::write(const CsvRecord& record, bool encrypted_cells) {
    if (record.line_end != CsvRecord::LineEnd::none) {
        line_end_ = record.line_end == CsvRecord::LineEnd::crlf ? "\r\n" : "\n";
    }
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
