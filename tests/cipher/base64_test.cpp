#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "cipher/base64.h"

namespace sipcrypt {
namespace {

std::string encode(const std::string& bytes) {
    std::string out(Base64Encoder::encoded_length(bytes.size()) + 1, '\x7F');
    Base64Encoder::encode(reinterpret_cast<const std::uint8_t*>(bytes.data()), out.data(),
                          bytes.size());
    EXPECT_EQ(out.back(), '\0') << "terminator";
    out.pop_back();
    return out;
}

std::optional<std::string> decode(const std::string& text) {
    std::vector<std::uint8_t> out(Base64Decoder::max_decoded_length(text.size()));
    const auto n = Base64Decoder::decode(text, out.data());
    if (!n) return std::nullopt;
    return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(*n));
}

TEST(Base64, MatchesTheRfc4648Examples) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\xFB\xFF\xBF", 3), "+/+/"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(encode(bytes), text);
        EXPECT_EQ(decode(text), bytes) << text;
    }
}

TEST(Base64, LengthsOfCipherBlocks) {
    const std::pair<std::size_t, std::string> cases[] = {
        {8, "="}, {16, "=="}, {24, ""}, {3744, ""}};
    for (const auto& [count, tail] : cases) {
        const std::string text = encode(std::string(count, 'x'));
        EXPECT_EQ(text.size(), Base64Encoder::encoded_length(count));
        EXPECT_EQ(text.size() - text.find_last_not_of('='), tail.size() + 1) << count;
    }
    EXPECT_EQ(Base64Encoder::encoded_length(3744), 4992u);
}

TEST(Base64, RoundTripsEveryByteValueAtEveryLength) {
    std::mt19937 random(64);
    for (std::size_t length = 0; length < 300; ++length) {
        std::string bytes(length, '\0');
        for (auto& c : bytes) c = static_cast<char>(random());
        EXPECT_EQ(decode(encode(bytes)), bytes) << length;
    }
}

TEST(Base64, DecoderRefusesWhatTheEncoderCannotProduce) {
    const char* refused[] = {
        "Zg=",       // length not a multiple of 4
        "Zm9",       //
        "Zm9v\n",    // line break
        "Zm 9",      // blank
        "Zm9-",      // URL-safe alphabet
        "Zm_v",      //
        "Z===",      // too much fill
        "====",      //
        "Zg==Zm8=",  // fill before the end
        "Z=g=",      // fill inside a group
        "Zm=v",      //
        "Zh==",      // fill bits not zero
        "Zm9=",      //
        "Zm9v\xC3\xA9==",
    };
    for (const char* text : refused) EXPECT_EQ(decode(text), std::nullopt) << text;
}

}  // namespace
}  // namespace sipcrypt
