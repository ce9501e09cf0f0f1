#pragma once

#include <cstddef>
#include <string_view>

#include "cipher/secure_wipe.h"

namespace sipcrypt::cli {

// Reads LF- or CRLF-ended lines from a file descriptor; a last line without
// LF counts. Memory stays bounded: a line longer than max_line_length is
// skipped and reported as too_long. The buffer is wiped when the reader dies,
// since lines may be clear values or passwords.
class LineReader {
  public:
    static constexpr std::size_t max_line_length = 64 * 1024;

    enum class Result { line, too_long, end, error };

    explicit LineReader(int fd);

    // On line, `line` views the line without its end, valid until the next call.
    // On error, errno tells why.
    Result next(std::string_view& line);

  private:
    // Reads more input behind what is buffered; false at end of input or on error.
    bool fill();

    int fd_;
    SecretBytes buffer_;
    std::size_t start_ = 0;
    std::size_t end_ = 0;
    bool at_end_ = false;
    bool failed_ = false;
};

}  // namespace sipcrypt::cli
