#include "core/text_encoding.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/code_page_tables.h"
#include "core/messages.h"

namespace sipcrypt {
namespace {

std::string as_string(const SecretBytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::unique_ptr<TextEncoding> open(std::string_view name) {
    std::unique_ptr<TextEncoding> encoding;
    (void)TextEncoding::open(name, encoding);
    return encoding;
}

TEST(TextEncoding, ConvertsBothWaysAndRefusesRatherThanReplaces) {
    struct Case {
        const char* encoding;
        std::string utf8;
        Code status;
        std::string bytes;
    };
    const Case cases[] = {
        {"UTF-8", "p\xC3\xA4ssw\xC3\xB6rd", Code::done, "p\xC3\xA4ssw\xC3\xB6rd"},
        {"utf8", "\xE2\x82\xAC", Code::done, "\xE2\x82\xAC"},
        {"WINDOWS-1252", "p\xC3\xA4ssw\xC3\xB6rd", Code::done, "p\xE4ssw\xF6rd"},
        {"WINDOWS-1252", "\xE2\x82\xAC", Code::done, "\x80"},
        {"WINDOWS-1252", "\xE6\x97\xA5", Code::unrepresentable_character, ""},
        // Names mean what they mean on Windows: ISO-8859-1 is 1252 there,
        // ISO-8859-9 1254.
        {"ISO-8859-1", "\xC3\xA0\xE2\x82\xAC", Code::done, "\xE0\x80"},
        {"ISO-8859-9", "\xC4\x9F\xE2\x82\xAC", Code::done, "\xF0\x80"},
        {"ISO-8859-2", "\xC5\x82", Code::done, "\xB3"},
        {"ISO-8859-2", "\xE2\x82\xAC", Code::unrepresentable_character, ""},
        {"SHIFT_JIS", "C:\\dir~", Code::done, "C:\\dir~"},
        {"ASCII", "caf\xC3\xA9", Code::unrepresentable_character, ""},
        {"", "plain", Code::done, "plain"},
        {"", "caf\xC3\xA9", Code::not_ascii_character, ""},
#ifndef _WIN32  // iconv's own: Windows has no such code page under Wine
        // A stateful encoding: shifted in and back out at the end.
        {"ISO-2022-JP", "\xE6\x97\xA5\xE6\x9C\xAC", Code::done, "\x1B$BF|K\\\x1B(B"},
#endif
        {"UTF-8", "\xC3", Code::not_utf8, ""},  // cut short
        {"UTF-8",
         "a\x80"
         "b",
         Code::not_utf8, ""},                               // a continuation after ASCII
        {"UTF-8", "\xC0\xAF", Code::not_utf8, ""},          // overlong
        {"UTF-8", "\xE0\x80\x80", Code::not_utf8, ""},      // overlong
        {"UTF-8", "\xE0\x80\xAF", Code::not_utf8, ""},      // overlong
        {"UTF-8", "\xED\xA0\x80", Code::broken_text, ""},   // surrogate
        {"UTF-8", "\xF4\x90\x80\x80", Code::not_utf8, ""},  // past U+10FFFF
        {"WINDOWS-1252", "\xFF", Code::not_utf8, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.encoding) + " " + c.utf8);
        auto encoding = open(c.encoding);
        ASSERT_NE(encoding, nullptr);
        SecretBytes out(2, 'x');
        EXPECT_EQ(encoding->from_utf8(c.utf8, out), c.status);
        if (c.status != Code::done) {
            EXPECT_EQ(as_string(out), "xx");
            continue;
        }
        EXPECT_EQ(as_string(out), c.bytes);
        SecretBytes back;
        EXPECT_EQ(encoding->to_utf8(c.bytes, back), Code::done);
        EXPECT_EQ(as_string(back), c.utf8);
    }
}

TEST(TextEncoding, RefusesBytesThatAreNotTextInTheEncoding) {
    const std::pair<const char*, std::string> cases[] = {
        {"UTF-8", "\xFF\xFE"},
        {"UTF-8", "\xE0\x80\xAF"},
        {"ASCII", "\x80"},
        // One of two byte pairs that read as U+2252; the character writes as
        // the other.
        {"CP932", "\x87\x90"},
        {"CP936", "\xFF"},
        {"BIG5", "\xA4"},  // a lead byte, and nothing after it
#ifndef _WIN32
        // A needless shift back to ASCII reads as nothing, so the bytes would
        // not come back.
        {"ISO-2022-JP", "a\x1B(Bb"},
#endif
    };
    for (const auto& [name, bytes] : cases) {
        auto encoding = open(name);
        ASSERT_NE(encoding, nullptr);
        SecretBytes out;
        EXPECT_EQ(encoding->to_utf8(bytes, out), Code::not_in_encoding) << name;
    }
}

TEST(TextEncoding, UnknownNamesAndEncodingsThatPutZerosIntoTextAreRefused) {
    constexpr Code unknown = Code::unknown_encoding, zeros = Code::encoding_puts_zero_bytes,
                   changes = Code::encoding_changes_ascii;
    const std::pair<const char*, Code> cases[] = {
        {"NO-SUCH-ENCODING", unknown},
        {"UTF-16", zeros},
        {"utf_16le", zeros},
        {"UTF-16BE", zeros},
        {"UTF-32", zeros},
        {"UCS-2", zeros},
        {"UCS-4", zeros},
        {"CP1200", zeros},
        {"UTF-7", changes},
        {"UNICODE-1-1-UTF-7", changes},
        {"IBM037", changes},
        {"CP500", changes},
        {"1026", changes},
        {"EBCDIC-US", changes},
    };
    for (const auto& [name, refusal] : cases) {
        std::unique_ptr<TextEncoding> encoding;
        EXPECT_EQ(TextEncoding::open(name, encoding), refusal) << name;
        EXPECT_EQ(encoding, nullptr) << name;
    }
    EXPECT_EQ(open("utf-8")->name(), "UTF-8");
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
        {"SHIFT_JIS", "\xE6\x97\xA5\xC2\xA5", true,
         "character U+00A5 at position 2 cannot be represented in SHIFT_JIS"},
        // Precomposed, it would have to be split into A and a combining tilde.
        {"WINDOWS-1258", "\xC3\x83", true,
         "character U+00C3 at position 1 cannot be represented in WINDOWS-1258"},
        {"", "J\xC3\xBCrgen", true,
         "character U+00FC at position 2 is not ASCII, and no encoding is chosen"},
        // Bytes that are text in a code page say that one should be chosen;
        // others, as from a wrong password, do not.
        {"", "J\xFCrgen", false, "byte 0xFC at position 2 is not ASCII, and no encoding is chosen"},
        {"", "J\xFC\x01rgen", false,
         "the decrypted bytes are not valid text in the encoding (ASCII): byte 0xFC at position 2"},
        {"UTF-8", "a\xED\xB0\x80", true,
         "the text holds a broken character (half of a UTF-16 surrogate pair) at position 2"},
        {"ASCII", "caf\xC3\xA9", true,
         "character U+00E9 at position 4 cannot be represented in ASCII"},
        {"UTF-8", "ab\xFF", true, "the text is not valid UTF-8: byte 0xFF at position 3"},
        {"ASCII", "ab\x80", false,
         "the decrypted bytes are not valid text in the encoding (ASCII): byte 0x80 at position 3"},
    };
    for (const auto& c : cases) {
        auto encoding = open(c.encoding);
        ASSERT_NE(encoding, nullptr);
        SecretBytes out;
        const Outcome outcome =
            c.to_bytes ? encoding->from_utf8(c.text, out) : encoding->to_utf8(c.text, out);
        EXPECT_EQ(message(outcome), c.message);
    }
}

std::string utf8_of(char32_t c) {
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
}

// What Windows' own conversion makes of text and bytes, asked not to guess
// and to refuse what is invalid, and kept only when it comes back unchanged.
#ifdef _WIN32
std::optional<std::string> windows_bytes(unsigned code_page, char32_t c) {
    const std::u16string wide = c < 0x10000
                                    ? std::u16string(1, static_cast<char16_t>(c))
                                    : std::u16string{static_cast<char16_t>(0xD7C0 + (c >> 10)),
                                                     static_cast<char16_t>(0xDC00 | (c & 0x3FF))};
    char bytes[8];
    BOOL guessed = FALSE;
    const int n = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS,
                                      reinterpret_cast<const wchar_t*>(wide.data()),
                                      static_cast<int>(wide.size()), bytes, 8, nullptr, &guessed);
    wchar_t back[4];
    if (n <= 0 || guessed ||
        MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes, n, back, 4) !=
            static_cast<int>(wide.size()) ||
        !std::equal(wide.begin(), wide.end(), back)) {
        return std::nullopt;
    }
    return std::string(bytes, static_cast<std::size_t>(n));
}

