#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "blowfish_cipher.h"

namespace sipcrypt {

// Electronic-codebook mode over a byte buffer, as the decrypting program
// reads it: each 8-byte block on its own, with no chaining value, and the
// last block filled with zero bytes, which nothing marks.

constexpr std::size_t padded_length(std::size_t n) noexcept {
    constexpr std::size_t block = BlowfishCipher::block_size;
    return (n + block - 1) / block * block;
}

// Encrypts `in`, its last block zero-filled, into the first
// padded_length(in.size()) bytes of `out`, and returns that count; or 0,
// with `out` untouched, when `in` is empty, `out` too small or the cipher
// unkeyed. `in` and `out` may be the same buffer but must not otherwise
// overlap.
std::size_t ecb_encrypt(const BlowfishCipher& cipher, std::span<const std::uint8_t> in,
                        std::span<std::uint8_t> out) noexcept;

// Decrypts whole blocks into the first in.size() bytes of `out`; the fill
// bytes stay. False, with `out` untouched, for a size that is not whole
// blocks, an `out` too small, or an unkeyed cipher.
[[nodiscard]] bool ecb_decrypt(const BlowfishCipher& cipher, std::span<const std::uint8_t> in,
                               std::span<std::uint8_t> out) noexcept;

}  // namespace sipcrypt
