#include "text_encoding.h"

#include "code_pages.h"
#include "converter.h"
#include "outcome.h"
#include "utf16.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace sipcrypt {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The character of well-formed UTF-8 `text` whose bytes include `offset`,
// with its 1-based position among the characters.
Outcome character_at(std::string_view text, std::size_t offset) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    if (offset >= text.size()) offset = text.empty() ? 0 : text.size() - 1;
    Outcome outcome(ParameterStatus::unrepresentable_character);
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = std::min(utf8_length(s[i]), text.size() - i);
        ++outcome.position;
        outcome.character = utf8_character(s + i, length);
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
            i = ascii_run_end(s, i, n);
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
#ifdef _WIN32
            return "unknown encoding (sipcrypt --list-encodings shows the names)";
#else
            return "unknown encoding (sipcrypt --list-encodings shows the names; iconv --list, "
                   "others)";
#endif
        case EncodingRefusal::zero_bytes:
            return "this encoding puts zero bytes into plain text, and the decrypting side ends "
                   "a value at its first zero byte; use an encoding such as UTF-8 or "
                   "WINDOWS-1252";
        case EncodingRefusal::not_ascii:
            return "this encoding does not keep plain ASCII text as it is (UTF-7, EBCDIC); use an "
                   "encoding such as UTF-8 or WINDOWS-1252";
    }
    return "unusable encoding";
}

std::unique_ptr<TextEncoding> TextEncoding::open(std::string_view name, EncodingRefusal* why) {
    EncodingRefusal refused = EncodingRefusal::unknown;
    std::unique_ptr<TextEncoding> encoding;
    const EncodingName meaning = look_up_encoding(name.empty() ? "US-ASCII" : name);
    switch (meaning.kind) {
        case EncodingName::Kind::utf8:
            encoding.reset(new TextEncoding("UTF-8", nullptr));
            break;
        case EncodingName::Kind::code_page:
            encoding.reset(new TextEncoding(std::string(name), open_code_page(meaning.code_page)));
            break;
        case EncodingName::Kind::zero_bytes:
            refused = EncodingRefusal::zero_bytes;
            break;
        case EncodingName::Kind::not_ascii:
            refused = EncodingRefusal::not_ascii;
            break;
        case EncodingName::Kind::other:
            if (auto converter = open_system_converter(name)) {
                encoding.reset(new TextEncoding(std::string(name), std::move(converter)));
                refused = encoding->refusal();
                if (refused != EncodingRefusal::unknown) encoding.reset();
            }
            break;
    }
    if (encoding && name.empty()) {
        encoding->name_ = "ASCII";
        encoding->chosen_ = false;
    }
    if (!encoding && why != nullptr) *why = refused;
    return encoding;
}

TextEncoding::TextEncoding(std::string name, std::unique_ptr<Converter> converter)
    : name_(std::move(name)), converter_(std::move(converter)) {}

TextEncoding::~TextEncoding() = default;

// An encoding the system's converter knows must write plain ASCII as it is:
// UTF-16 and UTF-32 put zero bytes into it, under any name.
EncodingRefusal TextEncoding::refusal() const {
    SecretBytes bytes;
    for (char c = ' '; c <= '~'; ++c) {
        const bool converted = converter_->from_utf8(std::string_view(&c, 1), bytes) == npos;
        if (converted && std::find(bytes.begin(), bytes.end(), '\0') != bytes.end()) {
            return EncodingRefusal::zero_bytes;
        }
        if (!converted || bytes.size() != 1 || bytes[0] != c) return EncodingRefusal::not_ascii;
    }
    return EncodingRefusal::unknown;
}

// Converts `in` one way into converted_ and returns the offset of the first
// byte of `in` that does not come back as it went, or npos. What stops the
// conversion is found, but so is anything before it that only the way back
// shows: a character dropped, or mapped one way only.
std::size_t TextEncoding::convert(bool to_utf8, std::string_view in) {
    const auto there = to_utf8 ? &Converter::to_utf8 : &Converter::from_utf8;
    const auto back = to_utf8 ? &Converter::from_utf8 : &Converter::to_utf8;
    const std::size_t stopped = ((*converter_).*there)(in, converted_);
    if (converter_->exact()) return stopped;
    const std::string_view expected = stopped == npos ? in : in.substr(0, stopped);
    ((*converter_).*back)({converted_.data(), converted_.size()}, returned_);
    const auto [at, _] =
        std::mismatch(expected.begin(), expected.end(), returned_.begin(), returned_.end());
    secure_wipe(returned_.data(), returned_.size());
    if (at != expected.end() || returned_.size() != expected.size()) {
        return static_cast<std::size_t>(at - expected.begin());
    }
    return stopped;
}

Outcome TextEncoding::from_utf8(std::string_view utf8, SecretBytes& out) {
    // Checked first so that a conversion error can only mean "cannot represent".
    if (const std::size_t bad = first_invalid_utf8(utf8); bad != npos) {
        const auto next = bad + 1 < utf8.size() ? static_cast<std::uint8_t>(utf8[bad + 1]) : 0;
        if (static_cast<std::uint8_t>(utf8[bad]) != 0xED || next < 0xA0 || next > 0xBF) {
            return bad_byte(ParameterStatus::not_utf8, utf8, bad);
        }
        Outcome broken = character_at(utf8.substr(0, bad + 1), bad);
        broken.status = ParameterStatus::broken_text;
        return broken;
    }
    if (!converter_) {
        out.assign(utf8.begin(), utf8.end());
        return ParameterStatus::done;
    }
    if (const std::size_t bad = convert(false, utf8); bad != npos) {
        secure_wipe(converted_.data(), converted_.size());
        Outcome outcome = character_at(utf8, bad);
        outcome.encoding = name_;
        if (!chosen_) outcome.status = ParameterStatus::no_encoding_chosen;
        return outcome;
    }
    out.swap(converted_);
    secure_wipe(converted_.data(), converted_.size());
    return ParameterStatus::done;
}

Outcome TextEncoding::to_utf8(std::string_view bytes, SecretBytes& out) {
    const auto refuse_at = [&](std::size_t offset) {
        Outcome outcome = bad_byte(
            chosen_ ? ParameterStatus::not_in_encoding : ParameterStatus::no_encoding_chosen, bytes,
            offset);
        outcome.encoding = name_;
        return outcome;
    };
    if (!converter_) {
        if (const std::size_t bad = first_invalid_utf8(bytes); bad != npos) return refuse_at(bad);
        out.assign(bytes.begin(), bytes.end());
        return ParameterStatus::done;
    }
    if (const std::size_t bad = convert(true, bytes); bad != npos) {
        secure_wipe(converted_.data(), converted_.size());
        return refuse_at(bad);
    }
    out.swap(converted_);
    secure_wipe(converted_.data(), converted_.size());
    return ParameterStatus::done;
}

}  // namespace sipcrypt
