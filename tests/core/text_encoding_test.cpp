#include "core/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace sipcrypt {
namespace {

std::string as_string(const SecretBytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(TextEncoding, ConvertsBothWaysAndRefusesRatherThanReplaces) {
    struct Case {
        const char* encoding;
        std::string utf8;
        ParameterStatus status;
        std::string bytes;
    };
    const Case cases[] = {
        {"UTF-8", "p\xC3\xA4ssw\xC3\xB6rd", ParameterStatus::done, "p\xC3\xA4ssw\xC3\xB6rd"},
        {"utf8", "\xE2\x82\xAC", ParameterStatus::done, "\xE2\x82\xAC"},
        {"WINDOWS-1252", "p\xC3\xA4ssw\xC3\xB6rd", ParameterStatus::done, "p\xE4ssw\xF6rd"},
        {"WINDOWS-1252", "\xE2\x82\xAC", ParameterStatus::done, "\x80"},
        {"WINDOWS-1252", "\xE6\x97\xA5", ParameterStatus::unrepresentable_character, ""},
        {"ISO-8859-1", "\xE2\x82\xAC", ParameterStatus::unrepresentable_character, ""},
        {"ASCII", "caf\xC3\xA9", ParameterStatus::unrepresentable_character, ""},
#ifndef _WIN32  // iconv's own: Windows has no such code page under Wine
        // A stateful encoding: shifted in and back out at the end.
        {"ISO-2022-JP", "\xE6\x97\xA5\xE6\x9C\xAC", ParameterStatus::done, "\x1B$BF|K\\\x1B(B"},
#endif
        {"UTF-8", "\xC3", ParameterStatus::not_utf8, ""},              // cut short
        {"UTF-8", "\xC0\xAF", ParameterStatus::not_utf8, ""},          // overlong
        {"UTF-8", "\xE0\x80\x80", ParameterStatus::not_utf8, ""},      // overlong
        {"UTF-8", "\xE0\x80\xAF", ParameterStatus::not_utf8, ""},      // overlong
        {"UTF-8", "\xED\xA0\x80", ParameterStatus::not_utf8, ""},      // surrogate
        {"UTF-8", "\xF4\x90\x80\x80", ParameterStatus::not_utf8, ""},  // past U+10FFFF
        {"WINDOWS-1252", "\xFF", ParameterStatus::not_utf8, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.encoding) + " " + c.utf8);
        auto encoding = TextEncoding::open(c.encoding);
        ASSERT_NE(encoding, nullptr);
        SecretBytes out(2, 'x');
        EXPECT_EQ(encoding->from_utf8(c.utf8, out), c.status);
        if (c.status != ParameterStatus::done) {
            EXPECT_EQ(as_string(out), "xx");
            continue;
        }
        EXPECT_EQ(as_string(out), c.bytes);
        SecretBytes back;
        EXPECT_EQ(encoding->to_utf8(c.bytes, back), ParameterStatus::done);
        EXPECT_EQ(as_string(back), c.utf8);
    }
}

TEST(TextEncoding, RefusesBytesThatAreNotTextInTheEncoding) {
    const std::pair<const char*, std::string> cases[] = {
        {"UTF-8", "\xFF\xFE"},
        {"UTF-8", "\xE0\x80\xAF"},
        // Windows reads ASCII bytes past 0x7F with the high bit dropped: they
        // would come back as other bytes.
        {"ASCII", "\x80"},
#ifndef _WIN32  // Windows maps 0x81 to U+0081 and back, exactly
        {"WINDOWS-1252", "\x81"},
        // A needless shift back to ASCII reads as nothing, so the bytes would
        // not come back.
        {"ISO-2022-JP", "a\x1B(Bb"},
#endif
    };
    for (const auto& [name, bytes] : cases) {
        auto encoding = TextEncoding::open(name);
        ASSERT_NE(encoding, nullptr);
        SecretBytes out;
        EXPECT_EQ(encoding->to_utf8(bytes, out), ParameterStatus::not_in_encoding) << name;
    }
}

TEST(TextEncoding, UnknownNamesAndEncodingsThatPutZerosIntoTextAreRefused) {
    for (const char* name : {"NO-SUCH-ENCODING", "", "UTF-16", "UTF-16LE", "UTF-16BE", "UTF-32",
                             "UTF-32LE", "UTF-32BE", "UCS-2", "UCS-4"}) {
        EncodingRefusal why = EncodingRefusal::zero_bytes;
        EXPECT_EQ(TextEncoding::open(name, &why), nullptr) << name;
        const bool unknown = name[0] == 'N' || name[0] == '\0';
        EXPECT_EQ(why, unknown ? EncodingRefusal::unknown : EncodingRefusal::zero_bytes) << name;
    }
    EXPECT_EQ(TextEncoding::open("utf-8")->name(), "UTF-8");
    EXPECT_NE(TextEncoding::open("UTF-7"), nullptr);
}

// The message names the character and where it is, so that an invisible one
// can be found.
TEST(TextEncoding, RefusalsNameTheCharacterOrByteAndItsPosition) {
    struct Case {
        const char* encoding;
        std::string text;
        bool to_bytes;
        std::string message;
    };
    const Case cases[] = {
        {"WINDOWS-1252",
         "a\xF3\xA0\x80\xBF"
         "b",
         true, "character U+E003F at position 2 cannot be represented in WINDOWS-1252"},
        // Both converters write the yen sign as the byte of the backslash.
        {"CP932", "a\xC2\xA5", true,
         "character U+00A5 at position 2 cannot be represented in CP932"},
#ifndef _WIN32  // glibc's own one-way mappings
        {"SHIFT_JIS", "\xE6\x97\xA5~", true,
         "character U+007E at position 2 cannot be represented in SHIFT_JIS"},
        {"EUC-KR", "\xE2\x82\xA9", true,
         "character U+20A9 at position 1 cannot be represented in EUC-KR"},
#endif
        {"ASCII", "caf\xC3\xA9", true,
         "character U+00E9 at position 4 cannot be represented in ASCII"},
        {"UTF-8", "ab\xFF", true, "the text is not valid UTF-8: byte 0xFF at position 3"},
        {"ASCII", "ab\x80", false,
         "the decrypted bytes are not valid text in the encoding (ASCII): byte 0x80 at position 3"},
    };
    for (const auto& c : cases) {
        auto encoding = TextEncoding::open(c.encoding);
        ASSERT_NE(encoding, nullptr);
        SecretBytes out;
        const Outcome outcome =
            c.to_bytes ? encoding->from_utf8(c.text, out) : encoding->to_utf8(c.text, out);
        EXPECT_EQ(describe(outcome), c.message);
    }
}

// Every character either converts into the encoding and back exactly, or is
// refused, naming itself. Single-byte, Japanese and Korean encodings, each of
// which has characters that its converter drops or maps one way only.
TEST(TextEncoding, EveryCharacterComesBackExactlyOrIsRefused) {
    const auto utf8_of = [](char32_t c) {
        std::string s;
        if (c < 0x80) {
            s += static_cast<char>(c);
        } else if (c < 0x800) {
            s += static_cast<char>(0xC0 | c >> 6);
            s += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            s += static_cast<char>(0xE0 | c >> 12);
            s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | c >> 18);
            s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
        }
        return s;
    };
    for (const char* name : {"WINDOWS-1252", "ISO-8859-15", "KOI8-R", "SHIFT_JIS", "CP949"}) {
        SCOPED_TRACE(name);
        auto encoding = TextEncoding::open(name);
        ASSERT_NE(encoding, nullptr);
        std::size_t accepted = 0;
        SecretBytes bytes, back;
        for (char32_t c = 1; c <= 0x10FFFF; ++c) {
            if (c == 0xD800) c = 0xE000;
            const std::string text = utf8_of(c);
            const Outcome to_bytes = encoding->from_utf8(text, bytes);
            if (!to_bytes.ok()) {
                ASSERT_EQ(to_bytes, ParameterStatus::unrepresentable_character)
                    << std::hex << std::uint32_t{c};
                ASSERT_EQ(std::uint32_t{to_bytes.character}, std::uint32_t{c});
                ASSERT_EQ(to_bytes.position, 1u);
                continue;
            }
            ++accepted;
            ASSERT_EQ(encoding->to_utf8({bytes.data(), bytes.size()}, back), ParameterStatus::done)
                << std::hex << std::uint32_t{c};
            ASSERT_EQ(std::string(back.begin(), back.end()), text) << std::hex << std::uint32_t{c};
        }
        EXPECT_GT(accepted, 127u);
    }
}

}  // namespace
}  // namespace sipcrypt

namespace sipcrypt {
namespace {

// A stateful converter left shifted by a refusal part way must start the
// next conversion from its initial state. (Windows converts each call on its
// own, and has no such code page under Wine.)
#ifndef _WIN32
TEST(TextEncoding, EachConversionStartsFromTheInitialState) {
    auto jis = TextEncoding::open("ISO-2022-JP");
    ASSERT_NE(jis, nullptr);
    SecretBytes out;
    EXPECT_EQ(jis->from_utf8("\xE6\x97\xA5\xF0\x9F\x98\x80", out),  // "日" and an emoji
              ParameterStatus::unrepresentable_character);
    ASSERT_EQ(jis->from_utf8("\xE6\x97\xA5\xE6\x9C\xAC", out), ParameterStatus::done);
    EXPECT_EQ(std::string(out.begin(), out.end()), "\x1B$BF|K\\\x1B(B");
    EXPECT_EQ(jis->to_utf8("\x1B$BF|\xFF", out), ParameterStatus::not_in_encoding);
    ASSERT_EQ(jis->to_utf8("ab", out), ParameterStatus::done);
    EXPECT_EQ(std::string(out.begin(), out.end()), "ab");
}
#endif

}  // namespace
}  // namespace sipcrypt
