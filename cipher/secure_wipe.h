#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace sipcrypt {

// Overwrites memory with zeros in a way the optimiser may not drop, for
// secrets that are about to go out of scope or be freed.
void secure_wipe(void* data, std::size_t size) noexcept;

// Wipes a string's whole buffer, including bytes past its current size that
// earlier, longer contents left there, and empties it.
void wipe_string(std::string& text) noexcept;

// An allocator that wipes every block before giving it back, so that a
// container of secrets leaves nothing behind when it grows or dies.
template <class T>
struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) { return std::allocator<T>{}.allocate(n); }
    void deallocate(T* p, std::size_t n) noexcept {
        secure_wipe(p, n * sizeof(T));
        std::allocator<T>{}.deallocate(p, n);
    }

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
