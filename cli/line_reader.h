#pragma once

#include <cstddef>
#include <string_view>
#include <system_error>

#include "cipher/secure_wipe.h"

namespace sipcrypt::cli {

// How every line is read, whatever its source (standard input, a password
// file, a descriptor, the terminal): it ends at LF, a CR just before the LF
// is part of the line end, and a last line without LF counts. A UTF-8
// byte-order mark at the start of the first line is dropped, since Windows
// editors put one there. A line longer than max_line_length is refused, not
// cut short. Lines may be clear values or passwords: buffers are wiped.
class LineReader {
  public:
    static constexpr std::size_t max_line_length = 64 * 1024;

    enum class Result { line, too_long, end, error };

    explicit LineReader(int fd);

    // On line, `line` views the line without its end, valid until the next
    // call. On error, error() says why.
    Result next(std::string_view& line);
    const std::error_code& error() const noexcept { return error_; }

  private:
    // Reads more input behind what is buffered; false at end of input or on error.
    bool fill();

    int fd_;
    SecretBytes buffer_;
    std::size_t start_ = 0;
    std::size_t end_ = 0;
    bool at_end_ = false;
    bool first_line_ = true;
    std::error_code error_;
};

// The first line of `fd`, by the same rules, read one byte at a time so that
// nothing after its LF is consumed: the descriptor may carry values after
// the password. `line` holds the line on Result::line.
LineReader::Result read_first_line(int fd, SecretBytes& line, std::error_code& error);

// For readers that take a line byte by byte up to its LF: the most bytes
// worth keeping before the line is known to be too long, and the rules
// applied to what was read (line end's CR, byte-order mark, length).
inline constexpr std::size_t longest_raw_line = LineReader::max_line_length + 4;
LineReader::Result finish_first_line(SecretBytes& line);

}  // namespace sipcrypt::cli
