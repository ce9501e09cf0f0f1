// The dialog's press, with no toolkit: what it makes, what it refuses, and
// what it says.
#include "gui/settings_form.h"
#include "tests/codec_for.h"

#include <gtest/gtest.h>

#include <string>

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

// All or nothing: one notice names every refused field, and no text changes.
TEST(SettingsForm, RefusalsNameEveryFieldAndChangeNothing) {
    Form f("WINDOWS-1252");
    f.fill(u"secret", {u"alice", u"", u"", u""});
    ASSERT_EQ(f.form.press().text, "");
    const auto before = f.outputs();

    f.fill(u"sec\rret", {std::u16string(3745, u'x'), u"a\u65E5", std::u16string(u"a\0b", 3),
                         std::u16string(1, char16_t(0xD800))});
    const auto notice = f.form.press();
    EXPECT_EQ(
        notice.text,
        "Nothing was encrypted:\n\n"
        "Encryption Password: the password holds a line break (CR at position 4), often one "
        "left by a Windows line end\n"
        "SIP Login: the value is longer than 3744 bytes\n"
        "SIP Password: character U+65E5 at position 2 cannot be represented in WINDOWS-1252\n"
        "SIP Proxy: the value holds a zero byte, which the decrypting side takes as its end\n"
        "SIP Outbound Proxy: the text holds a broken character (half of a UTF-16 surrogate pair) "
        "at position 1");
    EXPECT_EQ(f.outputs(), before);

    f.fill(u"", {u"bob", u"", u"", u""});
    const auto empty = f.form.press();
    EXPECT_EQ(empty.text, "Type an encryption password first.\n\nNothing was encrypted.");
    EXPECT_EQ(empty.focus, Field::encryption_password);
    EXPECT_EQ(f.outputs(), before);
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
