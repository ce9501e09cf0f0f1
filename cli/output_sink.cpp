#include "output_sink.h"

#include <unistd.h>

#include <cerrno>

namespace sipcrypt::cli {

namespace {
constexpr std::size_t buffer_capacity = 64 * 1024;
}

OutputSink::OutputSink(int fd) : fd_(fd) {
    buffer_.reserve(buffer_capacity);
}

OutputSink::~OutputSink() {
    flush();
}

void OutputSink::write(std::string_view text) {
    if (buffer_.size() + text.size() > buffer_capacity) flush();
    buffer_.insert(buffer_.end(), text.begin(), text.end());
}

void OutputSink::write_line(std::string_view text) {
    write(text);
    write("\n");
}

bool OutputSink::flush() {
    std::size_t done = 0;
    while (!failed_ && done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
        } else if (errno != EINTR) {
            failed_ = true;
            errno_ = errno;
        }
    }
    secure_wipe(buffer_.data(), buffer_.size());
    buffer_.clear();
    return !failed_;
}

}  // namespace sipcrypt::cli
