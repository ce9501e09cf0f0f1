#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sipcrypt {

// Overwrites memory with zeros in a way the optimiser may not drop, for
// secrets that are about to go out of scope or be freed.
void secure_wipe(void* data, std::size_t size) noexcept;

// Overwrites the stack just below the caller, where the functions it called
// had their frames: the compiler may have left clear bytes there in spilled
// registers as well as in named buffers. Call it after calling whatever
// worked on secrets.
void wipe_stack_below() noexcept;

// While one lives, wipe_stack_below() waits; when it goes, the stack below
// its owner is wiped once, deeper: for work that calls the cipher for many
// values, which then sweeps once instead of once a value.
class StackSweepDeferred {
  public:
    StackSweepDeferred() noexcept;
    ~StackSweepDeferred();
    StackSweepDeferred(const StackSweepDeferred&) = delete;
    StackSweepDeferred& operator=(const StackSweepDeferred&) = delete;
};

// Wipes a string's whole buffer, including what past its current size
// earlier, longer contents left there, and empties it.
template <class Char>
void wipe_string(std::basic_string<Char>& text) noexcept {
    text.resize(text.capacity());  // never allocates: the capacity is already there
    secure_wipe(text.data(), text.size() * sizeof(Char));
    text.clear();
}

// Memory for secrets: key schedules, passwords, clear values. Every block is
// wiped on its way back, by release_secret and nothing else.
void* allocate_secret(std::size_t size, std::size_t alignment);
void release_secret(void* block, std::size_t size, std::size_t alignment) noexcept;

// A seam for tests: called with each block of secret memory after it is
// wiped and just before it is freed, so that a test can see that nothing of
// a secret is left. Null (the default) for none.
using SecretReleaseObserver = void (*)(const void* block, std::size_t size);
void observe_secret_releases(SecretReleaseObserver observer) noexcept;

// An allocator that takes its blocks from the secret memory, so that a
// container of secrets leaves nothing behind when it grows or dies.
template <class T>
struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        return static_cast<T*>(allocate_secret(n * sizeof(T), alignof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { release_secret(p, n * sizeof(T), alignof(T)); }

    template <class U>
    bool operator==(const WipingAllocator<U>&) const noexcept {
        return true;
    }
};

// Bytes of a password or a clear value. A vector rather than a string: a
// string keeps short contents inside the object, where the allocator cannot
// wipe them.
using SecretBytes = std::vector<char, WipingAllocator<char>>;

}  // namespace sipcrypt
