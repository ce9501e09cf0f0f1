// Secrets leave nothing behind: every block of secret memory is wiped before
// it is freed, and no clear bytes are left on the stack after decrypting.
#include "cipher/secret_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/parameter_encryption.h"

namespace sipcrypt {
namespace {

struct Released {
    std::size_t blocks = 0;
    std::size_t bytes = 0;
    std::size_t nonzero_bytes = 0;
};
Released released;

void count_release(const void* block, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(block);
    ++released.blocks;
    released.bytes += size;
    released.nonzero_bytes +=
        static_cast<std::size_t>(std::count_if(bytes, bytes + size, [](auto b) { return b != 0; }));
}

// Watches the releases of secret memory for as long as it lives.
struct WatchReleases {
    WatchReleases() {
        released = {};
        observe_secret_releases(count_release);
    }
    ~WatchReleases() { observe_secret_releases(nullptr); }
};

TEST(SecretMemory, EveryBlockIsWipedBeforeItIsFreed) {
    {
        const WatchReleases watch;
        SecretBytes secret;
        for (int i = 0; i < 300; ++i) secret.push_back('s');  // grows: old blocks go back
    }
    EXPECT_GE(released.blocks, 3u);
    EXPECT_GE(released.bytes, 300u);
    EXPECT_EQ(released.nonzero_bytes, 0u);

    // A decrypted value, and all the cipher and buffers behind it.
    {
        const WatchReleases watch;
        const ParameterCipher cipher("password");
        SecretBytes value;
        ASSERT_EQ(cipher.decrypt("FL/3uVtBnz4=", value), Code::done);
        EXPECT_EQ(std::string(value.begin(), value.end()), "12345678");
    }
    EXPECT_GE(released.blocks, 2u);  // the value and the tables at least
    EXPECT_EQ(released.nonzero_bytes, 0u);
}

TEST(SecretMemory, WipingAStringClearsItsWholeBuffer) {
    std::string text(200, 'x');
    text = "short now";  // the rest of the earlier text stays in the buffer
    const std::size_t capacity = text.capacity();
    const char* buffer = text.data();
    wipe_string(text);
    EXPECT_TRUE(text.empty());
    EXPECT_TRUE(std::all_of(buffer, buffer + capacity, [](char c) { return c == 0; }));
}

#if defined(__has_feature)  // clang
#if __has_feature(address_sanitizer)
#define SIPCRYPT_ADDRESS_SANITIZER
#endif
#elif defined(__SANITIZE_ADDRESS__)  // g++
#define SIPCRYPT_ADDRESS_SANITIZER
#endif
#ifdef SIPCRYPT_ADDRESS_SANITIZER
constexpr bool built_with_address_sanitizer = true;
#else
constexpr bool built_with_address_sanitizer = false;
#endif

using Block = std::array<std::uint8_t, 8>;

// Whether the stack below the caller still holds any of `blocks`, left there
// by calls that have returned. It reads memory it never wrote, on purpose.
[[gnu::noinline]] bool stack_still_holds(const std::vector<Block>& blocks) {
    std::uint8_t probe[48 * 1024];
    asm volatile("" : : "r"(probe) : "memory");  // whatever is there counts
    for (std::size_t at = 0; at + 8 <= sizeof probe; ++at) {
        for (const Block& block : blocks) {
            if (std::memcmp(probe + at, block.data(), 8) == 0) return true;
        }
    }
    return false;
}

// Leaves `value` on its stack, as a forgotten buffer would.
[[gnu::noinline]] void leave_on_the_stack(const std::string& value) {
    std::uint8_t forgotten[64];
    std::memcpy(forgotten, value.data(), std::min(value.size(), sizeof forgotten));
    asm volatile("" : : "r"(forgotten) : "memory");
}

// The clear bytes of a value pass through the stack: buffers and the
// registers the compiler spills there. None may be left when the work is
// done, encrypting or decrypting.
TEST(SecretMemory, NoClearBytesAreLeftOnTheStack) {
    if (built_with_address_sanitizer) {
        GTEST_SKIP() << "AddressSanitizer keeps frames where the probe cannot see them";
    }
    // Five blocks, none like another: the cipher's tail takes them in one pass.
    const std::string value = "block-1:block-2:block-3:block-4:block-5:";
    std::vector<Block> blocks(value.size() / 8);
    for (std::size_t i = 0; i < blocks.size(); ++i) std::memcpy(blocks[i].data(), &value[8 * i], 8);

    leave_on_the_stack(value);
    ASSERT_TRUE(stack_still_holds(blocks)) << "the probe cannot see the stack";

    // A swept stack to start from: the library's own copies (Wine's) go too.
    wipe_stack_below();
    ASSERT_FALSE(stack_still_holds(blocks));
    std::string text;
    {
        const ParameterCipher cipher("stack probe");
        ASSERT_EQ(cipher.encrypt(value, text), Code::done);
    }
    EXPECT_FALSE(stack_still_holds(blocks));
    {
        const ParameterCipher cipher("stack probe");
        SecretBytes back;
        ASSERT_EQ(cipher.decrypt(text, back), Code::done);
        ASSERT_EQ(std::string(back.begin(), back.end()), value);
    }
    EXPECT_FALSE(stack_still_holds(blocks));
}

}  // namespace
}  // namespace sipcrypt
