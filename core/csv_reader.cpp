#include <algorithm>
#include <cstring>

#include "csv.h"
#include "utf16.h"

namespace sipcrypt::accounts {

namespace {

constexpr std::size_t chunk_size = 64 * 1024;
constexpr char separators[] = {',', ';', '\t'};

class CsvCategory : public std::error_category {
  public:
    const char* name() const noexcept override { return "csv"; }
    std::string message(int error) const override {
        switch (static_cast<CsvError>(error)) {
            case CsvError::broken_quoting:
                return "broken quoting: a quote inside an unquoted field, or text after a "
                       "closing quote";
            case CsvError::unclosed_quote:
                return "a quoted field is not closed before the end of the input";
            case CsvError::field_too_long:
                return "a field is longer than " + std::to_string(max_field_length) +
                       " bytes; is a quote left open?";
            case CsvError::lone_cr:
                return "a carriage return (CR) that is not part of a line end; lines end in LF "
                       "or CRLF";
            case CsvError::ambiguous_separator:
                return "the header names the columns whether it is read with commas, semicolons "
                       "or tabs between them; say which with --delimiter";
            case CsvError::not_text:
                return "the file holds bytes that are not text in its encoding";
        }
        return "unreadable CSV";
    }
};

// The field's first byte that is not UTF-8, as an outcome that names it.
Outcome utf8_outcome(std::string_view field) {
    const std::size_t bad = first_invalid_utf8(field);
    if (bad == std::string_view::npos) return ParameterStatus::done;
    Outcome outcome(ParameterStatus::not_utf8);
    outcome.byte = static_cast<std::uint8_t>(field[bad]);
    outcome.position = bad + 1;
    return outcome;
}

}  // namespace

const std::error_category& csv_category() noexcept {
    static const CsvCategory category;
    return category;
}

std::error_code make_error_code(CsvError error) noexcept {
    return {static_cast<int>(error), csv_category()};
}

CsvReader::CsvReader(ByteSource& source, CsvOptions options)
    : source_(source), options_(std::move(options)) {
    text_.reserve(2 * chunk_size);
}

bool CsvReader::fail(std::error_code error) {
    error_ = error;
    place_.row = row_ + 1;
    place_.line = line_;
    return false;
}

// More input behind what is left unparsed.
bool CsvReader::fill() {
    if (at_end_ || error_) return false;
    text_.erase(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
    chunk_.resize(chunk_size);
    std::size_t got = 0;
    if (const std::error_code error = source_.read(chunk_.data(), chunk_.size(), got)) {
        error_ = error;
        return false;
    }
    at_end_ = got == 0;
    feed({chunk_.data(), got});
    return true;
}

// Bytes read, onto what is to be parsed. UTF-16 is decoded on the way, with
// half a surrogate pair kept in UTF-8's form for it and an odd last byte as
// 0xFF, so that the record that holds them is refused as not text.
void CsvReader::feed(std::string_view bytes) {
    using Form = CsvShape::Form;
    if (shape_.form != Form::utf16le && shape_.form != Form::utf16be) {
        text_.insert(text_.end(), bytes.begin(), bytes.end());
        return;
    }
    const bool little = shape_.form == Form::utf16le;
    const std::size_t kept = text_.size();
    text_.resize(kept + bytes.size() * 2 + 8);  // no unit takes more than three bytes
    char* out = text_.data() + kept;
    const auto put = [&](char32_t c) { put_utf8(c, out); };
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size();) {
        if (!has_odd_byte_ && i + 1 >= bytes.size()) {
            odd_byte_ = b[i++];
            has_odd_byte_ = true;
            continue;
        }
        const unsigned first = has_odd_byte_ ? odd_byte_ : b[i++];
        const unsigned second = b[i++];
        has_odd_byte_ = false;
        const auto unit = static_cast<char16_t>(little ? first | second << 8 : first << 8 | second);
        if (unit < 0x80 && high_surrogate_ == 0) {  // most text
            *out++ = static_cast<char>(unit);
            continue;
        }
        if (high_surrogate_ != 0 && unit >= 0xDC00 && unit <= 0xDFFF) {
            put(0x10000 + ((high_surrogate_ - 0xD800) << 10) + (unit - 0xDC00));
            high_surrogate_ = 0;
            continue;
        }
        if (high_surrogate_ != 0) put(high_surrogate_);
        high_surrogate_ = unit >= 0xD800 && unit <= 0xDBFF ? unit : 0;
        if (high_surrogate_ == 0) put(unit);
    }
    if (at_end_) {
        if (high_surrogate_ != 0) put(high_surrogate_);
        if (has_odd_byte_) *out++ = '\xFF';
        high_surrogate_ = 0;
        has_odd_byte_ = false;
    }
    text_.resize(static_cast<std::size_t>(out - text_.data()));
}

// The byte-order mark, a first line "sep=;" or "#TYPE ...", and the
// separator.
bool CsvReader::start() {
    started_ = true;
    using Form = CsvShape::Form;
    // Enough of the start to see a byte-order mark, however it was split.
    SecretBytes head(3);
    std::size_t have = 0;
    while (have < head.size() && !at_end_) {
        std::size_t got = 0;
        if (const std::error_code error =
                source_.read(head.data() + have, head.size() - have, got)) {
            error_ = error;
            return false;
        }
        at_end_ = got == 0;
        have += got;
    }
    const std::string_view bytes(head.data(), have);
    shape_.bom = true;
    if (bytes == "\xEF\xBB\xBF") {
        feed({});
    } else if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        shape_.form = bytes[0] == '\xFF' ? Form::utf16le : Form::utf16be;
        feed(bytes.substr(2));
    } else {
        shape_.bom = false;
        if (options_.encoding != nullptr) {
            shape_.form = Form::encoding;
            shape_.encoding = options_.encoding;
        }
        feed(bytes);
    }
    // The whole first line, to see whether it is one of the lines that go
    // before a header.
    const auto line_end = [&] {
        return std::find(text_.begin() + static_cast<std::ptrdiff_t>(start_), text_.end(), '\n');
    };
    while (line_end() == text_.end() && text_.size() - start_ <= max_field_length && fill()) {
    }
    if (error_) return false;
    const std::string_view first(text_.data() + start_,
                                 static_cast<std::size_t>(line_end() - text_.begin()) - start_);
    const bool sep = first.substr(0, 4) == "sep=" &&
                     (first.size() == 5 || (first.size() == 6 && first[5] == '\r'));
    if (sep || first.substr(0, 5) == "#TYPE") {
        const std::size_t length = std::min(first.size() + 1, text_.size() - start_);
        shape_.preamble.assign(text_.data() + start_, length);
        start_ += length;
        ++line_;
        if (sep) shape_.separator = first[4];
    }
    if (options_.separator != 0) {
        shape_.separator = options_.separator;
        return true;
    }
    return sep || choose_separator();
}

