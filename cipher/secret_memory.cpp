#include "secret_memory.h"

#include <atomic>
#include <cstring>
#include <new>

namespace sipcrypt {

namespace {
std::atomic<SecretReleaseObserver> release_observer{nullptr};
}  // namespace

void secure_wipe(void* data, std::size_t size) noexcept {
    if (data == nullptr || size == 0) return;
    std::memset(data, 0, size);
    // The compiler must assume the zeros are read, so it cannot drop them as
    // stores to memory that is about to die. Works on every platform.
    asm volatile("" : : "r"(data) : "memory");
}

// Deeper than the cipher's loops reach, with room to spare.
constexpr std::size_t swept_stack = 4096;

[[gnu::noinline]] void wipe_stack_below() noexcept {
    unsigned char area[swept_stack];
    secure_wipe(area, sizeof area);
    asm volatile("" : : "r"(area) : "memory");
}

void* allocate_secret(std::size_t size, std::size_t alignment) {
    return ::operator new (size, std::align_val_t{alignment});
}

void release_secret(void* block, std::size_t size, std::size_t alignment) noexcept {
    if (block == nullptr) return;
    secure_wipe(block, size);
    if (const auto observer = release_observer.load()) observer(block, size);
    ::operator delete (block, std::align_val_t{alignment});
}

void observe_secret_releases(SecretReleaseObserver observer) noexcept {
    release_observer.store(observer);
}

}  // namespace sipcrypt
