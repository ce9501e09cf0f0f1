#pragma once

#include <cstddef>
#include <string_view>

#include "cipher/secure_wipe.h"

namespace sipcrypt::cli {

// Buffered writes to a file descriptor. A failed write is remembered, so the
// caller can refuse to report success for output that did not arrive.
class OutputSink {
  public:
    explicit OutputSink(int fd);
    ~OutputSink();
    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;

    void write(std::string_view text);
    void write_line(std::string_view text);
    // True when everything written so far has reached the descriptor.
    bool flush();
    bool failed() const noexcept { return failed_; }
    int error_number() const noexcept { return errno_; }

  private:
    int fd_;
    SecretBytes buffer_;  // may hold decrypted values
    bool failed_ = false;
    int errno_ = 0;
};

}  // namespace sipcrypt::cli
