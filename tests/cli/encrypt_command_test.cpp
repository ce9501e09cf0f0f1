#include <gtest/gtest.h>

#include <string>

#include "cli_test_support.h"

namespace sipcrypt::testing {
namespace {

const std::map<std::string, std::string> secret_env = {{"SIP_KEY", "secret"},
                                                       {"SIPCRYPT_ENCODING", "UTF-8"}};
const std::vector<std::string> encrypt_with_env = {"encrypt", "--password-env", "SIP_KEY"};

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

TEST(EncryptCommand, ArgumentsAndLinesGiveOneTextEach) {
    const std::string alice = "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ";
    auto r =
        sipcrypt(with(encrypt_with_env, {"sip:alice@example.com", "", "sip:alice@example.com"}), {},
                 secret_env);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, alice + "\n\n" + alice + "\n");

    // LF, CRLF, an empty line and a last line without LF.
    r = sipcrypt(encrypt_with_env, "sip:alice@example.com\r\n\nsip:alice@example.com", secret_env);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, alice + "\n\n" + alice + "\n");
    EXPECT_EQ(r.err, "");

    r = sipcrypt(encrypt_with_env, "", secret_env);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "");
}

TEST(EncryptCommand, PasswordSourcesAndEncodings) {
    const TempFile crlf_file("p\xC3\xA4ssw\xC3\xB6rd\r\nsecond line\n");
    const TempFile no_newline("p\xC3\xA4ssw\xC3\xB6rd");
    const std::string value = "proxy.example.net:5060";
    for (const auto* file : {&crlf_file, &no_newline}) {
        auto r = sipcrypt({"encrypt", "--password-file", file->path(), value}, {},
                          {{"SIPCRYPT_ENCODING", "UTF-8"}});
        EXPECT_EQ(r.out, "2XhUY0oK6VHgOQvLDYKBExfYdItYcQE6\n") << r.err;
    }
    auto r = sipcrypt({"encrypt", "--password-env", "PW", "--encoding", "WINDOWS-1252", value}, {},
                      {{"PW", "p\xC3\xA4ssw\xC3\xB6rd"}});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, "4q5+6v/qpNquJI6cFw9T5sp2ObtsHG7N\n");

    r = sipcrypt(with(encrypt_with_env, {"x"}), {}, {{"SIP_KEY", std::string(80, 'k')}});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_NE(r.err.find("only its first 72 bytes count"), std::string::npos) << r.err;
}

TEST(EncryptCommand, RefusedLinesAreNamedAndTheRestGoOn) {
    const std::string alice = "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ";
    const std::string input = "sip:alice@example.com\n" + std::string(3745, 'v') + "\n" +
                              std::string("a\0b\n", 4) + "caf\xC3\xA9\n" + "\xFF\n" +
                              std::string(200000, 'h') + "\n" + "sip:alice@example.com\n";
    const auto r = sipcrypt(encrypt_with_env, input, secret_env);
    EXPECT_EQ(r.exit_status, 1);
    const auto cafe = sipcrypt(with(encrypt_with_env, {"caf\xC3\xA9"}), {}, secret_env).out;
    EXPECT_EQ(r.out, alice + "\n\n\n" + cafe + "\n\n" + alice + "\n");
    for (const char* expected :
         {"line 2: the value is longer than 3744 bytes", "line 3: the value holds a zero byte",
          "line 5: the text is not valid UTF-8", "line 6: the value is longer than 3744 bytes"}) {
        EXPECT_NE(r.err.find(expected), std::string::npos) << expected << "\n" << r.err;
    }
    EXPECT_EQ(r.err.find("line 4"), std::string::npos) << r.err;

    const auto ascii = sipcrypt(
        with(encrypt_with_env, {"--encoding", "ASCII", "ok", "caf\xC3\xA9"}), {}, secret_env);
    EXPECT_EQ(ascii.exit_status, 1);
    EXPECT_NE(
        ascii.err.find("argument 2: character U+00E9 at position 4 cannot be represented in ASCII"),
        std::string::npos)
        << ascii.err;
}

TEST(EncryptCommand, PasswordProblemsEncryptNothing) {
    const TempFile empty_first_line("\nsecret\n");
    struct Case {
        std::vector<std::string> arguments;
        std::map<std::string, std::string> environment;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"encrypt", "--password-file", empty_first_line.path(), "v"},
         {},
         1,
         "password: the password is empty"},
        {{"encrypt", "--password-file", "/nonexistent/pw", "v"},
         {},
         1,
         "--password-file /nonexistent/pw: No such file or directory"},
        {{"encrypt", "--password-env", "SIPCRYPT_UNSET_VARIABLE", "v"}, {}, 1, "is not set"},
        {{"encrypt", "--password-env", "PW", "v"},
         {{"PW", "\xFF"}},
         1,
         "password: the text is not valid UTF-8"},
        {{"encrypt", "v"}, {}, 2, "no password given"},
        {{"encrypt", "--password-env", "PW", "--password-file", "f", "v"},
         {{"PW", "x"}},
         2,
         "--password-file excludes --password-env"},
        {{"encrypt", "--password-env", "PW", "--encoding", "NO-SUCH", "v"},
         {{"PW", "x"}},
         2,
         "--encoding NO-SUCH: unknown encoding"},
        {{"accounts", "--password-env", "PW", "--input-encoding", "NO-SUCH"},
         {{"PW", "x"}},
         2,
         "--input-encoding NO-SUCH: unknown encoding"},
        {{"encrypt", "--password", "secret", "v"}, {}, 2, "unknown option '--password'"},
        {{}, {}, 2, "no command given"},
        {{"frobnicate"}, {}, 2, "unknown command 'frobnicate'"},
    };
    for (const auto& c : cases) {
        const auto r = sipcrypt(c.arguments, {}, c.environment);
        EXPECT_EQ(r.exit_status, c.status) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.message << "\n" << r.err;
    }
}

TEST(EncryptCommand, HelpAndVersionSayWhatTheyShould) {
    const auto version = sipcrypt({"--version"});
    EXPECT_EQ(version.exit_status, 0);
    EXPECT_EQ(version.out, "sipcrypt " SIPCRYPT_VERSION "\n");

    const std::pair<std::vector<std::string>, std::vector<std::string>> helps[] = {
        {{"--help"}, {"encrypt", "decrypt", "accounts", "--password-file"}},
        {{"encrypt", "--help"},
         {"--password-file FILE", "--password-env NAME", "--password-fd N", "--encoding NAME",
          "VALUE", "Examples:"}},
        {{"accounts", "--help"}, {"-i,--input FILE", "-o,--output FILE", "login"}},
    };
    for (const auto& [arguments, parts] : helps) {
        const auto r = sipcrypt(arguments);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.err, "");
        for (const auto& part : parts) EXPECT_NE(r.out.find(part), std::string::npos) << part;
    }
}

}  // namespace
}  // namespace sipcrypt::testing
