#pragma once

#include <cstddef>
#include <string_view>

#include "cipher/secret_memory.h"

namespace sipcrypt {

// A conversion between UTF-8 and one other encoding. It only converts; what
// counts as exact is TextEncoding's to decide.
class Converter {
  public:
    static constexpr std::size_t npos = std::string_view::npos;

    virtual ~Converter() = default;

    // Each converts all of `in` from the initial state, flushing any final
    // shift, and returns npos; or the offset of the input byte at which it
    // stopped, with `out` holding what converted before it. `from_utf8`
    // takes well-formed UTF-8 only.
    virtual std::size_t from_utf8(std::string_view in, SecretBytes& out) = 0;
    virtual std::size_t to_utf8(std::string_view in, SecretBytes& out) = 0;

    // Whatever it converts comes back exactly, so no round trip need tell.
    virtual bool exact() const noexcept { return false; }
};

}  // namespace sipcrypt
