#include "blowfish_cipher.h"

#include <cstring>
#include <new>
#include <utility>

#include "blowfish_tables.h"
#include "secret_memory.h"

namespace sipcrypt {

struct alignas(64) BlowfishCipher::Tables {
    std::uint32_t p[blowfish_subkey_count];
    std::uint32_t s[blowfish_sbox_count][blowfish_sbox_size];
};

namespace {

using Tables = BlowfishCipher::Tables;

// The rounds must inline into their callers, or every block's words make a
// round trip through memory.
#define SIPCRYPT_ALWAYS_INLINE [[gnu::always_inline]] inline

// Independent blocks processed together in the buffer loops: their table
// lookups overlap instead of waiting on one another. Eight measured faster
// than four here (see docs/performance.md).
constexpr std::size_t parallel_blocks = 8;
static_assert(parallel_blocks >= 4, "the tail of a buffer is handled in passes of up to four");

SIPCRYPT_ALWAYS_INLINE std::uint32_t round_function(const Tables& t, std::uint32_t x) noexcept {
    return ((t.s[0][x >> 24] + t.s[1][(x >> 16) & 0xFF]) ^ t.s[2][(x >> 8) & 0xFF]) +
           t.s[3][x & 0xFF];
}

// Subkey i for encryption, or its mirror for decryption.
template <bool Decrypt, std::size_t I>
constexpr std::size_t subkey = Decrypt ? 17 - I : I;

// Rounds I and I + 1 over the blocks K, written without the exchange: a and b
// trade roles each round. Each b is first XORed with its subkey, which keeps
// that load off the chain through the round function. The blocks are spelled
// out rather than looped over, so that every compiler interleaves them.
template <bool Decrypt, std::size_t I, std::size_t... K>
SIPCRYPT_ALWAYS_INLINE void round_pair(const Tables& t, std::uint32_t* a, std::uint32_t* b,
                                       std::index_sequence<K...>) noexcept {
    const std::uint32_t key_b = t.p[subkey<Decrypt, I>];
    const std::uint32_t key_a = t.p[subkey<Decrypt, I + 1>];
    ((b[K] = (b[K] ^ key_b) ^ round_function(t, a[K])), ...);
    ((a[K] = (a[K] ^ key_a) ^ round_function(t, b[K])), ...);
}

template <std::size_t N, bool Decrypt, std::size_t... Pair>
SIPCRYPT_ALWAYS_INLINE void all_rounds(const Tables& t, std::uint32_t* a, std::uint32_t* b,
                                       std::index_sequence<Pair...>) noexcept {
    (round_pair<Decrypt, 2 * Pair + 1>(t, a, b, std::make_index_sequence<N>{}), ...);
}

// N independent blocks through the 16 rounds, interleaved so that their
// table lookups overlap.
template <std::size_t N, bool Decrypt>
inline void crypt_blocks(const Tables& t, std::uint32_t* left, std::uint32_t* right) noexcept {
    std::uint32_t a[N];
    std::uint32_t b[N];
    for (std::size_t k = 0; k < N; ++k) {
        a[k] = left[k] ^ t.p[subkey<Decrypt, 0>];
        b[k] = right[k];
    }
    all_rounds<N, Decrypt>(t, a, b, std::make_index_sequence<8>{});
    for (std::size_t k = 0; k < N; ++k) {
        left[k] = b[k] ^ t.p[subkey<Decrypt, 17>];
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

// Whole blocks. The bulk goes eight blocks at a time; what is left goes
// through a local group in one pass of the narrowest width that holds it,
// since a pass over a few blocks costs hardly more than a pass over one.
// Never inlined: its frame, with the clear bytes it held, lies below its
// caller's, where wipe_stack_below reaches.
template <bool Decrypt>
[[gnu::noinline]] void crypt_whole_blocks(const Tables& t, const std::uint8_t* in,
                                          std::uint8_t* out, std::size_t count) noexcept {
    constexpr std::size_t block = BlowfishCipher::block_size;
    constexpr std::size_t group = parallel_blocks * block;
    std::size_t offset = 0;
    for (; offset + group <= count; offset += group) {
        crypt_bytes<parallel_blocks, Decrypt>(t, in + offset, out + offset);
    }
    const std::size_t rest = count - offset;
    if (rest == 0) return;

    std::uint8_t local[group] = {};
    std::memcpy(local, in + offset, rest);
    const std::size_t blocks = rest / block;
    if (blocks == 1) {
        crypt_bytes<1, Decrypt>(t, local, local);
    } else if (blocks == 2) {
        crypt_bytes<2, Decrypt>(t, local, local);
    } else if (blocks <= 4) {
        crypt_bytes<4, Decrypt>(t, local, local);
    } else {
        crypt_bytes<parallel_blocks, Decrypt>(t, local, local);
    }
    std::memcpy(out + offset, local, blocks * block);
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

// The tables hold the key schedule: secret memory.
void BlowfishCipher::TablesDeleter::operator()(Tables* tables) const noexcept {
    release_secret(tables, sizeof(Tables), alignof(Tables));
}

BlowfishCipher::BlowfishCipher()
    : tables_(new (allocate_secret(sizeof(Tables), alignof(Tables))) Tables{}) {}

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
    wipe_stack_below();
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

bool BlowfishCipher::encrypt_blocks(std::span<const std::uint8_t> in,
                                    std::span<std::uint8_t> out) const noexcept {
    if (!keyed_ || in.size() != out.size() || in.size() % block_size != 0) return false;
    if (in.empty()) return true;
    crypt_whole_blocks<false>(*tables_, in.data(), out.data(), in.size());
    wipe_stack_below();
    return true;
}

bool BlowfishCipher::decrypt_blocks(std::span<const std::uint8_t> in,
                                    std::span<std::uint8_t> out) const noexcept {
    if (!keyed_ || in.size() != out.size() || in.size() % block_size != 0) return false;
    if (in.empty()) return true;
    crypt_whole_blocks<true>(*tables_, in.data(), out.data(), in.size());
    wipe_stack_below();
    return true;
}

}  // namespace sipcrypt
