#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace sipcrypt {

// Standard Base64 (RFC 4648): "+" and "/", "=" fill, no line breaks.
class Base64Encoder {
  public:
    static constexpr std::size_t encoded_length(std::size_t n) noexcept { return (n + 2) / 3 * 4; }

    // Writes encoded_length(count) characters and a terminating zero: `out`
    // must hold encoded_length(count) + 1 characters.
    static void encode(const std::uint8_t* data, char* out, std::size_t count) noexcept;
};

// The strict inverse, for reading texts back: accepts exactly what the
// encoder can produce.
class Base64Decoder {
  public:
    // The most bytes that `text` can decode to.
    static constexpr std::size_t max_decoded_length(std::size_t text_length) noexcept {
        return text_length / 4 * 3;
    }

    // Decodes `text` into `out`, which must hold max_decoded_length(text.size())
    // bytes, and returns the number of bytes written. Refuses (nullopt) a
    // length that is not a multiple of 4, a character outside the alphabet,
    // "=" anywhere but as the fill of the last group, and fill bits that are
    // not zero. On refusal `out` may hold partial output.
    static std::optional<std::size_t> decode(std::string_view text, std::uint8_t* out) noexcept;
};

}  // namespace sipcrypt
