#include <gtest/gtest.h>

#include <random>
#include <string>

#include "cli_test_support.h"
#include "terminal_session.h"

namespace sipcrypt::testing {
namespace {

const std::map<std::string, std::string> secret_env = {{"SIP_KEY", "secret"}};

TEST(DecryptCommand, GivesValuesBackAndNamesRefusedLines) {
    const std::string input =
        "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ\r\n"
        "\n"
        "not base64!\n"
        "0jnzvOmGJILHQy1ZA+3QZnoRR2Ykqbj\n"       // length not a multiple of 4
        "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQAAAA\n"  // 27 bytes: not whole blocks
        "FL/3uVtBnz4=\n"                          // another password's text
        "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ";
    const auto r = sipcrypt({"decrypt", "--password-env", "SIP_KEY"}, input, secret_env);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, "sip:alice@example.com\n\n\n\n\n\nsip:alice@example.com\n");
    for (const char* expected :
         {"line 3: the text is not Base64", "line 4: the text is not Base64",
          "line 5: the text does not decode to whole 8-byte blocks", "line 6: "}) {
        EXPECT_NE(r.err.find(expected), std::string::npos) << expected << "\n" << r.err;
    }
    EXPECT_EQ(r.err.find("line 1:"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("line 2:"), std::string::npos) << r.err;

    // Values with a line break, which sipcrypt does not encrypt but another
    // program might have: "a\nb" and "a\rb" under "secret".
    const auto back = sipcrypt({"decrypt", "--password-env", "SIP_KEY"},
                               "zfvcf9XY3zY=\nBLZubBGfzS8=\n", secret_env);
    EXPECT_EQ(back.exit_status, 1);
    EXPECT_EQ(back.out, "\n\n");
    EXPECT_NE(back.err.find("line 1: the value holds a line break (LF at position 2)"),
              std::string::npos)
        << back.err;
    EXPECT_NE(back.err.find("line 2: the value holds a line break (CR at position 2)"),
              std::string::npos)
        << back.err;
}

TEST(DecryptCommand, ShowsValuesInTheirEncodingAsUtf8) {
    const std::map<std::string, std::string> env = {{"PW", "p\xC3\xA4ssw\xC3\xB6rd"}};
    // A WINDOWS-1252 value, "café", encrypted and read back both ways.
    const auto text =
        sipcrypt({"encrypt", "--password-env", "PW", "--encoding", "WINDOWS-1252", "caf\xC3\xA9"},
                 {}, env)
            .out;
    auto r = sipcrypt({"decrypt", "--password-env", "PW", "--encoding", "WINDOWS-1252",
                       text.substr(0, text.size() - 1)},
                      {}, env);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, "caf\xC3\xA9\n");
    // The byte E9 on its own is not UTF-8.
    r = sipcrypt(
        {"decrypt", "--password-env", "PW", "--encoding", "UTF-8", text.substr(0, text.size() - 1)},
        {}, env);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_NE(r.err.find("argument 1: the decrypted bytes are not valid text in the encoding"),
              std::string::npos)
        << r.err;
}

// Random values with characters from U+0001 to U+00FF, which code page 28591
// maps to the bytes 0x01 to 0xFF, under random passwords, up to the length limit.
TEST(DecryptCommand, RoundTripsRandomValuesThroughTheTool) {
    std::mt19937 random(4180);
    const auto utf8_of = [](unsigned code) {
        std::string s;
        if (code < 0x80) {
            s += static_cast<char>(code);
        } else {
            s += static_cast<char>(0xC0 | (code >> 6));
            s += static_cast<char>(0x80 | (code & 0x3F));
        }
        return s;
    };
    for (int trial = 0; trial < 6; ++trial) {
        std::string password;
        for (std::size_t i = 0, n = 1 + random() % 80; i < n; ++i) {
            password += utf8_of(0x20 + random() % 0xE0);
        }
        std::string lines;
        for (std::size_t length : {std::size_t{1}, std::size_t{3744}, std::size_t{7}}) {
            std::string value;
            for (std::size_t i = 0; i < length; ++i) {
                unsigned code = 1 + random() % 0xFF;
                if (code == '\n' || code == '\r') code = 'x';
                value += utf8_of(code);
            }
            lines += value + "\n";
        }
        for (int i = 0; i < 100; ++i) {
            std::string value;
            for (std::size_t k = 0, n = 1 + random() % 40; k < n; ++k) {
                value += utf8_of(0x80 + random() % 0x80);
            }
            lines += value + "\n";
        }
        const std::map<std::string, std::string> env = {{"PW", password}};
        const std::vector<std::string> latin1 = {"--password-env", "PW", "--encoding", "CP28591"};
        std::vector<std::string> encrypt = {"encrypt"}, decrypt = {"decrypt"};
        encrypt.insert(encrypt.end(), latin1.begin(), latin1.end());
        decrypt.insert(decrypt.end(), latin1.begin(), latin1.end());
        const auto encrypted = sipcrypt(encrypt, lines, env);
        ASSERT_EQ(encrypted.exit_status, 0) << encrypted.err;
        const auto decrypted = sipcrypt(decrypt, encrypted.out, env);
        ASSERT_EQ(decrypted.exit_status, 0) << decrypted.err;
        EXPECT_EQ(decrypted.out, lines);
    }
}

}  // namespace
}  // namespace sipcrypt::testing

