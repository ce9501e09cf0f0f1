#pragma once

#include <string_view>
#include <system_error>

#include "cipher/secret_memory.h"

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
    // The first failed write so far, if any.
    const std::error_code& error() const noexcept { return error_; }
    // Writes out what is buffered: true when everything arrived; else false,
    // with the failure reported as that of `where`.
    bool finish(std::string_view where);

  private:
    void flush();

    int fd_;
    SecretBytes buffer_;  // may hold decrypted values
    std::error_code error_;
};

}  // namespace sipcrypt::cli
