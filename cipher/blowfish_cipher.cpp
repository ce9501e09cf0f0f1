#include "blowfish_cipher.h"

#include <cstring>

#include "blowfish_tables.h"
#include "secure_wipe.h"

namespace sipcrypt {

struct alignas(64) BlowfishCipher::Tables {
    std::uint32_t p[blowfish_subkey_count];
    std::uint32_t s[blowfish_sbox_count][blowfish_sbox_size];
};

namespace {

using Tables = BlowfishCipher::Tables;

// Independent blocks processed together in the buffer loops: their table
// lookups overlap instead of waiting on one another.
constexpr std::size_t parallel_blocks = 4;

inline std::uint32_t round_function(const Tables& t, std::uint32_t x) noexcept {
    return ((t.s[0][x >> 24] + t.s[1][(x >> 16) & 0xFF]) ^ t.s[2][(x >> 8) & 0xFF]) +
           t.s[3][x & 0xFF];
}

// N blocks through the 16 rounds with the subkeys in the given order. The
// rounds are written without the exchange: a and b trade places each round.
template <std::size_t N, bool Decrypt>
inline void crypt_blocks(const Tables& t, std::uint32_t* left, std::uint32_t* right) noexcept {
    constexpr auto key = [](std::size_t i) { return Decrypt ? 17 - i : i; };
    std::uint32_t a[N];
    std::uint32_t b[N];
    for (std::size_t k = 0; k < N; ++k) {
        a[k] = left[k] ^ t.p[key(0)];
        b[k] = right[k];
    }
    for (std::size_t i = 1; i < 17; i += 2) {
        for (std::size_t k = 0; k < N; ++k) b[k] ^= round_function(t, a[k]) ^ t.p[key(i)];
        for (std::size_t k = 0; k < N; ++k) a[k] ^= round_function(t, b[k]) ^ t.p[key(i + 1)];
    }
    for (std::size_t k = 0; k < N; ++k) {
        left[k] = b[k] ^ t.p[key(17)];
        right[k] = a[k];
    }
}

inline std::uint32_t load_le32(const std::uint8_t* p) noexcept {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

inline void store_le32(std::uint8_t* p, std::uint32_t v) noexcept {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

template <std::size_t N, bool Decrypt>
inline void crypt_bytes(const Tables& t, const std::uint8_t* in, std::uint8_t* out) noexcept {
    std::uint32_t left[N];
    std::uint32_t right[N];
    for (std::size_t k = 0; k < N; ++k) {
        left[k] = load_le32(in + 8 * k);
        right[k] = load_le32(in + 8 * k + 4);
    }
    crypt_blocks<N, Decrypt>(t, left, right);
    for (std::size_t k = 0; k < N; ++k) {
        store_le32(out + 8 * k, left[k]);
        store_le32(out + 8 * k + 4, right[k]);
    }
}

// Whole blocks only; `count` is a multiple of the block size.
template <bool Decrypt>
void crypt_whole_blocks(const Tables& t, const std::uint8_t* in, std::uint8_t* out,
                        std::size_t count) noexcept {
    constexpr std::size_t stride = parallel_blocks * BlowfishCipher::block_size;
    std::size_t offset = 0;
    for (; offset + stride <= count; offset += stride) {
        crypt_bytes<parallel_blocks, Decrypt>(t, in + offset, out + offset);
    }
    for (; offset < count; offset += BlowfishCipher::block_size) {
        crypt_bytes<1, Decrypt>(t, in + offset, out + offset);
    }
}

inline std::uint32_t key_word(const std::uint8_t* key, std::size_t length, std::size_t& j) {
    std::uint32_t word = 0;
    for (int n = 0; n < 4; ++n) {
        word = word << 8 | key[j];
        j = j + 1 == length ? 0 : j + 1;
    }
    return word;
}

}  // namespace

void BlowfishCipher::TablesDeleter::operator()(Tables* tables) const noexcept {
    secure_wipe(tables, sizeof(Tables));
    delete tables;
}

BlowfishCipher::BlowfishCipher() : tables_(new Tables{}) {}

BlowfishCipher::~BlowfishCipher() = default;

bool BlowfishCipher::key_schedule(const std::uint8_t* key, std::size_t length) {
    Tables& t = *tables_;
    if (key == nullptr || length == 0) {
        keyed_ = false;
        secure_wipe(&t, sizeof(Tables));
        return false;
    }
    std::memcpy(t.s, blowfish_initial_sboxes, sizeof(t.s));
    std::size_t j = 0;
    for (std::size_t i = 0; i < blowfish_subkey_count; ++i) {
        t.p[i] = blowfish_initial_subkeys[i] ^ key_word(key, length, j);
    }
    std::uint32_t block[2] = {0, 0};
    for (std::size_t i = 0; i < blowfish_subkey_count; i += 2) {
        crypt_blocks<1, false>(t, &block[0], &block[1]);
        t.p[i] = block[0];
        t.p[i + 1] = block[1];
    }
    for (auto& box : t.s) {
        for (std::size_t i = 0; i < blowfish_sbox_size; i += 2) {
            crypt_blocks<1, false>(t, &block[0], &block[1]);
            box[i] = block[0];
            box[i + 1] = block[1];
        }
    }
    secure_wipe(block, sizeof(block));
    keyed_ = true;
    return true;
}

bool BlowfishCipher::encrypt_block(std::uint32_t& left, std::uint32_t& right) const noexcept {
    if (!keyed_) return false;
    crypt_blocks<1, false>(*tables_, &left, &right);
    return true;
}

bool BlowfishCipher::decrypt_block(std::uint32_t& left, std::uint32_t& right) const noexcept {
    if (!keyed_) return false;
    crypt_blocks<1, true>(*tables_, &left, &right);
    return true;
}

std::size_t BlowfishCipher::encrypt_buffer(const std::uint8_t* input, std::uint8_t* output,
                                           std::size_t count) const noexcept {
    if (!keyed_ || count == 0) return 0;
    const std::size_t whole = count - count % block_size;
    crypt_whole_blocks<false>(*tables_, input, output, whole);
    if (whole == count) return count;

    std::uint8_t last[block_size] = {};
    std::memcpy(last, input + whole, count - whole);
    crypt_bytes<1, false>(*tables_, last, output + whole);
    secure_wipe(last, sizeof(last));
    return whole + block_size;
}

bool BlowfishCipher::decrypt_buffer(const std::uint8_t* input, std::uint8_t* output,
                                    std::size_t count) const noexcept {
    if (!keyed_ || count % block_size != 0) return false;
    crypt_whole_blocks<true>(*tables_, input, output, count);
    return true;
}

}  // namespace sipcrypt
