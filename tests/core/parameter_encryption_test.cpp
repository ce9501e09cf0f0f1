#include "core/parameter_encryption.h"
#include "tests/codec_for.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "cipher/base64.h"
#include "cipher/ecb.h"
#include "core/codec.h"
#include "core/limits.h"

namespace sipcrypt {
namespace {

std::string encrypt(const std::string& value, const std::string& password) {
    std::string text;
    EXPECT_EQ(encrypt_parameter(value, text, password), Code::done) << value;
    return text;
}

std::string as_string(const SecretBytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Texts made by an independent implementation of the decrypting side's format.
TEST(ParameterEncryption, GivesTheTextsTheDecryptingSideExpects) {
    struct Case {
        std::string password, value, text;
    };
    const Case cases[] = {
        {"secret", "sip:alice@example.com", "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ"},
        {"k", "a", "kGVwdGM26pE="},
        {"password", "12345678", "FL/3uVtBnz4="},
        {"password", "123456789", "FL/3uVtBnz4xL5m6eqchIg=="},
        {"Tr0ub4dor&3", "outbound.example.org;transport=tcp",
         "G9IGNtkWJ9YapNe22sYPC7/XmiVqtBQ6qnJOOYFqzRSDFxcfoR7cbA=="},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encrypt(c.value, c.password), c.text) << c.password << " | " << c.value;
        SecretBytes back;
        ASSERT_EQ(decrypt_parameter(c.text, back, c.password), Code::done);
        EXPECT_EQ(as_string(back), c.value);
    }
    // The password "pässwörd" as UTF-8 bytes and as WINDOWS-1252 bytes.
    EXPECT_EQ(encrypt("proxy.example.net:5060", "p\xC3\xA4ssw\xC3\xB6rd"),
              "2XhUY0oK6VHgOQvLDYKBExfYdItYcQE6");
    EXPECT_EQ(encrypt("proxy.example.net:5060", "p\xE4ssw\xF6rd"),
              "4q5+6v/qpNquJI6cFw9T5sp2ObtsHG7N");
}

TEST(ParameterEncryption, TextLengthFollowsTheValueLength) {
    const std::pair<std::size_t, std::size_t> cases[] = {{1, 12},  {8, 12},  {9, 24},     {16, 24},
                                                         {17, 32}, {24, 32}, {3744, 4992}};
    for (const auto& [value_length, text_length] : cases) {
        EXPECT_EQ(encrypt(std::string(value_length, 'v'), "pw").size(), text_length);
    }
}

TEST(ParameterEncryption, OnlyTheFirst72PasswordBytesCount) {
    const std::string password(72, 'p');
    const std::string value = "sip:bob@example.com";
    const std::string base = encrypt(value, password);
    EXPECT_EQ(encrypt(value, password + "anything after"), base);
    for (std::size_t i = 0; i < password.size(); ++i) {
        std::string changed = password;
        changed[i] = 'q';
        EXPECT_NE(encrypt(value, changed), base) << "byte " << i;
    }
}

TEST(ParameterEncryption, RoundTripsEveryLengthUpToTheLimit) {
    std::mt19937 random(3744);
    const ParameterCipher cipher("round trip");
    for (std::size_t length = 1; length <= max_value_length; ++length) {
        std::string value(length, '\0');
        for (auto& c : value) c = static_cast<char>(1 + random() % 255);
        std::string text;
        ASSERT_EQ(cipher.encrypt(value, text), Code::done);
        SecretBytes back;
        ASSERT_EQ(cipher.decrypt(text, back), Code::done) << length;
        ASSERT_EQ(as_string(back), value) << length;
    }
}

TEST(ParameterEncryption, OneKeyingGivesTheSameTextsAsKeyingAfresh) {
    std::mt19937 random(1);
    const std::string password = "batch password";
    const ParameterCipher cipher(password);
    for (int i = 0; i < 500; ++i) {
        std::string value(1 + random() % 60, '\0');
        for (auto& c : value) c = static_cast<char>(1 + random() % 255);
        std::string text;
        ASSERT_EQ(cipher.encrypt(value, text), Code::done);
        EXPECT_EQ(text, encrypt(value, password));
    }
}

TEST(ParameterEncryption, RefusalsLeaveTheOutputUntouched) {
    const std::string old = "old text";
    struct Case {
        std::string value, password;
        Code status;
    };
    const Case cases[] = {
        {"value", "", Code::empty_password},
        {"", "", Code::empty_password},
        {"", "pw", Code::empty_value},
        {std::string(3745, 'v'), "pw", Code::value_too_long},
        {std::string("a\0b", 3), "pw", Code::value_has_zero_byte},
        {std::string(1, '\0'), "pw", Code::value_has_zero_byte},
    };
    for (const auto& c : cases) {
        std::string output = old;
        EXPECT_EQ(encrypt_parameter(c.value, output, c.password), c.status) << c.value.size();
        EXPECT_EQ(output, old);
    }
    // A codec keyed before has no key at all after a refused password.
    const auto codec = codec_for("UTF-8");
    for (const std::string& refused :
         {std::string(), std::string("pw\n"), std::string("p\0w", 3)}) {
        ASSERT_TRUE(codec->set_password("earlier").ok());
        EXPECT_FALSE(codec->set_password(refused).ok());
        std::string output = old;
        EXPECT_EQ(codec->encrypt("value", output), Code::empty_password);
        EXPECT_EQ(output, old);
    }
}

TEST(ParameterEncryption, DecryptRefusesBadTextsAndLeavesTheOutputUntouched) {
    const std::string password = "secret";
    const std::string good = "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ";
    // Blocks that no value gives: bytes after the first zero, and a whole
    // block of fill.
    BlowfishCipher cipher;
    ASSERT_TRUE(cipher.key_schedule(reinterpret_cast<const std::uint8_t*>(password.data()),
                                    password.size()));
    const auto text_of = [&](const std::string& clear) {
        std::uint8_t block[16];
        const auto n = ecb_encrypt(
            cipher, {reinterpret_cast<const std::uint8_t*>(clear.data()), clear.size()}, block);
        std::string text(Base64Encoder::encoded_length(n), '\0');
        Base64Encoder::encode(block, text.data(), n);
        return text;
    };

    struct Case {
        std::string text, password;
        Code status;
    };
    const Case cases[] = {
        {good, "", Code::empty_password},
        {"", password, Code::empty_value},
        {"0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ!", password, Code::not_base64},
        {"0jnzvOmGJILHQy1ZA+3QZnoRR2Ykqbj", password, Code::not_base64},
        {"0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQAAAA", password, Code::not_whole_blocks},
        {std::string(max_text_length + 4, 'A'), password, Code::text_too_long},
        {text_of(std::string("ab\0cdefg", 8)), password, Code::bad_fill},
        {text_of(std::string("abcdefgh\0\0\0\0\0\0\0\0", 16)), password, Code::bad_fill},
        {text_of(std::string(8, '\0')), password, Code::bad_fill},
    };
    for (const auto& c : cases) {
        SecretBytes output(3, 'x');
        EXPECT_EQ(decrypt_parameter(c.text, output, c.password), c.status) << c.text;
        EXPECT_EQ(as_string(output), "xxx");
    }
}

}  // namespace
}  // namespace sipcrypt
