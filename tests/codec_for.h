#pragma once

#include <memory>
#include <string_view>

#include "core/codec.h"

namespace sipcrypt {

// A codec for an encoding by name, for tests, fuzzers and benchmarks; null
// when the name cannot be used.
inline std::unique_ptr<Codec> codec_for(std::string_view name) {
    std::unique_ptr<TextEncoding> encoding;
    if (!TextEncoding::open(name, encoding).ok()) return nullptr;
    return std::make_unique<Codec>(std::move(encoding));
}

}  // namespace sipcrypt
