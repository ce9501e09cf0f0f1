// The C API as a program uses it, through its header alone: the golden
// texts, every refusal a code with its detail and message, and no crash for
// what a caller can get wrong.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "sipcrypt.h"

namespace {

struct Context {
    sipcrypt_context* context = sipcrypt_create();
    ~Context() { sipcrypt_free(context); }
    sipcrypt_error key(const char* encoding, const std::string& password) {
        return sipcrypt_set_key(context, encoding, password.data(), password.size());
    }
    // The text, or "!" and the code.
    std::string run(bool decrypt, const std::string& input) {
        char out[SIPCRYPT_MAX_TEXT_LENGTH + 1];
        std::size_t length = 0;
        const auto call = decrypt ? sipcrypt_decrypt : sipcrypt_encrypt;
        const sipcrypt_error error =
            call(context, input.data(), input.size(), out, sizeof out, &length);
        return error == SIPCRYPT_OK ? std::string(out, length)
                                    : std::string("!").append(std::to_string(error));
    }
};

TEST(Library, GivesTheGoldenTextsAndTheValuesBack) {
    struct Case {
        const char* encoding;
        std::string value, text;
    };
    const Case cases[] = {
        {"WINDOWS-1252", "alice", "QPJLUKCpC3c="},
        {"WINDOWS-1252", "J\xC3\xBCrgen", "aOGybgf/mSs="},
        {"UTF-8", "J\xC3\xBCrgen", "uZdMPPr5xDw="},
        {nullptr, "sip:alice@example.com", "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        Context context;
        ASSERT_EQ(context.key(c.encoding, "secret"), SIPCRYPT_OK);
        EXPECT_EQ(context.run(false, c.value), c.text) << c.value;
        EXPECT_EQ(context.run(true, c.text), c.value) << c.text;
    }
    Context batch;
    ASSERT_EQ(batch.key("WINDOWS-1252", "secret"), SIPCRYPT_OK);
    const std::string values = "aliceJ\xC3\xBCrgen";
    const std::size_t lengths[] = {5, 0, 7};
    char texts[64];
    std::size_t length = 0;
    ASSERT_EQ(sipcrypt_encrypt_batch(batch.context, values.data(), lengths, 3, texts, sizeof texts,
                                     &length, nullptr),
              SIPCRYPT_OK);
    EXPECT_EQ(std::string(texts, length), std::string("QPJLUKCpC3c=\0\0aOGybgf/mSs=\0", 27));
    const std::size_t text_lengths[] = {12, 0, 12};
    char back[32];
    ASSERT_EQ(sipcrypt_decrypt_batch(batch.context,
                                     std::string(texts, length).erase(26, 1).erase(12, 2).data(),
                                     text_lengths, 3, back, sizeof back, &length, nullptr),
              SIPCRYPT_OK);
    EXPECT_EQ(std::string(back, length), std::string("alice\0\0J\xC3\xBCrgen\0", 15));
    EXPECT_EQ(sipcrypt_version_number(), unsigned{SIPCRYPT_VERSION_NUMBER});
    EXPECT_STREQ(sipcrypt_version_string(), SIPCRYPT_VERSION_STRING);
}

TEST(Library, RefusalsAreCodesWithTheirDetailAndMessage) {
    struct Case {
        const char* encoding;
        std::string password, input;
        bool decrypt;
        sipcrypt_error error;
        std::size_t position, character, byte;
        std::string message;
    };
    const std::string secret = "secret";
    const Case cases[] = {
        {"UTF-8", "", "", false, SIPCRYPT_EMPTY_PASSWORD, 0, 0, 0, "the password is empty"},
        {"UTF-8", std::string("a\0b", 3), "", false, SIPCRYPT_PASSWORD_HAS_ZERO_BYTE, 0, 0, 0, ""},
        {"UTF-8", "ab\r", "", false, SIPCRYPT_PASSWORD_HAS_LINE_BREAK, 3, 0, '\r', ""},
        {"NO-SUCH", secret, "", false, SIPCRYPT_UNKNOWN_ENCODING, 0, 0, 0, ""},
        {"UTF-16", secret, "", false, SIPCRYPT_ENCODING_PUTS_ZERO_BYTES, 0, 0, 0, ""},
        {"ASCII", "caf\xC3\xA9", "", false, SIPCRYPT_UNREPRESENTABLE_CHARACTER, 4, 0xE9, 0, ""},
        {"ASCII", secret, "caf\xC3\xA9", false, SIPCRYPT_UNREPRESENTABLE_CHARACTER, 4, 0xE9, 0,
         "character U+00E9 at position 4 cannot be represented in ASCII"},
        {nullptr, secret, "caf\xC3\xA9", false, SIPCRYPT_NOT_ASCII_CHARACTER, 4, 0xE9, 0, ""},
        {"UTF-8", secret, "ab\xFF", false, SIPCRYPT_NOT_UTF8, 3, 0, 0xFF, ""},
        {"UTF-8", secret, "a\xED\xA0\x80", false, SIPCRYPT_BROKEN_TEXT, 2, 0, 0, ""},
        {"UTF-8", secret, std::string("a\0b", 3), false, SIPCRYPT_VALUE_HAS_ZERO_BYTE, 0, 0, 0, ""},
        {"UTF-8", secret, "a\nb", false, SIPCRYPT_VALUE_HAS_LINE_BREAK, 2, 0, '\n', ""},
        {"UTF-8", secret, std::string(3745, 'x'), false, SIPCRYPT_VALUE_TOO_LONG, 0, 0, 0,
         "the value is longer than 3744 bytes"},
        {"UTF-8", secret, "not Base64", true, SIPCRYPT_NOT_BASE64, 0, 0, 0, ""},
        {"UTF-8", secret, "AAAAAAAAAA==", true, SIPCRYPT_NOT_WHOLE_BLOCKS, 0, 0, 0, ""},
        {"UTF-8", secret, std::string(4996, 'A'), true, SIPCRYPT_TEXT_TOO_LONG, 0, 0, 0, ""},
        {"UTF-8", "b", "QPJLUKCpC3c=", true, SIPCRYPT_BAD_FILL, 0, 0, 0, ""},
        {"UTF-8", secret, "zfvcf9XY3zY=", true, SIPCRYPT_VALUE_HAS_LINE_BREAK, 2, 0, '\n', ""},
        {"UTF-8", secret, "aOGybgf/mSs=", true, SIPCRYPT_NOT_IN_ENCODING, 2, 0, 0xFC, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input + " " + c.password);
        Context context;
        sipcrypt_error error = context.key(c.encoding, c.password);
        if (error == SIPCRYPT_OK) {
            const std::string result = context.run(c.decrypt, c.input);
            error = result[0] == '!' ? static_cast<sipcrypt_error>(std::stoi(result.substr(1)))
                                     : SIPCRYPT_OK;
        }
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(sipcrypt_last_error(context.context), c.error);
        EXPECT_EQ(sipcrypt_detail_of(context.context, SIPCRYPT_DETAIL_POSITION), c.position);
        EXPECT_EQ(sipcrypt_detail_of(context.context, SIPCRYPT_DETAIL_CHARACTER), c.character);
        EXPECT_EQ(sipcrypt_detail_of(context.context, SIPCRYPT_DETAIL_BYTE), c.byte);
        if (!c.message.empty()) {
            EXPECT_EQ(sipcrypt_message(context.context), c.message);
        }
        EXPECT_STRNE(sipcrypt_strerror(c.error), "an unknown error");
    }
    EXPECT_STREQ(sipcrypt_strerror(SIPCRYPT_VALUE_TOO_LONG),
                 "the value is longer than {limit} bytes");
    EXPECT_STREQ(sipcrypt_strerror(static_cast<sipcrypt_error>(999)), "an unknown error");
}

TEST(Library, WhatACallerGetsWrongIsACodeNeverACrash) {
    Context context;
    char out[16];
    std::size_t length = 99;
    EXPECT_EQ(context.run(false, "alice"), "!43");  // no key yet
    EXPECT_EQ(sipcrypt_set_key(nullptr, "UTF-8", "secret", 6), SIPCRYPT_NULL_ARGUMENT);
    EXPECT_EQ(sipcrypt_set_key(context.context, "UTF-8", nullptr, 6), SIPCRYPT_NULL_ARGUMENT);
    ASSERT_EQ(context.key("UTF-8", "secret"), SIPCRYPT_OK);
    EXPECT_EQ(sipcrypt_encrypt(nullptr, "a", 1, out, sizeof out, &length), SIPCRYPT_NULL_ARGUMENT);
    EXPECT_EQ(sipcrypt_encrypt(context.context, nullptr, 1, out, sizeof out, &length),
              SIPCRYPT_NULL_ARGUMENT);
    EXPECT_EQ(sipcrypt_encrypt(context.context, "a", 1, out, sizeof out, nullptr),
              SIPCRYPT_NULL_ARGUMENT);
    // The length query: nothing written, the length and the size told.
    EXPECT_EQ(sipcrypt_encrypt(context.context, "alice", 5, nullptr, 0, &length),
              SIPCRYPT_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 12u);
    EXPECT_EQ(sipcrypt_detail_of(context.context, SIPCRYPT_DETAIL_LIMIT), 13u);
    out[0] = 'x';
    EXPECT_EQ(sipcrypt_encrypt(context.context, "alice", 5, out, 12, &length),
              SIPCRYPT_BUFFER_TOO_SMALL);
    EXPECT_EQ(out[0], 'x');
    EXPECT_EQ(sipcrypt_encrypt(context.context, "alice", 5, out, 13, &length), SIPCRYPT_OK);
    const std::size_t lengths[] = {1, 1};
    EXPECT_EQ(sipcrypt_encrypt_batch(context.context, "ab", nullptr, 2, out, 16, &length, nullptr),
              SIPCRYPT_NULL_ARGUMENT);
    EXPECT_EQ(sipcrypt_encrypt_batch(context.context, "ab", lengths, 2, out, 16, &length, nullptr),
              SIPCRYPT_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 26u);
    EXPECT_EQ(sipcrypt_detail_of(nullptr, SIPCRYPT_DETAIL_POSITION), 0u);
    EXPECT_STREQ(sipcrypt_message(nullptr), "");
    sipcrypt_free(nullptr);
}

TEST(Library, ABatchSaysWhichValueWasRefused) {
    Context context;
    ASSERT_EQ(context.key("ASCII", "secret"), SIPCRYPT_OK);
    const std::string values =
        "okcaf\xC3\xA9"
        "a\nb";
    const std::size_t lengths[] = {2, 5, 3};
    char texts[64];
    std::size_t length = 0;
    sipcrypt_error errors[3];
    EXPECT_EQ(sipcrypt_encrypt_batch(context.context, values.data(), lengths, 3, texts,
                                     sizeof texts, &length, errors),
              SIPCRYPT_UNREPRESENTABLE_CHARACTER);
    EXPECT_EQ(errors[0], SIPCRYPT_OK);
    EXPECT_EQ(errors[1], SIPCRYPT_UNREPRESENTABLE_CHARACTER);
    EXPECT_EQ(errors[2], SIPCRYPT_VALUE_HAS_LINE_BREAK);
    EXPECT_EQ(sipcrypt_detail_of(context.context, SIPCRYPT_DETAIL_INDEX), 1u);
    EXPECT_EQ(sipcrypt_detail_of(context.context, SIPCRYPT_DETAIL_POSITION), 4u);
    EXPECT_EQ(std::string(texts, length), std::string("dE7xdKVqaNQ=\0\0\0", 15));
}

TEST(Library, ContextsWorkOnSeveralThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<std::string> results(4);
    for (std::size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([&results, t] {
            Context context;
            context.key(t % 2 == 0 ? "WINDOWS-1252" : "UTF-8", "secret");
            for (int i = 0; i < 2000; ++i) results[t] = context.run(false, "J\xC3\xBCrgen");
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(results, (std::vector<std::string>{
                           "aOGybgf/mSs=", "uZdMPPr5xDw=", "aOGybgf/mSs=", "uZdMPPr5xDw="}));
}

#if defined(__SANITIZE_ADDRESS__)
// Undefined, as the header says; the sanitizer build catches it.
TEST(Library, AContextUsedAfterItIsFreedIsCaughtByTheSanitizer) {
    sipcrypt_context* context = sipcrypt_create();
    sipcrypt_free(context);
    EXPECT_DEATH((void)sipcrypt_last_error(context), "heap-use-after-free");
}
#endif

}  // namespace
