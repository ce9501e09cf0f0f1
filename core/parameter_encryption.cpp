#include "parameter_encryption.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "cipher/base64.h"
#include "cipher/ecb.h"
#include "limits.h"
#include "outcome.h"

namespace sipcrypt {

namespace {

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Clear bytes live here only for the length of one call.
struct ClearBuffer {
    std::array<std::uint8_t, max_value_length> bytes;
    ~ClearBuffer() { secure_wipe(bytes.data(), bytes.size()); }
};

}  // namespace

Outcome check_value(std::string_view value) noexcept {
    if (value.empty()) return Code::empty_value;
    if (value.size() > max_value_length) {
        return Outcome::over_limit(Code::value_too_long, max_value_length);
    }
    if (value.find('\0') != std::string_view::npos) return Code::value_has_zero_byte;
    return Code::done;
}

ParameterCipher::ParameterCipher(std::string_view password) {
    if (!password.empty()) {
        (void)cipher_.key_schedule(bytes_of(password).data(), password.size());
    }
}

Outcome ParameterCipher::encrypt(std::string_view value, std::string& output) const {
    if (!has_key()) return Code::empty_password;
    if (const Outcome status = check_value(value); !status.ok()) return status;

    // Holds cipher bytes only: ECB leaves no clear bytes behind.
    std::array<std::uint8_t, max_value_length> encrypted;
    const std::size_t n = ecb_encrypt(cipher_, bytes_of(value), encrypted);
    output.resize(Base64Encoder::encoded_length(n));
    // The encoder's terminator lands on the string's own terminating zero.
    Base64Encoder::encode(encrypted.data(), output.data(), n);
    return Code::done;
}

void ParameterCipher::encrypt_many(std::span<std::uint8_t> values,
                                   std::span<const std::size_t> ends, std::string& output) const {
    (void)cipher_.encrypt_blocks(values, values);
    std::size_t start = 0;
    for (const std::size_t end : ends) {
        const std::size_t at = output.size(), length = Base64Encoder::encoded_length(end - start);
        output.resize(at + length + 1);
        // Its terminating zero is the NUL after the text.
        Base64Encoder::encode(values.data() + start, output.data() + at, end - start);
        start = end;
    }
}

Outcome ParameterCipher::decrypt(std::string_view text, SecretBytes& output) const {
    if (!has_key()) return Code::empty_password;
    if (text.empty()) return Code::empty_value;
    if (text.size() > max_text_length) {
        return Outcome::over_limit(Code::text_too_long, max_text_length);
    }

    ClearBuffer clear;
    const auto decoded = Base64Decoder::decode(text, clear.bytes.data());
    if (!decoded) return Code::not_base64;
    const std::span<std::uint8_t> blocks(clear.bytes.data(), *decoded);
    if (!ecb_decrypt(cipher_, blocks, blocks)) return Code::not_whole_blocks;

    // The value ends at its first zero byte; what follows is fill, which is
    // all zeros and shorter than a block. An all-zero text has no value.
    const auto value_end = std::find(blocks.begin(), blocks.end(), std::uint8_t{0});
    const auto fill = static_cast<std::size_t>(blocks.end() - value_end);
    if (value_end == blocks.begin() || fill >= BlowfishCipher::block_size ||
        std::any_of(value_end, blocks.end(), [](std::uint8_t b) { return b != 0; })) {
        return Code::bad_fill;
    }
    output.assign(blocks.begin(), value_end);
    return Code::done;
}

Outcome encrypt_parameter(std::string_view value, std::string& output, std::string_view password) {
    if (password.empty()) return Code::empty_password;
    const ParameterCipher cipher(password);
    return cipher.encrypt(value, output);
}

Outcome decrypt_parameter(std::string_view text, SecretBytes& output, std::string_view password) {
    if (password.empty()) return Code::empty_password;
    const ParameterCipher cipher(password);
    return cipher.decrypt(text, output);
}

}  // namespace sipcrypt
