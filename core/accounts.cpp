#include "accounts.h"

#include <algorithm>

#include "escape.h"
#include "system.h"
#include "text_rules.h"
#include "unicode.h"

namespace sipcrypt::accounts {

namespace {

// Why a name in the header may not have matched the one it was meant to be.
void add_hints(std::string_view field, std::vector<Outcome>& hints) {
    Outcome hint;
    hint.value = escaped(field, true);
    if (hint.value != escaped(field)) {
        hint.code = Code::header_invisible;
        hints.push_back(hint);
        return;
    }
    for (const std::string_view name : columns) {
        const std::string_view bare = without_blanks(field, " \t");
        if (field == name || !same_ignoring_case(bare, name)) continue;
        if (bare.size() != field.size()) {
            hint.code = Code::header_spaces;
            hints.push_back(hint);
        }
        if (bare != name) {
            hint.code = Code::header_case;
            hint.name = name;
            hints.push_back(hint);
        }
    }
}

}  // namespace

AccountTable::AccountTable(const CsvShape& shape, bool decrypt, bool to_terminal)
    : shape_(shape),
      on_terminal_(shape),
      decrypt_(decrypt),
      to_terminal_(to_terminal),
      writer_(to_terminal ? on_terminal_ : shape) {
    // A terminal shows UTF-8: whatever the file's encoding, it gets escaped
    // UTF-8, never bytes that it would read otherwise.
    on_terminal_.form = CsvShape::Form::utf8;
    on_terminal_.bom = false;
    on_terminal_.preamble = escaped(on_terminal_.preamble);
    if (!on_terminal_.preamble.empty() && on_terminal_.preamble.back() != '\n') {
        on_terminal_.preamble += '\n';
    }
}

void AccountTable::note(Outcome outcome) {
    const bool told = std::any_of(notes_.begin(), notes_.end(), [&](const Outcome& other) {
        return other.code == outcome.code && other.name == outcome.name &&
               other.value == outcome.value;
    });
    if (!told) notes_.push_back(std::move(outcome));
}

// Only the first rows' problems are told: the rest are counted.
void AccountTable::refuse(const CsvRecord& record, Outcome outcome, std::size_t column) {
    if (record.row != last_refused_row_) ++refused_rows_;
    last_refused_row_ = record.row;
    if (refused_rows_ > rows_told) return;
    outcome.row = record.row;
    outcome.line = record.line;
    if (column != no_column) {
        outcome.column =
            column < header_.size() ? quoted_name(header_[column]) : std::to_string(column + 1);
    }
    refusals_.push_back(std::move(outcome));
}

Outcome AccountTable::read_header(const CsvRecord& header) {
    column_of_.fill(no_column);
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        header_.emplace_back(header.fields[i]);
        for (std::size_t k = 0; k < columns.size(); ++k) {
            if (header.fields[i] != columns[k]) continue;
            if (column_of_[k] != no_column) {
                Outcome twice(Code::duplicate_column);
                twice.name = quoted_name(columns[k]);
                refuse(header, twice);
            }
            column_of_[k] = i;
        }
    }
    Outcome missing(Code::missing_columns);
    for (std::size_t k = 0; k < columns.size(); ++k) {
        if (column_of_[k] != no_column) continue;
        missing.name += (missing.count++ == 0 ? "'" : ", '") + std::string(columns[k]) + "'";
    }
    if (missing.count > 0) {
        constexpr std::size_t shown = 12;
        for (std::size_t i = 0; i < header_.size() && i < shown; ++i) {
            missing.value += (i == 0 ? "" : ", ") + quoted_name(header_[i]);
        }
        if (header_.size() > shown) missing.value += ", ...";
        refuse(header, missing);
        std::vector<Outcome> hints;
        if (header.fields.size() == 1 && header.fields[0].find('|') != std::string_view::npos) {
            hints.emplace_back(Code::header_bars);
        }
        for (const std::string_view field : header.fields) add_hints(field, hints);
        for (Outcome& hint : hints) note(std::move(hint));
    }
    header_ok_ = refused_rows_ == 0;
    header_record_ = header;
    header_record_.fields.assign(header_.begin(), header_.end());
    if (header_ok_) return Code::done;
    return refusals_.front();
}

void AccountTable::start(ByteSink& out) {
    writer_.start(line_);
    out.write({line_.data(), line_.size()});
    line_.clear();
    fields_ = header_record_.fields;
    write_row(header_record_, out);
}