// The separator with which the header holds every name asked for: never a
// guess, so two that do are refused; with none that does, the one that
// finds the most names, and the header is refused further on.
bool CsvReader::choose_separator() {
    for (;;) {
        std::size_t best = 0, complete = 0;
        bool more = false;
        for (const char candidate : separators) {
            std::size_t end = 0, lines = 0;
            std::string_view line_end;
            const Step step = parse(candidate, end, line_end, lines);
            error_.clear();
            if (step == Step::more) {
                more = true;
                break;
            }
            if (step == Step::failed) continue;
            std::size_t found = 0;
            for (const std::string& name : options_.header_names) {
                for (std::size_t i = 0; i < bounds_.size(); ++i) {
                    const std::size_t from = i == 0 ? 0 : bounds_[i - 1];
                    found += std::string_view(fields_.data() + from, bounds_[i] - from) == name;
                }
            }
            complete += found == options_.header_names.size();
            if (found > best) {
                best = found;
                shape_.separator = candidate;
            }
        }
        if (!more) return complete > 1 ? fail(CsvError::ambiguous_separator) : true;
        if (!fill() && error_) return false;
    }
}

// One record from text_ at start_: its fields, unquoted, into fields_.
CsvReader::Step CsvReader::parse(char separator, std::size_t& end, std::string_view& line_end,
                                 std::size_t& lines) {
    fields_.clear();
    bounds_.clear();
    quoted_.clear();
    lines = 0;
    const char* s = text_.data();
    const std::size_t n = text_.size();
    const auto broken = [&](CsvError why) {
        error_ = why;
        return Step::failed;
    };
    for (std::size_t i = start_;;) {
        const std::size_t field_start = fields_.size();
        const bool quoted = i < n && s[i] == '"';
        if (quoted) {
            for (++i;;) {
                const char* quote = static_cast<const char*>(std::memchr(s + i, '"', n - i));
                const std::size_t stop = quote == nullptr ? n : static_cast<std::size_t>(quote - s);
                lines += static_cast<std::size_t>(std::count(s + i, s + stop, '\n'));
                fields_.insert(fields_.end(), s + i, s + stop);
                if (fields_.size() - field_start > max_field_length) {
                    return broken(CsvError::field_too_long);
                }
                if (stop >= n) return at_end_ ? broken(CsvError::unclosed_quote) : Step::more;
                if (stop + 1 >= n && !at_end_) return Step::more;
                i = stop + 1;
                if (i >= n || s[i] != '"') break;
                fields_.push_back('"');
                ++i;
            }
            if (i < n && s[i] != separator && s[i] != '\r' && s[i] != '\n') {
                return broken(CsvError::broken_quoting);
            }
        } else {
            const std::size_t from = i;
            while (i < n && s[i] != separator && s[i] != '\r' && s[i] != '\n' && s[i] != '"') ++i;
            if (i < n && s[i] == '"') return broken(CsvError::broken_quoting);
            fields_.insert(fields_.end(), s + from, s + i);
            if (fields_.size() - field_start > max_field_length) {
                return broken(CsvError::field_too_long);
            }
            if (i >= n && !at_end_) return Step::more;
        }
        bounds_.push_back(fields_.size());
        quoted_.push_back(quoted);
        if (i >= n) {
            line_end = "";
            end = i;
            return Step::record;
        }
        if (s[i] == separator) {
            ++i;
            continue;
        }
        const bool crlf = s[i] == '\r';
        if (crlf) {
            if (i + 1 >= n && !at_end_) return Step::more;
            if (i + 1 >= n || s[i + 1] != '\n') return broken(CsvError::lone_cr);
            ++i;
        }
        line_end = crlf ? "\r\n" : "\n";
        end = i + 1;
        ++lines;
        return Step::record;
    }
}

