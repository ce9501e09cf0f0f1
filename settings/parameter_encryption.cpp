#include "parameter_encryption.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace sipcrypt {

namespace {

const std::uint8_t* bytes_of(std::string_view text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

// Clear bytes live here only for the length of one call.
struct ClearBuffer {
    std::array<std::uint8_t, max_value_length> bytes;
    ~ClearBuffer() { secure_wipe(bytes.data(), bytes.size()); }
};

}  // namespace

ParameterStatus check_value(std::string_view value) noexcept {
    if (value.empty()) return ParameterStatus::empty_value;
    if (value.size() > max_value_length) return ParameterStatus::value_too_long;
    if (value.find('\0') != std::string_view::npos) return ParameterStatus::value_has_zero_byte;
    return ParameterStatus::done;
}

ParameterCipher::ParameterCipher(std::string_view password) {
    if (!password.empty()) {
        (void)cipher_.key_schedule(bytes_of(password), password.size());
    }
}

ParameterStatus ParameterCipher::encrypt(std::string_view value, std::string& output) const {
    if (!has_key()) return ParameterStatus::empty_password;
    if (const auto status = check_value(value); status != ParameterStatus::done) return status;

    // Holds cipher bytes only: encrypt_buffer never leaves clear bytes behind.
    std::array<std::uint8_t, max_value_length> encrypted;
    const std::size_t n = cipher_.encrypt_buffer(bytes_of(value), encrypted.data(), value.size());
    output.resize(Base64Encoder::encoded_length(n));
    // The encoder's terminator lands on the string's own terminating zero.
    Base64Encoder::encode(encrypted.data(), output.data(), n);
    return ParameterStatus::done;
}

ParameterStatus ParameterCipher::decrypt(std::string_view text, SecretBytes& output) const {
    if (!has_key()) return ParameterStatus::empty_password;
    if (text.empty()) return ParameterStatus::empty_value;
    if (text.size() > max_text_length) return ParameterStatus::text_too_long;

    ClearBuffer clear;
    const auto decoded = Base64Decoder::decode(text, clear.bytes.data());
    if (!decoded) return ParameterStatus::not_base64;
    const std::size_t n = *decoded;
    if (n % BlowfishCipher::block_size != 0) return ParameterStatus::not_whole_blocks;
    if (!cipher_.decrypt_buffer(clear.bytes.data(), clear.bytes.data(), n)) {
        return ParameterStatus::not_whole_blocks;
    }

    // The value ends at its first zero byte; what follows is fill, which is
    // all zeros and shorter than a block. An all-zero text has no value.
    const auto* begin = clear.bytes.data();
    const auto* end = begin + n;
    const auto* value_end = std::find(begin, end, std::uint8_t{0});
    const auto fill = static_cast<std::size_t>(end - value_end);
    if (value_end == begin || fill >= BlowfishCipher::block_size ||
        std::any_of(value_end, end, [](std::uint8_t b) { return b != 0; })) {
        return ParameterStatus::bad_fill;
    }
    output.assign(begin, value_end);
    return ParameterStatus::done;
}

ParameterStatus encrypt_parameter(std::string_view value, std::string& output,
                                  std::string_view password) {
    if (password.empty()) return ParameterStatus::empty_password;
    const ParameterCipher cipher(password);
    return cipher.encrypt(value, output);
}

ParameterStatus decrypt_parameter(std::string_view text, SecretBytes& output,
                                  std::string_view password) {
    if (password.empty()) return ParameterStatus::empty_password;
    const ParameterCipher cipher(password);
    return cipher.decrypt(text, output);
}

}  // namespace sipcrypt
