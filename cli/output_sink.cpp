#include "output_sink.h"

#include <cstddef>

#include "diagnostics.h"
#include "io.h"

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

void OutputSink::flush() {
    if (!error_) error_ = write_all(fd_, {buffer_.data(), buffer_.size()});
    secure_wipe(buffer_.data(), buffer_.size());
    buffer_.clear();
}

bool OutputSink::finish(std::string_view where) {
    flush();
    if (error_) report(where, error_.message());
    return !error_;
}

}  // namespace sipcrypt::cli
