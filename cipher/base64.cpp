#include "base64.h"

#include <array>

namespace sipcrypt {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::uint8_t not_in_alphabet = 0xFF;

constexpr std::array<std::uint8_t, 256> make_reverse_alphabet() {
    std::array<std::uint8_t, 256> reverse{};
    reverse.fill(not_in_alphabet);
    for (std::uint8_t i = 0; i < 64; ++i) {
        reverse[static_cast<unsigned char>(alphabet[i])] = i;
    }
    return reverse;
}

constexpr std::array<std::uint8_t, 256> reverse_alphabet = make_reverse_alphabet();

inline std::uint8_t sextet(char c) noexcept {
    return reverse_alphabet[static_cast<unsigned char>(c)];
}

}  // namespace

void Base64Encoder::encode(const std::uint8_t* data, char* out, std::size_t count) noexcept {
    std::size_t i = 0;
    for (; i + 3 <= count; i += 3) {
        const std::uint32_t group =
            std::uint32_t{data[i]} << 16 | std::uint32_t{data[i + 1]} << 8 | data[i + 2];
        out[0] = alphabet[group >> 18];
        out[1] = alphabet[(group >> 12) & 0x3F];
        out[2] = alphabet[(group >> 6) & 0x3F];
        out[3] = alphabet[group & 0x3F];
        out += 4;
    }
    const std::size_t rest = count - i;
    if (rest != 0) {
        const std::uint32_t group =
            std::uint32_t{data[i]} << 16 | (rest == 2 ? std::uint32_t{data[i + 1]} << 8 : 0);
        out[0] = alphabet[group >> 18];
        out[1] = alphabet[(group >> 12) & 0x3F];
        out[2] = rest == 2 ? alphabet[(group >> 6) & 0x3F] : '=';
        out[3] = '=';
        out += 4;
    }
    *out = '\0';
}

std::optional<std::size_t> Base64Decoder::decode(std::string_view text,
                                                 std::uint8_t* out) noexcept {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t written = 0;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last_group = i + 4 == text.size();
        std::size_t fill = 0;
        if (last_group) {
            fill = text[i + 3] != '=' ? 0 : text[i + 2] != '=' ? 1 : 2;
        }
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 4 - fill; ++k) {
            const std::uint8_t bits = sextet(text[i + k]);
            if (bits == not_in_alphabet) return std::nullopt;
            group |= std::uint32_t{bits} << (18 - 6 * k);
        }
        // A fill that leaves bits set would decode two texts to one value.
        if (fill == 1 && (group & 0xFF) != 0) return std::nullopt;
        if (fill == 2 && (group & 0xFFFF) != 0) return std::nullopt;
        out[written++] = static_cast<std::uint8_t>(group >> 16);
        if (fill < 2) out[written++] = static_cast<std::uint8_t>(group >> 8);
        if (fill < 1) out[written++] = static_cast<std::uint8_t>(group);
    }
    return written;
}

}  // namespace sipcrypt
