#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace sipcrypt {

// Blowfish, 16 rounds, over 8-byte blocks whose two 32-bit halves are read
// little-endian, as the decrypting program reads them. Only the block
// cipher: the mode and the zero fill of a last block are ecb.h's.
//
// Life cycle: construct (tables allocated), key_schedule, any number of block
// operations, destroy (tables wiped, then freed). An object that has no key,
// or whose last key_schedule was refused, encrypts nothing.
class BlowfishCipher {
  public:
    static constexpr std::size_t block_size = 8;
    // Key bytes past this many do not affect the schedule.
    static constexpr std::size_t effective_key_length = 72;

    BlowfishCipher();
    ~BlowfishCipher();
    BlowfishCipher(const BlowfishCipher&) = delete;
    BlowfishCipher& operator=(const BlowfishCipher&) = delete;

    // Keys the cipher. An empty key is refused: the result is false and the
    // object is left unkeyed, even if it held an earlier key.
    [[nodiscard]] bool key_schedule(const std::uint8_t* key, std::size_t length);
    bool is_keyed() const noexcept { return keyed_; }

    // One block as two words, left and right. False, with the words left as
    // they were, when the object is unkeyed.
    bool encrypt_block(std::uint32_t& left, std::uint32_t& right) const noexcept;
    bool decrypt_block(std::uint32_t& left, std::uint32_t& right) const noexcept;

    // Whole blocks, each read as two little-endian words: `in` and `out`
    // the same size, a multiple of block_size, and either the same buffer
    // or apart. False, with `out` untouched, when the sizes do not fit or the
    // object is unkeyed. The stack they used is wiped before they return.
    [[nodiscard]] bool encrypt_blocks(std::span<const std::uint8_t> in,
                                      std::span<std::uint8_t> out) const noexcept;
    [[nodiscard]] bool decrypt_blocks(std::span<const std::uint8_t> in,
                                      std::span<std::uint8_t> out) const noexcept;

    struct Tables;

  private:
    struct TablesDeleter {
        void operator()(Tables* tables) const noexcept;
    };

    std::unique_ptr<Tables, TablesDeleter> tables_;
    bool keyed_ = false;
};

}  // namespace sipcrypt
