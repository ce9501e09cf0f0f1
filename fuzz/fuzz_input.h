#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sipcrypt::fuzz {

// Splits fuzz data into a first part, whose length is taken from its first
// byte, and the rest: a password and a text, say.
inline std::pair<std::string_view, std::string_view> split(const std::uint8_t* data,
                                                           std::size_t size) {
    if (size == 0) return {};
    const auto* text = reinterpret_cast<const char*>(data + 1);
    std::size_t first = data[0];
    if (first > size - 1) first = size - 1;
    return {{text, first}, {text + first, size - 1 - first}};
}

}  // namespace sipcrypt::fuzz

// Stops the fuzzer with a report: a property that must hold did not.
#define FUZZ_CHECK(condition)               \
    do {                                    \
        if (!(condition)) __builtin_trap(); \
    } while (false)
