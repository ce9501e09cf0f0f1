#include "csv.h"
#include "utf16.h"

namespace sipcrypt::accounts {

using Form = CsvShape::Form;

// Well-formed UTF-8 as UTF-16, in the byte order of the file.
void CsvWriter::append_utf16(std::string_view text, SecretBytes& out) const {
    const bool little = shape_.form == Form::utf16le;
    const std::size_t kept = out.size();
    out.resize(kept + 2 * text.size());  // no character takes more bytes than in UTF-8, doubled
    char* to = out.data() + kept;
    const auto put = [&](char32_t unit) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        *to++ = little ? low : high;
        *to++ = little ? high : low;
    };
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        if (s[i] < 0x80) {
            put(s[i++]);
            continue;
        }
        const std::size_t length = utf8_length(s[i]);
        const char32_t c = utf8_character(s + i, length);
        i += length;
        if (c < 0x10000) {
            put(c);
        } else {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

void CsvWriter::start(SecretBytes& out) {
    if (shape_.bom) {
        const std::string_view bom = shape_.form == Form::utf16le   ? "\xFF\xFE"
                                     : shape_.form == Form::utf16be ? "\xFE\xFF"
                                                                    : "\xEF\xBB\xBF";
        out.insert(out.end(), bom.begin(), bom.end());
    }
    if (shape_.form == Form::utf16le || shape_.form == Form::utf16be) {
        append_utf16(shape_.preamble, out);
    } else {
        out.insert(out.end(), shape_.preamble.begin(), shape_.preamble.end());
    }
}

Outcome CsvWriter::record(const std::vector<std::string_view>& fields,
                          const std::vector<bool>& quoted, std::string_view line_end,
                          SecretBytes& out, std::size_t& field) {
    const bool utf16 = shape_.form == Form::utf16le || shape_.form == Form::utf16be;
    SecretBytes& line = utf16 ? text_ : out;
    if (utf16) text_.clear();
    const std::size_t mark = out.size();
    const char special[] = {shape_.separator, '"', '\r', '\n', '\0'};
    for (field = 0; field < fields.size(); ++field) {
        if (field > 0) line.push_back(shape_.separator);
        std::string_view value = fields[field];
        if (shape_.form == Form::encoding && !value.empty()) {
            const Outcome outcome = shape_.encoding->from_utf8(value, bytes_);
            if (!outcome.ok()) {
                out.resize(mark);
                return outcome;
            }
            value = {bytes_.data(), bytes_.size()};
        }
        if (!quoted[field] && value.find_first_of(special) == std::string_view::npos) {
            line.insert(line.end(), value.begin(), value.end());
            continue;
        }
        line.push_back('"');
        for (std::size_t at = 0; at < value.size();) {
            const std::size_t quote = std::min(value.find('"', at), value.size());
            line.insert(line.end(), value.begin() + static_cast<std::ptrdiff_t>(at),
                        value.begin() + static_cast<std::ptrdiff_t>(quote));
            if (quote < value.size()) line.insert(line.end(), 2, '"');
            at = quote + 1;
        }
        line.push_back('"');
    }
    line.insert(line.end(), line_end.begin(), line_end.end());
    if (utf16) append_utf16({text_.data(), text_.size()}, out);
    return ParameterStatus::done;
}

}  // namespace sipcrypt::accounts
