#include "text_encoding.h"

#include <cerrno>
#include <cstdint>

namespace sipcrypt {

namespace {

const iconv_t no_converter = reinterpret_cast<iconv_t>(-1);

bool names_utf8(std::string_view name) {
    std::string upper;
    for (char c : name) {
        if (c != '-' && c != '_') upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    return upper == "UTF8";
}

// Runs one whole conversion; false on any byte iconv cannot convert exactly.
bool convert(iconv_t converter, std::string_view in, SecretBytes& out) {
    iconv(converter, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
    SecretBytes result(in.size() * 4 + 16);
    char* in_ptr = const_cast<char*>(in.data());
    std::size_t in_left = in.size();
    std::size_t done = 0;
    bool flushing = false;
    for (;;) {
        char* out_ptr = result.data() + done;
        std::size_t out_left = result.size() - done;
        const std::size_t irreversible =
            flushing ? iconv(converter, nullptr, nullptr, &out_ptr, &out_left)
                     : iconv(converter, &in_ptr, &in_left, &out_ptr, &out_left);
        done = static_cast<std::size_t>(out_ptr - result.data());
        if (irreversible == static_cast<std::size_t>(-1)) {
            if (errno != E2BIG) return false;
            result.resize(result.size() * 2);
            continue;
        }
        // A positive count means characters were replaced by stand-ins.
        if (irreversible != 0) return false;
        if (flushing) break;
        flushing = true;
    }
    result.resize(done);
    out.swap(result);
    return true;
}

}  // namespace

bool is_valid_utf8(std::string_view text) noexcept {
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
            return false;
        }
        if (n - i < length || s[i + 1] < low || s[i + 1] > high) return false;
        for (std::size_t k = 2; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

std::unique_ptr<TextEncoding> TextEncoding::open(std::string_view name) {
    if (names_utf8(name)) {
        return std::unique_ptr<TextEncoding>(
            new TextEncoding(std::string(default_name), no_converter, no_converter));
    }
    const std::string target(name);
    if (target.empty()) return nullptr;
    iconv_t from_utf8 = iconv_open(target.c_str(), "UTF-8");
    if (from_utf8 == no_converter) return nullptr;
    iconv_t to_utf8 = iconv_open("UTF-8", target.c_str());
    if (to_utf8 == no_converter) {
        iconv_close(from_utf8);
        return nullptr;
    }
    return std::unique_ptr<TextEncoding>(new TextEncoding(target, from_utf8, to_utf8));
}

TextEncoding::TextEncoding(std::string name, iconv_t from_utf8, iconv_t to_utf8)
    : name_(std::move(name)), from_utf8_(from_utf8), to_utf8_(to_utf8) {}

TextEncoding::~TextEncoding() {
    if (from_utf8_ != no_converter) iconv_close(from_utf8_);
    if (to_utf8_ != no_converter) iconv_close(to_utf8_);
}

ParameterStatus TextEncoding::from_utf8(std::string_view utf8, SecretBytes& out) {
    // Checked here first so that iconv's one error for both cases means only
    // "cannot represent".
    if (!is_valid_utf8(utf8)) return ParameterStatus::not_utf8;
    if (from_utf8_ == no_converter) {
        out.assign(utf8.begin(), utf8.end());
        return ParameterStatus::done;
    }
    return convert(from_utf8_, utf8, out) ? ParameterStatus::done
                                          : ParameterStatus::unrepresentable_character;
}

ParameterStatus TextEncoding::to_utf8(std::string_view bytes, SecretBytes& out) {
    if (to_utf8_ == no_converter) {
        if (!is_valid_utf8(bytes)) return ParameterStatus::not_in_encoding;
        out.assign(bytes.begin(), bytes.end());
        return ParameterStatus::done;
    }
    return convert(to_utf8_, bytes, out) ? ParameterStatus::done : ParameterStatus::not_in_encoding;
}

}  // namespace sipcrypt
