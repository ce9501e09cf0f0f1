#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <system_error>

#include "cipher/secret_memory.h"

namespace sipcrypt::cli {

// How every line is read, whatever its source (standard input, a password
// file, a descriptor, the terminal): it ends at LF, a CR just before the LF
// is part of the line end, and a last line without LF counts (a CR at its
// end is no line end, and stays). A UTF-8
// byte-order mark at the start of the first line is dropped, since Windows
// editors put one there. A line longer than max_line_length is refused, not
// cut short. Lines may be clear values or passwords: buffers are wiped.
class LineReader {
  public:
    static constexpr std::size_t max_line_length = 64 * 1024;

    explicit LineReader(int fd);

    // The next line, without its end, valid until the next call; none at
    // the end of input. A line that is too long gives
    // InputError::line_too_long, and the next call goes on after it.
    std::error_code next(std::optional<std::string_view>& line);

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
// the password. `got` is false when the input was empty.
std::error_code read_first_line(int fd, SecretBytes& line, bool& got);

// For readers that take a line byte by byte up to its LF: the most bytes
// worth keeping before the line is known to be too long, and the rules
// applied to what was read (line end's CR, byte-order mark, length);
// `ended` says whether an LF ended it.
inline constexpr std::size_t longest_raw_line = LineReader::max_line_length + 4;
std::error_code finish_first_line(SecretBytes& line, bool ended = true);

}  // namespace sipcrypt::cli
