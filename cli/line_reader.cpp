#include "line_reader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/utf16.h"
#include "input_error.h"
#include "io.h"

namespace sipcrypt::cli {

namespace {

constexpr std::size_t chunk_size = 64 * 1024;
constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";

// The longest run of unread bytes that can still become an acceptable line:
// a byte-order mark, its content and the CR of a CRLF.
constexpr std::size_t longest_pending = LineReader::max_line_length + utf8_bom.size() + 1;
static_assert(longest_raw_line >= longest_pending);

// Drops the CR of a CRLF and, from a first line, a byte-order mark. A CR
// that ends the input is no line end: it stays, and the value is refused.
std::string_view trimmed(std::string_view line, bool first, bool ended) {
    if (ended && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first && line.substr(0, utf8_bom.size()) == utf8_bom) line.remove_prefix(utf8_bom.size());
    return line;
}

}  // namespace

LineReader::LineReader(int fd) : fd_(fd), buffer_(chunk_size + longest_pending) {}

bool LineReader::fill() {
    if (at_end_ || error_) return false;
    if (start_ != 0) {
        std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
        end_ -= start_;
        start_ = 0;
    }
    std::size_t got = 0;
    error_ = read_some(fd_, buffer_.data() + end_, buffer_.size() - end_, got);
    if (error_) return false;
    if (got == 0) {
        at_end_ = true;
        return false;
    }
    end_ += got;
    return true;
}

std::error_code LineReader::next(std::optional<std::string_view>& line) {
    line.reset();
    bool too_long = false;
    std::size_t scanned = 0;  // bytes after start_ already known to hold no LF
    std::size_t begin = 0;
    std::size_t length = 0;
    bool ended = true;
    for (;;) {
        const char* base = buffer_.data();
        const void* lf = std::memchr(base + start_ + scanned, '\n', end_ - start_ - scanned);
        if (lf != nullptr) {
            begin = start_;
            length = static_cast<std::size_t>(static_cast<const char*>(lf) - base) - start_;
            start_ += length + 1;
            break;
        }
        scanned = end_ - start_;
        if (scanned > longest_pending) {
            // Forget what is buffered of this line but keep looking for its end.
            too_long = true;
            start_ = end_;
            scanned = 0;
        }
        if (!fill()) {
            if (error_) return error_;
            if (start_ == end_ && !too_long) return {};
            begin = start_;
            length = end_ - start_;
            start_ = end_;
            ended = false;
            break;
        }
    }
    const bool first = first_line_;
    first_line_ = false;
    if (too_long) return InputError::line_too_long;
    const std::string_view kept = trimmed({buffer_.data() + begin, length}, first, ended);
    if (kept.size() > max_line_length) return InputError::line_too_long;
    line = kept;
    return {};
}

std::error_code finish_first_line(SecretBytes& line, bool ended) {
    // Windows PowerShell 5.1 writes a password file in UTF-16, with its mark.
    const std::string_view mark(line.data(), std::min<std::size_t>(line.size(), 2));
    if (mark == "\xFF\xFE" || mark == "\xFE\xFF") {
        if (line.size() % 2 != 0) {
            line.clear();
            return InputError::half_utf16_unit;
        }
        std::u16string units;
        for (std::size_t i = 2; i + 1 < line.size(); i += 2) {
            const auto first = static_cast<unsigned char>(line[i]);
            const auto second = static_cast<unsigned char>(line[i + 1]);
            units += static_cast<char16_t>(mark[0] == '\xFF' ? first | second << 8
                                                             : first << 8 | second);
        }
        std::string utf8;
        utf16_to_utf8_as_is(units, utf8);
        line.assign(utf8.begin(), utf8.end());
        wipe_string(units);
        wipe_string(utf8);
    }
    const std::string_view kept = trimmed({line.data(), line.size()}, true, ended);
    if (kept.size() > LineReader::max_line_length) {
        line.clear();
        return InputError::line_too_long;
    }
    const auto skip = kept.data() - line.data();
    line.erase(line.begin() + skip + static_cast<std::ptrdiff_t>(kept.size()), line.end());
    line.erase(line.begin(), line.begin() + skip);
    return {};
}

std::error_code read_first_line(int fd, SecretBytes& line, bool& got) {
    line.clear();
    got = false;
    std::size_t unit = 1;  // 2 in UTF-16, where an LF is two bytes
    for (;;) {
        char c;
        std::size_t count = 0;
        if (const auto error = read_some(fd, &c, 1, count)) return error;
        if (count == 0) {
            if (line.empty()) return {};
            got = true;
            return finish_first_line(line, false);
        }
        line.push_back(c);
        const std::string_view end(line.data() + line.size() - std::min(line.size(), unit), unit);
        if (line.size() % unit == 0 && (end == "\n" || end == std::string_view("\n\0", 2) ||
                                        end == std::string_view("\0\n", 2))) {
            line.resize(line.size() - unit);
            break;
        }
        if (line.size() == 2 && (line[0] == '\xFF' || line[0] == '\xFE') &&
            (line[1] == '\xFE' || line[1] == '\xFF') && line[0] != line[1]) {
            unit = 2;
        }
        // Refused at once: the source may never end (/dev/zero).
        if (line.size() > unit * longest_raw_line) {
            line.clear();
            return InputError::line_too_long;
        }
    }
    got = true;
    return finish_first_line(line);
}

}  // namespace sipcrypt::cli
