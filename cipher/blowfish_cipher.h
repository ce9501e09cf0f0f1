#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace sipcrypt {

// Blowfish, 16 rounds, in electronic-codebook mode over 8-byte blocks whose
// two 32-bit halves are read little-endian. The byte order and the zero fill
// of the last block are what the decrypting program expects.
//
// Life cycle: construct (tables allocated), key_schedule, any number of block
// or buffer operations, destroy (tables wiped, then freed). An object that has
// no key, or whose last key_schedule was refused, encrypts nothing.
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

    static constexpr std::size_t padded_length(std::size_t n) noexcept {
        return (n + block_size - 1) / block_size * block_size;
    }

    // Encrypts `count` bytes, zero-filling the last block, into `output`,
    // which must hold padded_length(count) bytes. Input and output may be the
    // same buffer but must not otherwise overlap. Returns the bytes written:
    // padded_length(count), or 0 (output untouched) when count is 0 or the
    // object is unkeyed.
    std::size_t encrypt_buffer(const std::uint8_t* input, std::uint8_t* output,
                               std::size_t count) const noexcept;

    // Decrypts `count` bytes of whole blocks. Refuses, leaving the output
    // untouched, a count that is not a multiple of the block size and an
    // unkeyed object. Fill bytes are not removed.
    [[nodiscard]] bool decrypt_buffer(const std::uint8_t* input, std::uint8_t* output,
                                      std::size_t count) const noexcept;

    struct Tables;

  private:
    struct TablesDeleter {
        void operator()(Tables* tables) const noexcept;
    };

    std::unique_ptr<Tables, TablesDeleter> tables_;
    bool keyed_ = false;
};

}  // namespace sipcrypt
