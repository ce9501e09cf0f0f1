#include "text_encoding.h"
#include "converter.h"
#include "outcome.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace sipcrypt {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool names_utf8(std::string_view name) {
    std::string upper;
    for (char c : name) {
        if (c != '-' && c != '_') upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    return upper == "UTF8";
}

using Direction = std::size_t (Converter::*)(std::string_view, SecretBytes&);

std::string_view view(const SecretBytes& bytes) {
    return {bytes.data(), bytes.size()};
}

// Converts `in` one way and back, and returns the offset of the first byte of
// `in` that does not come back as it went, or npos; `out` holds the result
// of the first conversion. What stops the first conversion is found, but so
// is anything before it that the way back alone shows: a character dropped
// or mapped one way only.
std::size_t round_trip(Converter& converter, Direction there, Direction back, std::string_view in,
                       SecretBytes& out) {
    const std::size_t stopped = (converter.*there)(in, out);
    const std::string_view expected = stopped == npos ? in : in.substr(0, stopped);
    SecretBytes returned;
    (converter.*back)(view(out), returned);
    const auto [at, _] =
        std::mismatch(expected.begin(), expected.end(), returned.begin(), returned.end());
    if (at != expected.end() || returned.size() != expected.size()) {
        return static_cast<std::size_t>(at - expected.begin());
    }
    return stopped;
}

// The character of well-formed UTF-8 `text` whose bytes include `offset`,
// with its 1-based position among the characters.
Outcome character_at(std::string_view text, std::size_t offset) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    if (offset >= text.size()) offset = text.empty() ? 0 : text.size() - 1;
    Outcome outcome(ParameterStatus::unrepresentable_character);
    std::size_t i = 0;
    while (i < text.size()) {
        const std::uint8_t lead = s[i];
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k) {
            code = code << 6 | (s[i + k] & 0x3F);
        }
        ++outcome.position;
        outcome.character = code;
        if (offset < i + length) break;
        i += length;
    }
    return outcome;
}

Outcome bad_byte(ParameterStatus status, std::string_view bytes, std::size_t offset) {
    if (offset >= bytes.size()) offset = bytes.empty() ? 0 : bytes.size() - 1;
    Outcome outcome(status);
    outcome.byte = bytes.empty() ? 0 : static_cast<std::uint8_t>(bytes[offset]);
    outcome.position = offset + 1;
    return outcome;
}

}  // namespace

std::size_t first_invalid_utf8(std::string_view text) noexcept {
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t lead = s[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        std::uint8_t low = 0x80;   // bounds of the second byte, which rule out
        std::uint8_t high = 0xBF;  // overlong forms, surrogates and > U+10FFFF
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return i;
        }
        if (n - i < 2 || s[i + 1] < low || s[i + 1] > high) return i;
        for (std::size_t k = 2; k < length; ++k) {
            if (i + k >= n || (s[i + k] & 0xC0) != 0x80) return i;
        }
        i += length;
    }
    return npos;
}

bool is_valid_utf8(std::string_view text) noexcept {
    return first_invalid_utf8(text) == npos;
}

std::string describe(EncodingRefusal refusal) {
    switch (refusal) {
        case EncodingRefusal::unknown:
            return "unknown encoding (" + std::string(encoding_names_hint()) + ")";
        case EncodingRefusal::zero_bytes:
            return "this encoding puts zero bytes into plain text, and the decrypting side ends "
                   "a value at its first zero byte; use an encoding such as UTF-8 or "
                   "WINDOWS-1252";
    }
    return "unusable encoding";
}

std::unique_ptr<TextEncoding> TextEncoding::open(std::string_view name, EncodingRefusal* why) {
    if (why != nullptr) *why = EncodingRefusal::unknown;
    if (names_utf8(name)) return std::unique_ptr<TextEncoding>(new TextEncoding("UTF-8", nullptr));
    auto converter = Converter::open(name);
    if (!converter) return nullptr;
    std::unique_ptr<TextEncoding> encoding(
        new TextEncoding(std::string(name), std::move(converter)));
    if (encoding->puts_zero_bytes_into_ascii()) {
        if (why != nullptr) *why = EncodingRefusal::zero_bytes;
        return nullptr;
    }
    return encoding;
}

TextEncoding::TextEncoding(std::string name, std::unique_ptr<Converter> converter)
    : name_(std::move(name)), converter_(std::move(converter)) {}

TextEncoding::~TextEncoding() = default;

// Under such an encoding every value would hold a zero byte.
bool TextEncoding::puts_zero_bytes_into_ascii() {
    SecretBytes bytes;
    for (char c = ' '; c <= '~'; ++c) {
        if (converter_->from_utf8(std::string_view(&c, 1), bytes) == npos &&
            std::find(bytes.begin(), bytes.end(), '\0') != bytes.end()) {
            return true;
        }
    }
    return false;
}

Outcome TextEncoding::from_utf8(std::string_view utf8, SecretBytes& out) {
    // Checked first so that a conversion error can only mean "cannot represent".
    if (const std::size_t bad = first_invalid_utf8(utf8); bad != npos) {
        return bad_byte(ParameterStatus::not_utf8, utf8, bad);
    }
    if (!converter_) {
        out.assign(utf8.begin(), utf8.end());
        return ParameterStatus::done;
    }
    SecretBytes bytes;
    if (const std::size_t bad =
            round_trip(*converter_, &Converter::from_utf8, &Converter::to_utf8, utf8, bytes);
        bad != npos) {
        Outcome outcome = character_at(utf8, bad);
        outcome.encoding = name_;
        return outcome;
    }
    out.swap(bytes);
    return ParameterStatus::done;
}

Outcome TextEncoding::to_utf8(std::string_view bytes, SecretBytes& out) {
    const auto refuse_at = [&](std::size_t offset) {
        Outcome outcome = bad_byte(ParameterStatus::not_in_encoding, bytes, offset);
        outcome.encoding = name_;
        return outcome;
    };
    if (!converter_) {
        if (const std::size_t bad = first_invalid_utf8(bytes); bad != npos) return refuse_at(bad);
        out.assign(bytes.begin(), bytes.end());
        return ParameterStatus::done;
    }
    SecretBytes text;
    if (const std::size_t bad =
            round_trip(*converter_, &Converter::to_utf8, &Converter::from_utf8, bytes, text);
        bad != npos) {
        return refuse_at(bad);
    }
    out.swap(text);
    return ParameterStatus::done;
}

}  // namespace sipcrypt
