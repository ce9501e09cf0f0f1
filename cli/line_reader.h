#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "cipher/secret_memory.h"
#include "core/outcome.h"
#include "core/text_encoding.h"
#include "core/unicode.h"

namespace sipcrypt::cli {

// How every line is read, whatever its source (standard input, a file of
// values, a password file or descriptor): it ends at LF, a CR just before
// the LF is part of the line end, and a last line without LF counts (a CR at
// its end is no line end, and stays). A byte-order mark at the start is
// dropped: UTF-8's, or UTF-16's, and then the text is read as UTF-16, as
// Windows PowerShell 5.1 and cmd /u write it. A line longer than
// max_line_length is refused, not cut short. Lines may be clear values or
// passwords: buffers are wiped.
class LineReader {
  public:
    static constexpr std::size_t max_line_length = 64 * 1024;

    // `fallback`: the encoding of input that turns out not to be UTF-8 (on
    // Windows, the ANSI code page), while nothing before was anything but
    // ASCII; or none. With `first_line_only`, nothing past the first line's
    // end is read: the descriptor may carry values after a password.
    explicit LineReader(int fd, TextEncoding* fallback = nullptr, bool first_line_only = false);

    // The next line as UTF-8, without its end, valid until the next call;
    // none at the end of input. `end` is how it ended: "\n", "\r\n" or "".
    // A line that is too long gives line_too_long, and the next call goes
    // on after it (with first_line_only, at once: the input may never end).
    Outcome next(std::optional<std::string_view>& line, std::string_view& end);

  private:
    bool fill();
    std::string_view as_text(std::string_view line);

    int fd_;
    TextEncoding* fallback_;
    bool first_line_only_, in_fallback_ = false, non_ascii_seen_ = false;
    std::optional<Utf16Decoder> utf16_;
    SecretBytes buffer_, raw_, decoded_;
    std::size_t start_ = 0;
    std::size_t end_ = 0;
    bool started_ = false, at_end_ = false;
    Outcome error_;
};

// A typed line's CR dropped, and its length checked.
Outcome finish_typed_line(SecretBytes& line);

}  // namespace sipcrypt::cli
