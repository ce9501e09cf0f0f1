#include "settings/text_encoding.h"

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
        {"UTF-16LE", "a\xC3\xA9", ParameterStatus::done, std::string("a\0\xE9\0", 4)},
        {"UTF-8", "\xC3", ParameterStatus::not_utf8, ""},              // cut short
        {"UTF-8", "\xC0\xAF", ParameterStatus::not_utf8, ""},          // overlong
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
        {"UTF-8", "\xFF\xFE"}, {"WINDOWS-1252", "\x81"}, {"ASCII", "\x80"}};
    for (const auto& [name, bytes] : cases) {
        auto encoding = TextEncoding::open(name);
        ASSERT_NE(encoding, nullptr);
        SecretBytes out;
        EXPECT_EQ(encoding->to_utf8(bytes, out), ParameterStatus::not_in_encoding) << name;
    }
}

TEST(TextEncoding, UnknownNamesAreRefused) {
    EXPECT_EQ(TextEncoding::open("NO-SUCH-ENCODING"), nullptr);
    EXPECT_EQ(TextEncoding::open(""), nullptr);
    EXPECT_EQ(TextEncoding::open("utf-8")->name(), "UTF-8");
}

}  // namespace
}  // namespace sipcrypt
