#include "text_encoding.h"

#include "code_pages.h"
#include "converter.h"
#include "outcome.h"
#include "system.h"
#include "unicode.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace sipcrypt {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The character of well-formed UTF-8 `text` whose bytes include `offset`,
// with its 1-based position among the characters.
Outcome character_at(std::string_view text, std::size_t offset, Code code) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    if (offset >= text.size()) offset = text.empty() ? 0 : text.size() - 1;
    Outcome outcome(code);
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

// Bytes that a Western code page shows as text: no control characters, and
// none of the bytes that WINDOWS-1252 leaves unmapped. Random bytes (from a
// wrong password) seldom are.
bool looks_like_code_page_text(std::string_view bytes) {
    return std::none_of(bytes.begin(), bytes.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 ||
               b == 0x9D;
    });
}

Outcome bad_byte(Code code, std::string_view bytes, std::size_t offset) {
    if (offset >= bytes.size()) offset = bytes.empty() ? 0 : bytes.size() - 1;
    return Outcome::at_byte(code, bytes.empty() ? 0 : static_cast<std::uint8_t>(bytes[offset]),
                            offset + 1);
}

}  // namespace

Outcome TextEncoding::open(std::string_view name, std::unique_ptr<TextEncoding>& encoding) {
    Code refused = Code::unknown_encoding;
    encoding.reset();
    const EncodingName meaning = look_up_encoding(name.empty() ? "US-ASCII" : name);
    switch (meaning.kind) {
        case EncodingName::Kind::utf8:
            encoding.reset(new TextEncoding("UTF-8", nullptr));
            break;
        case EncodingName::Kind::code_page:
            encoding.reset(new TextEncoding(std::string(name), open_code_page(meaning.code_page)));
            break;
        case EncodingName::Kind::zero_bytes:
            refused = Code::encoding_puts_zero_bytes;
            break;
        case EncodingName::Kind::not_ascii:
            refused = Code::encoding_changes_ascii;
            break;
        case EncodingName::Kind::other:
            if (auto converter = open_system_converter(name)) {
                encoding.reset(new TextEncoding(std::string(name), std::move(converter)));
                refused = encoding->refusal();
                if (refused != Code::done) encoding.reset();
            }
            break;
    }
    if (encoding && name.empty()) {
        encoding->name_ = "ASCII";
        encoding->chosen_ = false;
    }
    return encoding ? Code::done : refused;
}

TextEncoding::TextEncoding(std::string name, std::unique_ptr<Converter> converter)
    : name_(std::move(name)), converter_(std::move(converter)) {}

TextEncoding::~TextEncoding() = default;

// An encoding the system's converter knows must write plain ASCII as it is:
// UTF-16 and UTF-32 put zero bytes into it, under any name.
Code TextEncoding::refusal() const {
    SecretBytes bytes;
    for (char c = ' '; c <= '~'; ++c) {
        const bool converted = converter_->from_utf8(std::string_view(&c, 1), bytes) == npos;
        if (converted && std::find(bytes.begin(), bytes.end(), '\0') != bytes.end()) {
            return Code::encoding_puts_zero_bytes;
        }
        if (!converted || bytes.size() != 1 || bytes[0] != c) return Code::encoding_changes_ascii;
    }
    return Code::done;
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
        if (!is_lone_surrogate(utf8.substr(bad))) return bad_byte(Code::not_utf8, utf8, bad);
        Outcome broken = character_at(utf8.substr(0, bad + 1), bad, Code::broken_text);
        broken.character = 0;  // half a character is none
        return broken;
    }
    if (!converter_) {
        out.assign(utf8.begin(), utf8.end());
        return Code::done;
    }
    if (const std::size_t bad = convert(false, utf8); bad != npos) {
        secure_wipe(converted_.data(), converted_.size());
        Outcome outcome = character_at(
            utf8, bad, chosen_ ? Code::unrepresentable_character : Code::not_ascii_character);
        outcome.encoding = name_;
        return outcome;
    }
    out.swap(converted_);
    secure_wipe(converted_.data(), converted_.size());
    return Code::done;
}

Outcome TextEncoding::to_utf8(std::string_view bytes, SecretBytes& out) {
    const auto refuse_at = [&](std::size_t offset) {
        // With no encoding chosen, only bytes that are text in some code
        // page say that one should be.
        const bool hint = !chosen_ && looks_like_code_page_text(bytes);
        Outcome outcome =
            bad_byte(hint ? Code::not_ascii_byte : Code::not_in_encoding, bytes, offset);
        outcome.encoding = name_;
        return outcome;
    };
    if (!converter_) {
        if (const std::size_t bad = first_invalid_utf8(bytes); bad != npos) return refuse_at(bad);
        out.assign(bytes.begin(), bytes.end());
        return Code::done;
    }
    if (const std::size_t bad = convert(true, bytes); bad != npos) {
        secure_wipe(converted_.data(), converted_.size());
        return refuse_at(bad);
    }
    out.swap(converted_);
    secure_wipe(converted_.data(), converted_.size());
    return Code::done;
}

}  // namespace sipcrypt