std::optional<std::string> windows_text(unsigned code_page, const std::string& bytes) {
    wchar_t wide[4];
    const int n = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(),
                                      static_cast<int>(bytes.size()), wide, 4);
    char back[8];
    BOOL guessed = FALSE;
    if (n <= 0 ||
        WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide, n, back, 8, nullptr, &guessed) !=
            static_cast<int>(bytes.size()) ||
        guessed || bytes != std::string(back, bytes.size())) {
        return std::nullopt;
    }
    std::string text;
    for (int i = 0; i < n; ++i) text += utf8_of(static_cast<char32_t>(wide[i]));
    return text;
}
#endif

// Each of Windows' code pages: every character through it, and every byte
// and pair of bytes back, either converts exactly or is refused, naming
// itself. What comes out for the Basic Multilingual Plane and for the bytes
// is what Windows' own conversion gives: the Windows suite compares them
// call by call under Wine, and both compare a digest of them with the one
// recorded from Windows. Past the plane no code page holds anything.
// Other names, on Linux, are iconv's, with one-way mappings of their own.
TEST(TextEncoding, EveryCharacterComesBackExactlyOrIsRefused) {
    std::map<std::string, std::string> recorded;
    std::ifstream digests(SIPCRYPT_CODE_PAGE_DIGESTS);
    for (std::string line; std::getline(digests, line);) {
        if (line.empty() || line[0] == '#') continue;
        recorded[line.substr(0, line.find(' '))] = line.substr(line.find(' ') + 1);
    }
    std::vector<std::string> names;
    for (std::size_t i = 0; i < code_page_table_count; ++i) {
        names.push_back("CP" + std::to_string(code_page_tables[i].number));
    }
#ifndef _WIN32
    names.insert(names.end(), {"ISO-8859-16", "EUC-JP"});
#endif
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        auto encoding = open(name);
        ASSERT_NE(encoding, nullptr);
        const bool windows_page = name.compare(0, 2, "CP") == 0;
        [[maybe_unused]] const unsigned number = windows_page ? std::stoul(name.substr(2)) : 0;
        std::uint64_t digest = 0xCBF29CE484222325;  // FNV-1a
        const auto add = [&](const std::string& result) {
            for (const char byte : std::to_string(result.size()) + ":" + result) {
                digest = (digest ^ static_cast<unsigned char>(byte)) * 0x100000001B3;
            }
        };
        SecretBytes bytes, back;
        for (char32_t c = 1; c <= 0x10FFFF; ++c) {
            if (c == 0xD800) c = 0xE000;
            const std::string text = utf8_of(c);
            const Outcome to_bytes = encoding->from_utf8(text, bytes);
            const std::string made(bytes.begin(), bytes.end());
            if (c < 0x10000) add(to_bytes.ok() ? made : "refused");
#ifdef _WIN32
            if (windows_page && (c < 0x10000 || c % 257 == 0)) {
                const auto expected = windows_bytes(number, c);
                ASSERT_EQ(to_bytes.ok() ? std::optional(made) : std::nullopt, expected)
                    << std::hex << std::uint32_t{c};
            }
#endif
            if (!to_bytes.ok()) {
                ASSERT_EQ(to_bytes, Code::unrepresentable_character)
                    << std::hex << std::uint32_t{c};
                ASSERT_EQ(std::uint32_t{to_bytes.character}, std::uint32_t{c});
                ASSERT_EQ(to_bytes.position, 1u);
                continue;
            }
            ASSERT_FALSE(windows_page && c >= 0x10000) << std::hex << std::uint32_t{c};
            ASSERT_EQ(encoding->to_utf8({bytes.data(), bytes.size()}, back), Code::done)
                << std::hex << std::uint32_t{c};
            ASSERT_EQ(std::string(back.begin(), back.end()), text) << std::hex << std::uint32_t{c};
        }
        if (!windows_page) continue;
        for (unsigned first = 0; first < 256; ++first) {
            for (unsigned second = 0; second < (first < 0x80 ? 1u : 257u); ++second) {
                std::string input(1, static_cast<char>(first));
                if (second > 0) input += static_cast<char>(second - 1);
                const Outcome to_text = encoding->to_utf8(input, back);
                const std::string read(back.begin(), back.end());
                add(to_text.ok() ? read : "refused");
#ifdef _WIN32
                ASSERT_EQ(to_text.ok() ? std::optional(read) : std::nullopt,
                          windows_text(number, input))
                    << std::hex << first << " " << second;
#endif
            }
        }
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(digest));
        EXPECT_EQ(recorded[name.substr(2)], hex) << "recorded from Windows for " << name;
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
    auto jis = open("ISO-2022-JP");
    ASSERT_NE(jis, nullptr);
    SecretBytes out;
    EXPECT_EQ(jis->from_utf8("\xE6\x97\xA5\xF0\x9F\x98\x80", out),  // "日" and an emoji
              Code::unrepresentable_character);
    ASSERT_EQ(jis->from_utf8("\xE6\x97\xA5\xE6\x9C\xAC", out), Code::done);
    EXPECT_EQ(std::string(out.begin(), out.end()), "\x1B$BF|K\\\x1B(B");
    EXPECT_EQ(jis->to_utf8("\x1B$BF|\xFF", out), Code::not_in_encoding);
    ASSERT_EQ(jis->to_utf8("ab", out), Code::done);
    EXPECT_EQ(std::string(out.begin(), out.end()), "ab");
}
#endif

}  // namespace
}  // namespace sipcrypt
