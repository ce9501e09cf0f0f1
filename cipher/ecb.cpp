#include "ecb.h"
#include "blowfish_cipher.h"

#include <cstring>

namespace sipcrypt {

namespace {
// Whole groups go straight through; the rest, with the zero fill, through a
// local buffer, which holds only cipher bytes once it is done.
constexpr std::size_t group = 8 * BlowfishCipher::block_size;
}  // namespace

std::size_t ecb_encrypt(const BlowfishCipher& cipher, std::span<const std::uint8_t> in,
                        std::span<std::uint8_t> out) noexcept {
    const std::size_t n = padded_length(in.size());
    if (n == 0 || out.size() < n || !cipher.is_keyed()) return 0;
    const std::size_t whole = in.size() / group * group;
    if (whole != 0) (void)cipher.encrypt_blocks(in.first(whole), out.first(whole));
    const std::size_t rest = in.size() - whole;
    if (rest != 0) {
        std::uint8_t tail[group] = {};
        std::memcpy(tail, in.data() + whole, rest);
        const std::span<std::uint8_t> blocks(tail, padded_length(rest));
        (void)cipher.encrypt_blocks(blocks, blocks);
        std::memcpy(out.data() + whole, tail, blocks.size());
    }
    return n;
}

bool ecb_decrypt(const BlowfishCipher& cipher, std::span<const std::uint8_t> in,
                 std::span<std::uint8_t> out) noexcept {
    if (out.size() < in.size()) return false;
    return cipher.decrypt_blocks(in, out.first(in.size()));
}

}  // namespace sipcrypt
