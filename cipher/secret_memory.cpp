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

namespace {

// Deeper than the cipher's loops reach, with room to spare; and, once for
// many values, deeper than everything that calls the cipher for one.
constexpr std::size_t swept_stack = 4096;
constexpr std::size_t deep_stack = 64 * 1024;
thread_local int sweeps_deferred = 0;

template <std::size_t Size>
[[gnu::noinline]] void sweep() noexcept {
    unsigned char area[Size];
    secure_wipe(area, sizeof area);
    asm volatile("" : : "r"(area) : "memory");
}

}  // namespace

void wipe_stack_below() noexcept {
    if (sweeps_deferred == 0) sweep<swept_stack>();
}

StackSweepDeferred::StackSweepDeferred() noexcept {
    ++sweeps_deferred;
}

StackSweepDeferred::~StackSweepDeferred() {
    if (--sweeps_deferred == 0) sweep<deep_stack>();
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