namespace sipcrypt::testing {
namespace {

// A decrypted value must not drive the terminal that shows it: there, C0,
// DEL and C1 controls are shown escaped and every backslash doubled, so that
// what is shown reads back to one value; a pipe or a file gets the bytes.
// The same for every cell of a file of accounts.
TEST(DecryptCommand, ControlCharactersAreEscapedOnATerminalOnly) {
    const TempFile password("secret\n");
    const std::string header = "name,login,password,proxy,outbound_proxy\n";
    const TempFile accounts(header + "\"\x1B]0;t\x07\",V1AG/4iyhmYz+ooJiJ6esA==,,,\n");
    struct Case {
        std::string text, shown, bytes;
    };
    const Case cases[] = {
        {"V1AG/4iyhmYz+ooJiJ6esA==", "a\\x1B[31mred\\\\x", "a\x1B[31mred\\x"},
        {"/nkYmv1BemE=", "a\\u009B31m",
         "a\xC2\x9B"
         "31m"},                                   // CSI, in one C1 character
        {"XtHlLK9MvZU=", "C:\\\\x1B", "C:\\x1B"},  // no control: a backslash
        {"-i", "\"\\x1B]0;t\\x07\",a\\x1B[31mred\\\\x,,,",
         header + "\"\x1B]0;t\x07\",a\x1B[31mred\\x,,,"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> command = {"decrypt",    "--password-file", password.path(),
                                            "--encoding", "UTF-8",           c.text};
        if (c.text == "-i") {
            command[0] = "accounts";
            command.insert(command.begin() + 1, "--decrypt");
            command.push_back(accounts.path());
        }
        TerminalSession terminal(command);
        EXPECT_EQ(terminal.next_event(), "exited 0");
        const std::string& screen = terminal.finish();
        EXPECT_NE(screen.find(c.shown + "\r\n"), std::string::npos) << screen;
        EXPECT_EQ(screen.find('\x1B'), std::string::npos) << screen;
        EXPECT_EQ(screen.find("\xC2\x9B"), std::string::npos) << screen;
        EXPECT_NE(screen.find("shown escaped"), std::string::npos) << screen;

        const auto piped = sipcrypt(command);
        EXPECT_EQ(piped.out, c.bytes + "\n");
        EXPECT_EQ(piped.err, "");
    }
}

}  // namespace
}  // namespace sipcrypt::testing
