#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "cipher/secret_memory.h"

namespace sipcrypt {

// The platform's own conversion between UTF-8 and one other encoding: iconv
// on POSIX systems, the code-page functions on Windows. It only converts;
// what counts as exact is TextEncoding's to decide.
class Converter {
  public:
    static constexpr std::size_t npos = std::string_view::npos;

    // Null when the platform does not know the name.
    static std::unique_ptr<Converter> open(std::string_view name);
    ~Converter();
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Each converts all of `in` from the initial state, flushing any final
    // shift, and returns npos; or the offset of the input byte at which it
    // stopped, with `out` holding what converted before it.
    std::size_t from_utf8(std::string_view in, SecretBytes& out);
    std::size_t to_utf8(std::string_view in, SecretBytes& out);

    struct Tables;  // the platform's own state

  private:
    explicit Converter(std::unique_ptr<Tables> tables);
    std::unique_ptr<Tables> tables_;
};

// The encoding that the system's own programs read when none is named:
// UTF-8 on Linux, the ANSI code page on Windows.
std::string system_encoding_name();

// Where the names the converter knows are listed, for messages.
std::string_view encoding_names_hint();

}  // namespace sipcrypt
