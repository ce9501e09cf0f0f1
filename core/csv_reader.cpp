#include <algorithm>
#include <cstring>

#include "csv.h"
#include "escape.h"

namespace sipcrypt::accounts {

namespace {

constexpr std::size_t chunk_size = 64 * 1024;
constexpr char separators[] = {',', ';', '\t'};

bool starts(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::string quoted_name(std::string_view name) {
    std::string quoted(1, '\'');
    return quoted.append(escaped(name, true)).append(1, '\'');
}

namespace {}  // namespace

CsvReader::CsvReader(ByteSource& source, CsvOptions options)
    : source_(source), options_(std::move(options)) {
    shape_.backslash_escapes = options_.backslash_escapes;
}

// The first failure is the one told; the row is the one being read.
bool CsvReader::fail(Code code, std::size_t limit) {
    if (error_.ok()) {
        error_ = Outcome::over_limit(code, limit);
        error_.row = row_ + 1;
        error_.line = record_line_;
        if (code == Code::broken_quoting) error_.column = column_name(ends_.size());
    }
    return false;
}

// Bytes read, decoded onto what is left to parse: UTF-16 into UTF-8, all
// else as it is.
void CsvReader::append(std::string_view bytes) {
    if (!utf16_) {
        text_.insert(text_.end(), bytes.begin(), bytes.end());
        return;
    }
    const std::size_t kept = text_.size();
    text_.resize(kept + Utf16Decoder::most_utf8(bytes.size()));
    char* end = utf16_->decode(bytes, text_.data() + kept);
    if (at_end_) half_unit_ = !utf16_->finish(end);
    text_.resize(static_cast<std::size_t>(end - text_.data()));
}

// More input behind what is left unparsed; false at the end of the input or
// on a failure.
bool CsvReader::fill() {
    if (at_end_ || !error_.ok()) return false;
    text_.erase(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(pos_));
    pos_ = 0;
    chunk_.resize(chunk_size);
    std::size_t got = 0;
    if (Outcome read = source_.read(chunk_.data(), chunk_.size(), got); !read.ok()) {
        error_ = std::move(read);
        return false;
    }
    at_end_ = got == 0;
    append({chunk_.data(), got});
    return true;
}

// The byte-order mark, or the form the file's first bytes show: a header's
// names are ASCII, so UTF-16 holds a zero byte beside each of them, and
// UTF-32 three.
bool CsvReader::read_form() {
    SecretBytes head(8);
    std::size_t have = 0;
    while (have < head.size() && !at_end_) {
        std::size_t got = 0;
        if (Outcome read = source_.read(head.data() + have, head.size() - have, got); !read.ok()) {
            error_ = std::move(read);
            return false;
        }
        at_end_ = got == 0;
        have += got;
    }
    const std::string_view bytes(head.data(), have);
    using Form = CsvShape::Form;
    const auto zero = [&](std::size_t i) { return i < bytes.size() && bytes[i] == '\0'; };
    const bool utf32 = starts(bytes, std::string_view("\xFF\xFE\0\0", 4)) ||
                       starts(bytes, std::string_view("\0\0\xFE\xFF", 4)) ||
                       (have == 8 && !zero(0) && zero(1) && zero(2) && zero(3) && zero(5)) ||
                       (have == 8 && zero(0) && zero(1) && zero(2) && !zero(3) && zero(4));
    if (utf32) {
        error_ = Code::file_is_utf32;
        return false;
    }
    const ByteOrderMark mark = byte_order_mark(bytes);
    const std::optional<ByteOrder> utf16 = mark.size != 0 ? mark.utf16 : options_.utf16;
    shape_.bom = mark.size != 0;
    if (utf16) {
        shape_.form = *utf16 == ByteOrder::little ? Form::utf16le : Form::utf16be;
    } else if (!shape_.bom && options_.encoding != nullptr) {
        shape_.form = Form::encoding;
        shape_.encoding = options_.encoding;
    } else if (!shape_.bom && have >= 4 && zero(0) != zero(1) && zero(2) == zero(0) &&
               zero(3) == zero(1)) {
        shape_.form = zero(1) ? Form::utf16le : Form::utf16be;
    }
    if (shape_.utf16()) {
        utf16_.emplace(shape_.form == Form::utf16le ? ByteOrder::little : ByteOrder::big);
    }
    append(bytes.substr(mark.size));
    return true;
}

// A first line "sep=;" (Excel's) or "#TYPE ..." (Windows PowerShell's) goes
// before the header; it is kept, and counts as a line but not as a row.
bool CsvReader::read_preamble() {
    // Only a short first line can be one of these.
    constexpr std::size_t longest = 4096;
    std::size_t end = pos_;
    for (;;) {
        while (end < text_.size() && text_[end] != '\n') ++end;
        if (end < text_.size() || end - pos_ > longest) break;
        const std::size_t before = pos_;
        if (!fill()) break;
        end -= before - pos_;  // fill() moved the unparsed text to the front
    }
    if (!error_.ok()) return false;
    if (end == text_.size() && !at_end_) return true;  // longer than any such line
    const std::string_view first(text_.data() + pos_, end - pos_);
    const bool sep =
        starts(first, "sep=") && (first.size() == 5 || (first.size() == 6 && first[5] == '\r'));
    if (!sep && !starts(first, "#TYPE")) return true;
    const std::size_t length = std::min(first.size() + 1, text_.size() - pos_);
    shape_.preamble.assign(text_.data() + pos_, length);
    pos_ += length;
    ++line_;
    record_line_ = line_;
    if (sep) shape_.separator = first[4];
    return true;
}

// The separator: as the options or a sep= line say, which must agree; else
// the one with which the header holds every name asked for.
bool CsvReader::choose_separator() {
    const char given = options_.backslash_escapes ? '\t' : options_.separator;
    const bool from_preamble = !shape_.preamble.empty() && shape_.preamble[0] == 's';
    if (given != 0 && from_preamble && given != shape_.separator) {
        fail(Code::delimiter_disagrees);
        error_.name = given == '\t' ? "tab" : std::string(1, given);
        error_.value = shape_.separator == '\t' ? "tab" : std::string(1, shape_.separator);
        error_.row = 0;
        error_.line = 1;
        return false;
    }
    if (given != 0) shape_.separator = given;
    if (given != 0 || from_preamble) return true;

    // The whole header first: it ends at the first LF outside quotes.
    bool in_quotes = false;
    std::size_t scanned = pos_;
    for (;;) {
        const std::size_t n = text_.size();
        while (scanned < n && (in_quotes || text_[scanned] != '\n')) {
            if (text_[scanned] == '"') in_quotes = !in_quotes;
            ++scanned;
        }
        if (scanned < n || at_end_) break;
        if (n - pos_ > max_row_length) return fail(Code::row_too_long, max_row_length);
        const std::size_t before = pos_;
        if (!fill()) {
            if (!error_.ok()) return false;
            break;
        }
        scanned -= before - pos_;  // fill() moved the unparsed text to the front
    }
    std::size_t best = 0, complete = 0;
    const std::size_t start = pos_, line = line_;
    for (const char candidate : separators) {
        const Step step = parse(candidate);
        pos_ = start;
        line_ = line;
        state_ = State::field_start;
        record_open_ = false;
        if (step != Step::record) {
            error_ = Code::done;
            continue;
        }
        std::size_t found = 0;
        for (const std::string& name : options_.header_names) {
            for (std::size_t i = 0; i < ends_.size(); ++i) {
                const std::size_t from = i == 0 ? 0 : ends_[i - 1];
                found += std::string_view(fields_.data() + from, ends_[i] - from) == name;
            }
        }
        complete += found == options_.header_names.size();
        if (found > best) {
            best = found;
            shape_.separator = candidate;
        }
    }
    return complete > 1 ? fail(Code::ambiguous_separator) : true;
}

const Outcome& CsvReader::start() {
    if (started_) return error_;
    started_ = true;
    (void)(read_form() && read_preamble() && choose_separator());
    return error_;
}

// A column by its name in the header, once the header is read; else by its
// number.
std::string CsvReader::column_name(std::size_t index) const {
    return index < header_.size() ? header_[index] : std::to_string(index + 1);
}

bool CsvReader::end_field(bool quoted) {
    ends_.push_back(fields_.size());
    quoted_.push_back(quoted);
    return ends_.size() <= max_fields || fail(Code::too_many_fields, max_fields);
}

// Goes on with the record from where the text read so far ended.
CsvReader::Step CsvReader::parse(char separator) {
    if (!record_open_) {
        fields_.clear();
        ends_.clear();
        quoted_.clear();
        record_line_ = line_;
    }
    const bool quotes = !shape_.backslash_escapes;
    const char* s = text_.data();
    const std::size_t n = text_.size();
    std::size_t i = pos_;
    if (i < n) record_open_ = true;
    const auto take = [&](std::size_t from, std::size_t to) {
        fields_.insert(fields_.end(), s + from, s + to);
        const std::size_t field = fields_.size() - (ends_.empty() ? 0 : ends_.back());
        if (field > max_field_length) return fail(Code::field_too_long, max_field_length);
        return fields_.size() <= max_row_length || fail(Code::row_too_long, max_row_length);
    };
    const auto broken = [&](Code code) {
        fail(code);
        return Step::failed;
    };
    const auto record = [&](std::string_view line_end, std::size_t next) {
        line_end_ = line_end;
        ++line_;
        pos_ = next;
        state_ = State::field_start;
        record_open_ = false;
        return Step::record;
    };
    while (i < n) {
        switch (state_) {
            case State::field_start:
                if (quotes && s[i] == '"') {
                    state_ = State::quoted;
                    ++i;
                    continue;
                }
                state_ = State::unquoted;
                [[fallthrough]];
            case State::unquoted: {
                std::size_t j = i;
                while (j < n && s[j] != separator && s[j] != '\r' && s[j] != '\n' &&
                       (!quotes || s[j] != '"')) {
                    ++j;
                }
                if (!take(i, j)) return Step::failed;
                i = j;
                if (i == n) break;
                if (s[i] == '"') return broken(Code::broken_quoting);
                if (!end_field(false)) return Step::failed;
                if (s[i] == '\n') return record("\n", i + 1);
                state_ = s[i] == '\r' ? State::cr : State::field_start;
                ++i;
                continue;
            }
            case State::quoted: {
                const char* quote = static_cast<const char*>(std::memchr(s + i, '"', n - i));
                const std::size_t stop = quote == nullptr ? n : static_cast<std::size_t>(quote - s);
                line_ += static_cast<std::size_t>(std::count(s + i, s + stop, '\n'));
                if (!take(i, stop)) return Step::failed;
                i = stop;
                if (i == n) break;
                state_ = State::quote_in_quoted;
                ++i;
                continue;
            }
            case State::quote_in_quoted:
                if (s[i] == '"') {
                    if (!take(i, i + 1)) return Step::failed;
                    state_ = State::quoted;
                    ++i;
                    continue;
                }
                if (s[i] != separator && s[i] != '\r' && s[i] != '\n') {
                    return broken(Code::broken_quoting);
                }
                if (!end_field(true)) return Step::failed;
                if (s[i] == '\n') return record("\n", i + 1);
                state_ = s[i] == '\r' ? State::cr : State::field_start;
                ++i;
                continue;
            case State::cr:
                if (s[i] != '\n') return broken(Code::lone_cr);
                return record("\r\n", i + 1);
        }
    }
    pos_ = i;
    if (!at_end_) return Step::more;
    if (half_unit_) {
        error_ = Code::file_ends_in_half_utf16;
        return Step::failed;
    }
    if (!record_open_) return Step::end;
    switch (state_) {
        case State::quoted:
            return broken(Code::unclosed_quote);
        case State::cr:
            return broken(Code::lone_cr);
        case State::quote_in_quoted:
            if (!end_field(true)) return Step::failed;
            break;
        default:
            if (!end_field(false)) return Step::failed;
            break;
    }
    record_open_ = false;
    state_ = State::field_start;
    line_end_ = "";
    return Step::record;
}

// The record's fields as UTF-8. A file with no byte-order mark and no
// encoding named is UTF-8, or, where there is a fallback (Windows' ANSI code
// page) and nothing in it so far was anything but ASCII, in the fallback.
bool CsvReader::decode(CsvRecord& record) {
    record.fields.clear();
    record.quoted = quoted_;
    const auto field = [&](std::size_t i) {
        const std::size_t from = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(fields_.data() + from, ends_[i] - from);
    };
    const auto not_text = [&](std::size_t column, Outcome outcome) {
        if (rows_not_text_++ > 0) return false;
        not_text_ = std::move(outcome);
        not_text_.code = shape_.form == CsvShape::Form::encoding ? Code::file_not_in_encoding
                         : shape_.utf16()                        ? Code::file_not_utf16
                                                                 : Code::file_not_utf8;
        not_text_.row = row_;
        not_text_.line = record_line_;
        not_text_.column = column_name(column - 1);
        return false;
    };
    if (shape_.form != CsvShape::Form::encoding) {
        bool non_ascii = false;
        for (std::size_t i = 0; i < ends_.size(); ++i) {
            const std::string_view text = field(i);
            const std::size_t bad = first_invalid_utf8(text);
            if (bad == std::string_view::npos) {
                non_ascii =
                    non_ascii || ascii_run_end(reinterpret_cast<const unsigned char*>(text.data()),
                                               0, text.size()) != text.size();
                continue;
            }
            if (shape_.form != CsvShape::Form::utf8 || shape_.bom || options_.fallback == nullptr ||
                non_ascii || non_ascii_seen_) {
                return not_text(i + 1,
                                Outcome::at_byte(Code::file_not_utf8,
                                                 static_cast<std::uint8_t>(text[bad]), bad + 1));
            }
            shape_.form = CsvShape::Form::encoding;
            shape_.encoding = options_.fallback;
            return decode(record);
        }
        non_ascii_seen_ = non_ascii_seen_ || non_ascii;
        for (std::size_t i = 0; i < ends_.size(); ++i) record.fields.push_back(field(i));
        return true;
    }
    decoded_.clear();
    std::vector<std::size_t> ends;
    SecretBytes text;
    for (std::size_t i = 0; i < ends_.size(); ++i) {
        Outcome outcome = shape_.encoding->to_utf8(field(i), text);
        if (!outcome.ok()) return not_text(i + 1, std::move(outcome));
        decoded_.insert(decoded_.end(), text.begin(), text.end());
        ends.push_back(decoded_.size());
    }
    for (std::size_t i = 0; i < ends.size(); ++i) {
        const std::size_t from = i == 0 ? 0 : ends[i - 1];
        record.fields.emplace_back(decoded_.data() + from, ends[i] - from);
    }
    return true;
}

bool CsvReader::next(CsvRecord& record) {
    if (!start().ok()) return false;
    for (;;) {
        const Step step = parse(shape_.separator);
        if (step == Step::more) {
            if (!fill() && !error_.ok()) break;
            continue;
        }
        if (step == Step::end) break;
        if (step == Step::failed) break;
        ++row_;
        // A blank line counts as a row, as in a spreadsheet, and no more.
        if (ends_.size() == 1 && ends_[0] == 0 && !quoted_[0]) continue;
        // After a row that is not text, the rest are only counted.
        if (!decode(record) || rows_not_text_ > 0) continue;
        record.line_end = line_end_;
        record.row = row_;
        record.line = record_line_;
        if (header_.empty()) {
            for (const std::string_view name : record.fields) header_.push_back(quoted_name(name));
        }
        return true;
    }
    // Text that is not text says more than what came after it.
    if (rows_not_text_ > 0) {
        error_ = std::move(not_text_);
        error_.count = rows_not_text_;
    }
    return false;
}

}  // namespace sipcrypt::accounts