// The record's fields as UTF-8. A file with no byte-order mark and no
// encoding named is UTF-8, or, where there is a fallback (Windows' ANSI code
// page) and nothing in it so far was anything but ASCII, in the fallback.
bool CsvReader::decode(CsvRecord& record) {
    record.fields.clear();
    record.quoted = quoted_;
    const auto field = [&](std::size_t i) {
        const std::size_t from = i == 0 ? 0 : bounds_[i - 1];
        return std::string_view(fields_.data() + from, bounds_[i] - from);
    };
    if (shape_.form != CsvShape::Form::encoding) {
        bool non_ascii = false;
        for (std::size_t i = 0; i < bounds_.size(); ++i) {
            const Outcome outcome = utf8_outcome(field(i));
            if (outcome.ok()) {
                const auto text = field(i);
                non_ascii = non_ascii || std::any_of(text.begin(), text.end(), [](char c) {
                                return static_cast<unsigned char>(c) >= 0x80;
                            });
                continue;
            }
            if (shape_.form != CsvShape::Form::utf8 || shape_.bom || options_.fallback == nullptr ||
                non_ascii || non_ascii_seen_) {
                return not_text(i, outcome);
            }
            shape_.form = CsvShape::Form::encoding;
            shape_.encoding = options_.fallback;
            return decode(record);
        }
        non_ascii_seen_ = non_ascii_seen_ || non_ascii;
        for (std::size_t i = 0; i < bounds_.size(); ++i) record.fields.push_back(field(i));
        return true;
    }
    decoded_.clear();
    std::vector<std::size_t> ends;
    SecretBytes text;
    for (std::size_t i = 0; i < bounds_.size(); ++i) {
        const Outcome outcome = shape_.encoding->to_utf8(field(i), text);
        if (!outcome.ok()) return not_text(i, outcome);
        decoded_.insert(decoded_.end(), text.begin(), text.end());
        ends.push_back(decoded_.size());
    }
    for (std::size_t i = 0; i < ends.size(); ++i) {
        const std::size_t from = i == 0 ? 0 : ends[i - 1];
        record.fields.emplace_back(decoded_.data() + from, ends[i] - from);
    }
    return true;
}

// The first field that is not text: where, and the byte.
bool CsvReader::not_text(std::size_t field, const Outcome& outcome) {
    if (place_.rows_not_text++ == 0) {
        place_.row = row_;
        place_.line = record_line_;
        place_.column = field + 1;
        place_.outcome = outcome;
    }
    return false;
}

bool CsvReader::next(CsvRecord& record) {
    if (error_ || (!started_ && !start())) return false;
    for (;;) {
        if (start_ == text_.size() && at_end_) break;
        std::size_t end = 0, lines = 0;
        std::string_view line_end;
        const Step step = parse(shape_.separator, end, line_end, lines);
        if (step == Step::more) {
            if (!fill() && error_) break;
            continue;
        }
        if (step == Step::failed) {
            if (place_.rows_not_text > 0) break;  // that says more
            return fail(error_);
        }
        ++row_;
        record_line_ = line_;
        line_ += lines;
        start_ = end;
        // A blank line counts as a row, as in a spreadsheet, and no more.
        if (bounds_.size() == 1 && bounds_[0] == 0 && !quoted_[0]) continue;
        // After a row that is not text, the rest are only counted.
        if (!decode(record) || place_.rows_not_text > 0) continue;
        record.line_end = line_end;
        record.row = row_;
        record.line = record_line_;
        return true;
    }
    if (place_.rows_not_text > 0) {
        error_ = CsvError::not_text;
        return false;
    }
    return false;
}

}  // namespace sipcrypt::accounts
