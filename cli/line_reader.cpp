#include "line_reader.h"

#include <algorithm>
#include <cstring>

#include "io.h"

namespace sipcrypt::cli {

namespace {

constexpr std::size_t chunk_size = 64 * 1024;
constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";

// The longest run of unread bytes that can still become an acceptable line:
// its content and the CR of a CRLF.
constexpr std::size_t longest_pending = LineReader::max_line_length + 1;

}  // namespace

LineReader::LineReader(int fd, TextEncoding* fallback, bool first_line_only)
    : fd_(fd),
      fallback_(fallback),
      first_line_only_(first_line_only),
      buffer_(longest_pending + Utf16Decoder::most_utf8(chunk_size)),
      raw_(chunk_size) {}

// More input behind what is buffered, decoded; false at the end of input or
// on a failure.
bool LineReader::fill() {
    if (at_end_ || !error_.ok()) return false;
    if (start_ != 0) {
        std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
        end_ -= start_;
        start_ = 0;
    }
    std::size_t got = 0, skip = 0;
    if (!started_) {
        // A byte at a time while what came may begin a byte-order mark, so
        // that it is seen however it came and nothing past it is read.
        started_ = true;
        for (std::size_t n = 1; n > 0; got += n) {
            const std::string_view head(raw_.data(), got);
            const bool maybe = got == 0 || (got < 3 && head == utf8_bom.substr(0, got)) ||
                               (got < 2 && (head == "\xFF" || head == "\xFE"));
            if (!maybe) break;
            if (error_ = read_some(fd_, raw_.data() + got, 1, n); !error_.ok()) return false;
        }
        const ByteOrderMark mark = byte_order_mark({raw_.data(), got});
        if (mark.utf16) utf16_.emplace(*mark.utf16);
        skip = mark.size;
    } else if (error_ = read_some(fd_, raw_.data(), first_line_only_ ? 1 : raw_.size(), got);
               !error_.ok()) {
        return false;
    }
    at_end_ = got == 0;
    const std::string_view bytes(raw_.data() + skip, got - skip);
    if (!utf16_) {
        std::memcpy(buffer_.data() + end_, bytes.data(), bytes.size());
        end_ += bytes.size();
        return !at_end_;
    }
    char* to = utf16_->decode(bytes, buffer_.data() + end_);
    if (at_end_ && !utf16_->finish(to)) error_ = Code::half_utf16_unit;
    end_ = static_cast<std::size_t>(to - buffer_.data());
    return !at_end_ && error_.ok();
}

// A line in UTF-8: as it came, or from the fallback encoding, which is taken
// for good at the first line that is not UTF-8 when no earlier line held
// anything but ASCII.
std::string_view LineReader::as_text(std::string_view line) {
    if (fallback_ == nullptr || utf16_) return line;
    const bool utf8 = is_valid_utf8(line);
    if (!in_fallback_ && utf8) {
        const auto* s = reinterpret_cast<const unsigned char*>(line.data());
        non_ascii_seen_ = non_ascii_seen_ || ascii_run_end(s, 0, line.size()) != line.size();
        return line;
    }
    if (!in_fallback_ && non_ascii_seen_) return line;  // not UTF-8 after all: refused further on
    in_fallback_ = true;
    // Not text in it either: as it came, for the checks to refuse.
    return fallback_->to_utf8(line, decoded_).ok()
               ? std::string_view(decoded_.data(), decoded_.size())
               : line;
}

Outcome LineReader::next(std::optional<std::string_view>& line, std::string_view& end) {
    line.reset();
    bool too_long = false;
    std::size_t scanned = 0;  // bytes after start_ already known to hold no LF
    std::size_t begin = 0, length = 0;
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
        if (scanned > longest_pending && first_line_only_) {
            return Outcome::over_limit(Code::line_too_long, max_line_length);
        }
        if (scanned > longest_pending) {
            // Forget what is buffered of this line but keep looking for its end.
            too_long = true;
            start_ = end_;
            scanned = 0;
        }
        if (!fill()) {
            if (!error_.ok()) return error_;
            if (start_ == end_ && !too_long) return Code::done;
            begin = start_;
            length = end_ - start_;
            start_ = end_;
            ended = false;
            break;
        }
    }
    if (too_long) return Outcome::over_limit(Code::line_too_long, max_line_length);
    // The CR of a CRLF goes. A CR that ends the input is no line end: it
    // stays, and the value is refused.
    std::string_view kept(buffer_.data() + begin, length);
    if (ended && !kept.empty() && kept.back() == '\r') kept.remove_suffix(1);
    if (kept.size() > max_line_length)
        return Outcome::over_limit(Code::line_too_long, max_line_length);
    end = !ended ? "" : kept.size() < length ? "\r\n" : "\n";
    line = as_text(kept);
    return Code::done;
}

Outcome finish_typed_line(SecretBytes& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() <= LineReader::max_line_length) return Code::done;
    line.clear();
    return Outcome::over_limit(Code::line_too_long, LineReader::max_line_length);
}

}  // namespace sipcrypt::cli
