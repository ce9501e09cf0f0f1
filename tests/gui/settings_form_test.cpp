// The dialog's press, with no toolkit: what it makes, what it refuses, and
// what it says.
#include "gui/settings_form.h"
#include "tests/codec_for.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace sipcrypt::gui {
namespace {

struct Form {
    std::unique_ptr<Codec> codec;
    SettingsForm form;
    explicit Form(const char* encoding = "UTF-8") : codec(codec_for(encoding)), form(*codec) {}
    void fill(std::u16string password, std::array<std::u16string, 4> values) {
        form.set_text(Field::encryption_password, password);
        for (std::size_t i = 0; i < 4; ++i) form.set_text(parameters[i], values[i]);
    }
    std::array<std::u16string, 4> outputs() const {
        std::array<std::u16string, 4> texts;
        for (std::size_t i = 0; i < 4; ++i) texts[i] = form.text(encrypted(parameters[i]));
        return texts;
    }
};

TEST(SettingsForm, APressGivesTheTextsAndKeepsThoseOfEmptiedInputs) {
    Form f;
    f.fill(u"secret", {u"sip:alice@example.com", u"a", u"12345678", u"p\u00E4ss"});
    auto notice = f.form.press();
    EXPECT_EQ(notice.text, "");
    const auto first = f.outputs();
    EXPECT_EQ(first[0], u"0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ");

    f.fill(u"password", {u"12345678", u"", u"123456789", u""});
    EXPECT_EQ(f.form.press().text, "");
    const std::array<std::u16string, 4> second = {u"FL/3uVtBnz4=", first[1],
                                                  u"FL/3uVtBnz4xL5m6eqchIg==", first[3]};
    EXPECT_EQ(f.outputs(), second);
}

// All or nothing: one notice names every refused field, in the dialog's
// words, and no text changes. The views show this notice as it is.
TEST(SettingsForm, RefusalsNameEveryFieldAndChangeNothing) {
    struct Case {
        const char* encoding;
        std::u16string password;
        std::array<std::u16string, 4> values;
        std::string notice;
        std::optional<Field> focus = {};
    };
    std::vector<Case> cases = {
        {"WINDOWS-1252",
         u"sec\rret",
         {std::u16string(3745, u'x'), u"a\u65E5", std::u16string(u"a\0b", 3),
          std::u16string(1, char16_t(0xD800))},
         "Nothing was encrypted:\n\n"
         "Encryption Password: the password holds a line break (CR at position 4), often one "
         "left by a Windows line end\n"
         "SIP Login: the value is longer than 3744 bytes\n"
         "SIP Password: character U+65E5 at position 2 cannot be represented in WINDOWS-1252\n"
         "SIP Proxy: the value holds a zero byte, which the decrypting side takes as its end\n"
         "SIP Outbound Proxy: the text holds a broken character (half of a UTF-16 surrogate pair) "
         "at position 1"},
        {"UTF-8",
         u"",
         {u"bob", u"", u"", u""},
         "Type an encryption password first.\n\nNothing was encrypted.",
         Field::encryption_password},
        {"UTF-8",
         u"secret",
         {u"", u"alice\n", u"", u""},
         "Nothing was encrypted:\n\nSIP Password: the value holds a line break (LF at position 6); "
         "a value is one line"},
        {"UTF-8",
         u"secret",
         {u"", u"", std::u16string(40000, u'x'), u""},
         "Nothing was encrypted:\n\nSIP Proxy: the value is longer than 3744 bytes"},
    };
#ifndef _WIN32  // where no encoding chosen means ASCII, and the settings file is XDG's
    ::setenv("XDG_CONFIG_HOME", "/nonexistent", 1);
    cases.push_back(
        {"",
         u"secret",
         {u"J\u00FCrgen", u"", u"", u""},
         "Nothing was encrypted:\n\nSIP Login: character U+00FC at position 2 is not ASCII, and no "
         "encoding is chosen\n\nNo encoding is chosen, so only ASCII text can be encrypted. Add "
         "the line encoding=WINDOWS-1252 (or the name of the encoding the decrypting program "
         "reads; UTF-8 if it reads UTF-8) to /nonexistent/sipcrypt/sipcrypt.conf, or start "
         "sipcrypt-gui --encoding NAME."});
#endif
    for (const auto& c : cases) {
        Form f(c.encoding);
        f.fill(u"secret", {u"alice", u"", u"", u""});
        ASSERT_EQ(f.form.press().text, "");
        const auto before = f.outputs();
        f.fill(c.password, c.values);
        const auto notice = f.form.press();
        EXPECT_EQ(notice.text, c.notice);
        EXPECT_EQ(notice.focus, c.focus);
        EXPECT_EQ(f.outputs(), before);
    }
}

TEST(SettingsForm, ALongPasswordIsUsedAndTheUserToldOnce) {
    Form f;
    f.fill(std::u16string(80, u'k'), {u"alice", u"", u"", u""});
    EXPECT_NE(f.form.press().text.find("Only the first 72 bytes"), std::string::npos);
    EXPECT_EQ(f.form.press().text, "");
    f.fill(std::u16string(72, u'k'), {u"alice", u"", u"", u""});
    EXPECT_EQ(f.form.press().text, "");
}

}  // namespace
}  // namespace sipcrypt::gui