// The row in fields_, as the file has it (on a terminal, escaped).
void AccountTable::write_row(const CsvRecord& record, ByteSink& out) {
    shown_.resize(to_terminal_ ? fields_.size() : 0);
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        shown_[i].assign(fields_[i].begin(), fields_[i].end());
        if (!escape_for_terminal(shown_[i])) continue;
        note(Code::shown_escaped);
        fields_[i] = {shown_[i].data(), shown_[i].size()};
    }
    std::size_t column = 0;
    Outcome written = writer_.record(fields_, record.quoted, record.line_end, line_, column);
    if (!written.ok()) return refuse(record, std::move(written), column);
    out.write({line_.data(), line_.size()});
    secure_wipe(line_.data(), line_.size());
    line_.clear();
}

// One cell of the four: true when it was done.
bool AccountTable::transform(Codec& codec, std::size_t k, std::string_view cell,
                             const CsvRecord& record) {
    std::string_view input = cell;
    if (shape_.backslash_escapes) {
        unescape_backslashes(cell, cell_);
        input = {cell_.data(), cell_.size()};
    } else if (shape_.separator == '\t' && has_backslash_escape(cell)) {
        Outcome hint(Code::maybe_backslash_escapes);
        hint.name = quoted_name(header_[column_of_[k]]);
        note(std::move(hint));
    }
    Outcome status;
    std::string_view result;
    if (decrypt_) {
        ++cells_;
        SecretBytes& value = values_[k];
        status = codec.decrypt(input, value);
        if (status.ok()) status = check_value_text({value.data(), value.size()});
        if (status == Code::bad_fill || status == Code::not_in_encoding) ++cells_not_decrypted_;
        if (status.ok() && shape_.backslash_escapes) {
            escape_backslashes({value.data(), value.size()}, cell_);
            value.swap(cell_);
        }
        result = {value.data(), value.size()};
    } else {
        status = codec.encrypt(input, texts_[k]);
        result = texts_[k];
    }
    if (status == Code::not_ascii_character || status == Code::not_ascii_byte) {
        note(Outcome::quoting(Code::choose_an_encoding, settings_file_path()));
    }
    if (!status.ok()) {
        refuse(record, std::move(status), column_of_[k]);
        return false;
    }
    fields_[column_of_[k]] = result;
    return true;
}

void AccountTable::add(Codec& codec, const CsvRecord& record, ByteSink& out) {
    if (!header_ok_) return;
    const std::vector<std::string_view>& fields = record.fields;
    if (fields.size() != header_.size()) {
        Outcome wrong(Code::wrong_field_count);
        wrong.count = fields.size();
        wrong.limit = header_.size();
        return refuse(record, wrong);
    }
    // A second file's start, where two exports were joined into one.
    if (!fields.empty() && fields[0].substr(0, 3) == "\xEF\xBB\xBF") {
        return refuse(record, Code::byte_order_mark_inside);
    }
    const bool repeats_header = std::equal(fields.begin(), fields.end(), header_.begin());
    if (repeats_header) return refuse(record, Code::header_repeated);

    fields_ = fields;
    bool done = true;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const std::string_view cell = fields[column_of_[k]];
        if (!cell.empty()) done = transform(codec, k, cell, record) && done;
    }
    if (done && refused_rows_ == 0) write_row(record, out);
}

std::vector<Outcome> AccountTable::messages() const {
    std::vector<Outcome> all;
    const bool wrong_password = decrypt_ && cells_not_decrypted_ * 2 > cells_;
    if (wrong_password) {
        Outcome likely(Code::cell_not_decrypted);
        likely.count = cells_not_decrypted_;
        likely.limit = cells_;
        all.push_back(std::move(likely));
    }
    all.insert(all.end(), refusals_.begin(), refusals_.end());
    if (refused_rows_ > rows_told) {
        Outcome more(Code::more_rows_refused);
        more.count = refused_rows_ - rows_told;
        all.push_back(std::move(more));
    }
    for (const Outcome& note : notes_) {
        // Values shown escaped are worth a word only when they are shown; an
        // encoding, only when the password is likely right.
        if (note.code == Code::shown_escaped && !ok()) continue;
        if (note.code == Code::choose_an_encoding && wrong_password) continue;
        all.push_back(note);
    }
    return all;
}

}  // namespace sipcrypt::accounts
