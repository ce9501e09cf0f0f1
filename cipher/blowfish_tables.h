#pragma once

#include <cstddef>
#include <cstdint>

namespace sipcrypt {

inline constexpr std::size_t blowfish_subkey_count = 18;
inline constexpr std::size_t blowfish_sbox_count = 4;
inline constexpr std::size_t blowfish_sbox_size = 256;

// The fractional hexadecimal digits of pi; every key schedule starts from
// these. Defined in the generated blowfish_tables.cpp.
extern const std::uint32_t blowfish_initial_subkeys[blowfish_subkey_count];
extern const std::uint32_t blowfish_initial_sboxes[blowfish_sbox_count][blowfish_sbox_size];

}  // namespace sipcrypt
