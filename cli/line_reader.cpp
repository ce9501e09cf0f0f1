#include "line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sipcrypt::cli {

namespace {

constexpr std::size_t chunk_size = 64 * 1024;

// The longest run of unread bytes that can still become an acceptable line:
// its content and the CR of a CRLF.
constexpr std::size_t longest_pending = LineReader::max_line_length + 1;

}  // namespace

LineReader::LineReader(int fd) : fd_(fd), buffer_(chunk_size + longest_pending) {}

bool LineReader::fill() {
    if (at_end_ || failed_) return false;
    if (start_ != 0) {
        std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
        end_ -= start_;
        start_ = 0;
    }
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (got > 0) {
            end_ += static_cast<std::size_t>(got);
            return true;
        }
        if (got == 0) {
            at_end_ = true;
            return false;
        }
        if (errno != EINTR) {
            failed_ = true;
            return false;
        }
    }
}

LineReader::Result LineReader::next(std::string_view& line) {
    bool too_long = false;
    std::size_t scanned = 0;  // bytes after start_ already known to hold no LF
    std::size_t begin = 0;
    std::size_t length = 0;
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
            if (failed_) return Result::error;
            if (start_ == end_ && !too_long) return Result::end;
            begin = start_;
            length = end_ - start_;
            start_ = end_;
            break;
        }
    }
    if (too_long) return Result::too_long;
    const char* text = buffer_.data() + begin;
    if (length > 0 && text[length - 1] == '\r') --length;
    if (length > max_line_length) return Result::too_long;
    line = std::string_view(text, length);
    return Result::line;
}

}  // namespace sipcrypt::cli
