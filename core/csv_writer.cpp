#include "csv.h"

namespace sipcrypt::accounts {

using Form = CsvShape::Form;

// Text of the file's own, as it goes out: UTF-16 in the file's byte order,
// anything else as it is.
void CsvWriter::append(std::string_view text, SecretBytes& out) const {
    if (shape_.utf16()) {
        append_utf16(text, shape_.form == Form::utf16le ? ByteOrder::little : ByteOrder::big, out);
    } else {
        out.insert(out.end(), text.begin(), text.end());
    }
}

void CsvWriter::start(SecretBytes& out) {
    if (shape_.bom) {
        const std::string_view bom = shape_.form == Form::utf16le   ? "\xFF\xFE"
                                     : shape_.form == Form::utf16be ? "\xFE\xFF"
                                                                    : "\xEF\xBB\xBF";
        out.insert(out.end(), bom.begin(), bom.end());
    }
    append(shape_.preamble, out);
}

Outcome CsvWriter::record(const std::vector<std::string_view>& fields,
                          const std::vector<bool>& quoted, std::string_view line_end,
                          SecretBytes& out, std::size_t& column) {
    line_.clear();
    const char special[] = {shape_.separator, '"', '\r', '\n', '\0'};
    for (column = 0; column < fields.size(); ++column) {
        if (column > 0) line_.push_back(shape_.separator);
        std::string_view value = fields[column];
        if (shape_.form == Form::encoding && !value.empty()) {
            Outcome outcome = shape_.encoding->from_utf8(value, bytes_);
            if (!outcome.ok()) {
                outcome.code = Code::unwritable_character;
                return outcome;
            }
            value = {bytes_.data(), bytes_.size()};
        }
        if (shape_.backslash_escapes ||
            (!quoted[column] && value.find_first_of(special) == std::string_view::npos)) {
            line_.insert(line_.end(), value.begin(), value.end());
            continue;
        }
        line_.push_back('"');
        for (std::size_t at = 0; at < value.size();) {
            const std::size_t quote = std::min(value.find('"', at), value.size());
            line_.insert(line_.end(), value.begin() + static_cast<std::ptrdiff_t>(at),
                         value.begin() + static_cast<std::ptrdiff_t>(quote));
            if (quote < value.size()) line_.insert(line_.end(), 2, '"');
            at = quote + 1;
        }
        line_.push_back('"');
    }
    line_.insert(line_.end(), line_end.begin(), line_end.end());
    append({line_.data(), line_.size()}, out);
    return Code::done;
}

namespace {

constexpr std::string_view escapes = "\t\n\r\\";
constexpr std::string_view letters = "tnr\\";

}  // namespace

void unescape_backslashes(std::string_view field, SecretBytes& out) {
    out.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        const std::size_t k = i + 1 < field.size() && field[i] == '\\' ? letters.find(field[i + 1])
                                                                       : std::string_view::npos;
        out.push_back(k == std::string_view::npos ? field[i] : escapes[k]);
        if (k != std::string_view::npos) ++i;
    }
}

void escape_backslashes(std::string_view text, SecretBytes& out) {
    out.clear();
    for (const char c : text) {
        const std::size_t k = escapes.find(c);
        if (k != std::string_view::npos) out.push_back('\\');
        out.push_back(k == std::string_view::npos ? c : letters[k]);
    }
}

bool has_backslash_escape(std::string_view field) noexcept {
    for (std::size_t i = field.find('\\'); i != std::string_view::npos && i + 1 < field.size();
         i = field.find('\\', i + 2)) {
        if (letters.find(field[i + 1]) != std::string_view::npos) return true;
    }
    return false;
}

}  // namespace sipcrypt::accounts
