#include <gtest/gtest.h>

#include <string>

#include "cli_test_support.h"

namespace sipcrypt::testing {
namespace {

const std::map<std::string, std::string> secret_env = {{"SIP_KEY", "secret"}};
const std::string alice_text = "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ";

// Bad inputs not already covered with their command's other tests: each is
// refused with a message naming where, and the rest of the input goes on.
TEST(BadInput, RefusedWithAMessageThatNamesWhere) {
    struct Case {
        std::string name;
        std::vector<std::string> arguments;
        std::string input;
        int status;
        std::string out;
        std::string message;
    };
    const Case cases[] = {
        {"zero byte in a text",
         {"decrypt", "--password-env", "SIP_KEY"},
         std::string("0jnz\0OmG\n", 9) + alice_text + "\n",
         1,
         "\nsip:alice@example.com\n",
         "line 1: the text is not Base64"},
        {"huge line to decrypt",
         {"decrypt", "--password-env", "SIP_KEY"},
         std::string(1 << 20, 'A') + "\n" + alice_text + "\n",
         1,
         "\nsip:alice@example.com\n",
         "line 1: the text is longer than 4992 characters"},
        {"text one character too long",
         {"decrypt", "--password-env", "SIP_KEY"},
         std::string(4996, 'A') + "\n",
         1,
         "\n",
         "line 1: the text is longer than 4992"},
        {"output file in a missing folder",
         {"accounts", "--password-env", "SIP_KEY", "-o", "/nonexistent/dir/out.csv"},
         "login,password,proxy,outbound_proxy\n",
         1,
         "",
         "/nonexistent/dir/out.csv: no such folder"},
    };
    for (const auto& c : cases) {
        const auto r = sipcrypt(c.arguments, c.input, secret_env);
        EXPECT_EQ(r.exit_status, c.status) << c.name;
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << "\n" << r.err;
    }
}

TEST(BadInput, UnusableDescriptorsAndOutputsFailLoudly) {
    // A password descriptor that is a folder.
    auto r = run_process("/bin/sh",
                         {"-c", std::string(SIPCRYPT_BINARY) + " encrypt --password-fd 3 x 3</"});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_NE(r.err.find("--password-fd 3: Is a directory"), std::string::npos) << r.err;

    // Output that cannot be written is not reported as success.
    r = run_process(
        "/bin/sh",
        {"-c", std::string(SIPCRYPT_BINARY) + " encrypt --password-env SIP_KEY a b c > /dev/full"},
        {}, secret_env);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_NE(r.err.find("standard output: No space left on device"), std::string::npos) << r.err;
    r = run_process(
        "/bin/sh",
        {"-c", std::string(SIPCRYPT_BINARY) + " accounts --password-env SIP_KEY > /dev/full"},
        "login,password,proxy,outbound_proxy\na,b,c,d\n", secret_env);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_NE(r.err.find("standard output: cannot write: No space left on device"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace sipcrypt::testing
