#include "cipher/blowfish_cipher.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cipher/blowfish_tables.h"
#include "cipher/ecb.h"
#include "cipher/secret_memory.h"

namespace sipcrypt {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes from_hex(const std::string& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::uint32_t big_endian_word(const Bytes& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
           std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// The published vectors are big-endian; this cipher reads each half of a
// block little-endian.
Bytes reverse_halves(Bytes block) {
    std::reverse(block.begin(), block.begin() + 4);
    std::reverse(block.begin() + 4, block.begin() + 8);
    return block;
}

struct Vector {
    std::string section;
    Bytes key, clear, cipher;
};

std::vector<Vector> load_vectors() {
    std::ifstream file(SIPCRYPT_VECTORS_FILE);
    std::vector<Vector> vectors;
    std::string line, section;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        std::istringstream fields(line);
        std::string key, clear, cipher;
        fields >> key >> clear >> cipher;
        vectors.push_back({section, from_hex(key), from_hex(clear), from_hex(cipher)});
    }
    return vectors;
}

TEST(BlowfishCipher, InitialTablesAreTheDigitsOfPi) {
    EXPECT_EQ(blowfish_initial_subkeys[0], 0x243F6A88u);
    EXPECT_EQ(blowfish_initial_subkeys[1], 0x85A308D3u);
    EXPECT_EQ(blowfish_initial_subkeys[17], 0x8979FB1Bu);
    EXPECT_EQ(blowfish_initial_sboxes[0][0], 0xD1310BA6u);
    EXPECT_EQ(blowfish_initial_sboxes[3][255], 0x3AC372E6u);
}

TEST(BlowfishCipher, PublishedVectorsHoldForWordsAndBuffers) {
    const auto vectors = load_vectors();
    ASSERT_EQ(vectors.size(), 58u);
    for (const auto& v : vectors) {
        SCOPED_TRACE(v.section + " key of " + std::to_string(v.key.size()) + " bytes");
        BlowfishCipher cipher;
        ASSERT_TRUE(cipher.key_schedule(v.key.data(), v.key.size()));

        std::uint32_t left = big_endian_word(v.clear, 0), right = big_endian_word(v.clear, 4);
        ASSERT_TRUE(cipher.encrypt_block(left, right));
        EXPECT_EQ(left, big_endian_word(v.cipher, 0));
        EXPECT_EQ(right, big_endian_word(v.cipher, 4));
        ASSERT_TRUE(cipher.decrypt_block(left, right));
        EXPECT_EQ(left, big_endian_word(v.clear, 0));
        EXPECT_EQ(right, big_endian_word(v.clear, 4));

        const Bytes clear = reverse_halves(v.clear);
        Bytes out(8);
        EXPECT_EQ(ecb_encrypt(cipher, clear, out), 8u);
        EXPECT_EQ(out, reverse_halves(v.cipher));
        Bytes back(8);
        ASSERT_TRUE(ecb_decrypt(cipher, out, back));
        EXPECT_EQ(back, clear);
    }
}

TEST(BlowfishCipher, EmptyKeyIsRefusedAndNothingIsEncrypted) {
    BlowfishCipher cipher;
    const std::uint8_t key = 'k';
    std::array<std::uint8_t, 8> in{1, 2, 3, 4, 5, 6, 7, 8};
    std::array<std::uint8_t, 8> out{};
    std::uint32_t left = 1, right = 2;

    // Fresh, and after a refused re-key of a keyed object: both unkeyed.
    for (bool keyed_first : {false, true}) {
        if (keyed_first) {
            ASSERT_TRUE(cipher.key_schedule(&key, 1));
        }
        EXPECT_FALSE(cipher.key_schedule(&key, 0));
        EXPECT_FALSE(cipher.is_keyed());
        EXPECT_FALSE(cipher.encrypt_block(left, right));
        EXPECT_EQ(left, 1u);
        EXPECT_EQ(right, 2u);
        EXPECT_EQ(ecb_encrypt(cipher, in, out), 0u);
        EXPECT_FALSE(ecb_decrypt(cipher, in, out));
        EXPECT_EQ(out, (std::array<std::uint8_t, 8>{}));
    }
}

TEST(BlowfishCipher, OnlyTheFirst72KeyBytesCount) {
    std::mt19937 random(72);
    Bytes key(100);
    for (auto& b : key) b = static_cast<std::uint8_t>(random() | 0x80);
    const auto encrypt_zero = [](const Bytes& k) {
        BlowfishCipher cipher;
        EXPECT_TRUE(cipher.key_schedule(k.data(), k.size()));
        std::uint32_t left = 0, right = 0;
        EXPECT_TRUE(cipher.encrypt_block(left, right));
        return std::uint64_t{left} << 32 | right;
    };
    const auto base = encrypt_zero(key);
    Bytes longer = key;
    longer[72] ^= 1;
    longer.resize(90);
    EXPECT_EQ(encrypt_zero(longer), base);
    for (std::size_t i = 0; i < 72; ++i) {
        Bytes changed = key;
        changed[i] ^= 0x01;
        EXPECT_NE(encrypt_zero(changed), base) << "key byte " << i;
    }
    // A short key repeats over all 72 bytes.
    EXPECT_EQ(encrypt_zero(Bytes{0xF0}), encrypt_zero(Bytes(72, 0xF0)));
}

TEST(BlowfishCipher, BufferFillsTheLastBlockWithZerosAndLeavesEmptyOutputAlone) {
    BlowfishCipher cipher;
    const std::uint8_t key[] = {'k', 'e', 'y'};
    ASSERT_TRUE(cipher.key_schedule(key, sizeof key));
    const Bytes input = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};

    Bytes untouched(8, 0xEE);
    EXPECT_EQ(ecb_encrypt(cipher, std::span(input).first(0), untouched), 0u);
    EXPECT_EQ(untouched, Bytes(8, 0xEE));

    for (std::size_t count = 1; count <= input.size(); ++count) {
        SCOPED_TRACE(count);
        Bytes out(24, 0xEE);
        const std::size_t n = ecb_encrypt(cipher, std::span(input).first(count), out);
        ASSERT_EQ(n, padded_length(count));
        EXPECT_TRUE(std::all_of(out.begin() + n, out.end(), [](auto b) { return b == 0xEE; }));

        Bytes expected(input.begin(), input.begin() + count);
        expected.resize(n, 0);
        Bytes back(n);
        ASSERT_TRUE(ecb_decrypt(cipher, std::span(out).first(n), back));
        EXPECT_EQ(back, expected);

        // In place gives the same bytes.
        Bytes in_place = expected;
        (void)ecb_encrypt(cipher, std::span(in_place).first(count), in_place);
        EXPECT_EQ(in_place, Bytes(out.begin(), out.begin() + n));
    }
}

TEST(BlowfishCipher, DecryptRefusesPartialBlocksAndLeavesOutputAlone) {
    BlowfishCipher cipher;
    const std::uint8_t key[] = {'k'};
    ASSERT_TRUE(cipher.key_schedule(key, 1));
    Bytes in(16, 0x11), out(16, 0xEE);
    for (std::size_t count : {1u, 7u, 9u, 15u}) {
        EXPECT_FALSE(ecb_decrypt(cipher, std::span(in).first(count), out)) << count;
    }
    EXPECT_EQ(out, Bytes(16, 0xEE));
    EXPECT_TRUE(ecb_decrypt(cipher, std::span(in).first(0), out));
    EXPECT_EQ(out, Bytes(16, 0xEE));
}

struct ReleasedTables {
    std::size_t count = 0;
    std::size_t nonzero_bytes = 0;
};
ReleasedTables released;

TEST(BlowfishCipher, TablesAreWipedBeforeTheyAreFreed) {
    observe_secret_releases([](const void* tables, std::size_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(tables);
        ++released.count;
        released.nonzero_bytes += static_cast<std::size_t>(
            std::count_if(bytes, bytes + size, [](std::uint8_t b) { return b != 0; }));
        EXPECT_GE(size, 4168u);  // 18 subkeys and 1024 S-box words at least
    });
    {
        BlowfishCipher cipher;
        const std::uint8_t key[] = {'s', 'e', 'c', 'r', 'e', 't'};
        ASSERT_TRUE(cipher.key_schedule(key, sizeof key));
        std::uint32_t left = 0, right = 0;
        ASSERT_TRUE(cipher.encrypt_block(left, right));
    }
    observe_secret_releases(nullptr);
    EXPECT_EQ(released.count, 1u);
    EXPECT_EQ(released.nonzero_bytes, 0u);
}

// The buffer loops take several blocks at a time; each block must still come
// out as the one-block function gives it, at every length and alignment.
TEST(BlowfishCipher, BufferPathsAgreeWithOneBlockAtATime) {
    std::mt19937 random(200);
    const auto word = [](const std::uint8_t* p) {
        return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
               std::uint32_t{p[3]} << 24;
    };
    for (int trial = 0; trial < 4; ++trial) {
        Bytes key(1 + random() % 72);
        for (auto& b : key) b = static_cast<std::uint8_t>(random());
        BlowfishCipher cipher;
        ASSERT_TRUE(cipher.key_schedule(key.data(), key.size()));
        for (std::size_t count = 0; count <= 200; ++count) {
            SCOPED_TRACE(count);
            Bytes input(count + 1);  // offset by one byte: unaligned
            for (auto& b : input) b = static_cast<std::uint8_t>(random());
            const std::size_t n = padded_length(count);
            Bytes padded(input.begin() + 1, input.end());
            padded.resize(n, 0);

            Bytes expected(n);
            for (std::size_t o = 0; o < n; o += 8) {
                std::uint32_t left = word(&padded[o]), right = word(&padded[o + 4]);
                ASSERT_TRUE(cipher.encrypt_block(left, right));
                for (int i = 0; i < 4; ++i) {
                    expected[o + i] = static_cast<std::uint8_t>(left >> (8 * i));
                    expected[o + 4 + i] = static_cast<std::uint8_t>(right >> (8 * i));
                }
            }
            Bytes out(n + 1);
            ASSERT_EQ(
                ecb_encrypt(cipher, std::span(input).subspan(1, count), std::span(out).subspan(1)),
                n);
            EXPECT_EQ(Bytes(out.begin() + 1, out.end()), expected);

            Bytes back(n);
            ASSERT_TRUE(ecb_decrypt(cipher, expected, back));
            EXPECT_EQ(back, padded);
        }
    }
}

}  // namespace
}  // namespace sipcrypt
