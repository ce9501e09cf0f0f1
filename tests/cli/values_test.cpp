// encrypt and decrypt as users run them: each argument or line gives one
// line, a refusal names its place and the rest go on, and what the
// decrypting side could not use never passes.
#include <random>
#include <string>

#include "cli_test_support.h"
#include "terminal_session.h"

namespace sipcrypt::testing {
namespace {

const std::vector<std::string> encrypt = {"encrypt", "--password-env", "SIP_KEY"};
const std::vector<std::string> decrypt = {"decrypt", "--password-env", "SIP_KEY"};
const std::map<std::string, std::string> utf8_env = {{"SIP_KEY", "secret"},
                                                     {"SIPCRYPT_ENCODING", "UTF-8"}};

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

// Texts under "secret" of "a\nb" and "a\rb", which sipcrypt does not encrypt
// but another program might have.
const std::string a_lf_b = "zfvcf9XY3zY=", a_cr_b = "BLZubBGfzS8=";

TEST(Values, EachInputGivesOneLineAndRefusalsNameTheirPlace) {
    const std::string cafe = "caf\xC3\xA9";
    const std::string cafe_text = sipcrypt(with(encrypt, {cafe}), "", utf8_env).out;
    const Case cases[] = {
        {"arguments, one empty",
         with(encrypt, {"sip:alice@example.com", "", "sip:alice@example.com"}), "", 0,
         sip_alice + "\n\n" + sip_alice + "\n", ""},
        {"each line ends as it came, a last one without as the one before", encrypt,
         "sip:alice@example.com\r\n\nsip:alice@example.com", 0,
         sip_alice + "\r\n\n" + sip_alice + "\n", ""},
        {"no input, no output", encrypt, "", 0, "", ""},
        {"values from a file", with(encrypt, {"-i", "/dev/stdin"}), "alice\r\nb\n", 0,
         alice + "\r\n" + b + "\n", ""},
        {"a missing file of values", with(encrypt, {"-i", "/nonexistent/values.txt"}), "", 1, "",
         "/nonexistent/values.txt: No such file or directory"},
        {"refused lines, and the rest", encrypt,
         "sip:alice@example.com\n" + std::string(3745, 'v') + "\n" + std::string("a\0b\n", 4) +
             cafe + "\n\xFF\n" + std::string(200000, 'h') + "\nsip:alice@example.com\n",
         1, sip_alice + "\n\n\n" + cafe_text + "\n\n" + sip_alice + "\n",
         "line 2: the value is longer than 3744 bytes\nsipcrypt: line 3: the value holds a zero "
         "byte, which the decrypting side takes as its end\nsipcrypt: line 5: the text is not "
         "valid UTF-8: byte 0xFF at position 1\nsipcrypt: line 6: the value is longer than 3744 "
         "bytes\n",
         utf8_env},
        {"a value ASCII cannot hold", with(encrypt, {"--encoding", "ASCII", "ok", cafe}), "", 1,
         "dE7xdKVqaNQ=\n\n",
         "argument 2: character U+00E9 at position 4 cannot be represented in ASCII"},
        {"a byte-order mark before the first value", encrypt, bom + "alice\r\nb\r\n", 0,
         alice + "\r\n" + b + "\r\n", ""},
        {"UTF-16 with its mark, as PowerShell 5.1 pipes it", encrypt,
         std::string("\xFF\xFE"
                     "a\0l\0i\0c\0e\0\r\0\n\0b\0",
                     18),
         0, alice + "\r\n" + b + "\r\n", ""},
        {"UTF-16 that ends in half a character", encrypt,
         std::string("\xFF\xFE"
                     "a\0l",
                     5),
         1, "",
         "standard input: the text is UTF-16 (it begins with a byte-order mark) and ends in half a "
         "character"},
        {"a lone CR in a line", encrypt, "a\rb\rc\nalice\n", 1, "\n" + alice + "\n",
         "line 1: the value holds a line break (CR at position 2); a value is one line"},
        {"a CR that ends the input", encrypt, "alice\n\r", 1, alice + "\n\n",
         "line 2: the value holds a line break (CR at position 1)"},
        {"a CR that ends a line of the longest length", encrypt, std::string(65535, 'x') + "\r", 1,
         "\n", "line 1: the value holds a line break (CR at position 65536)"},
        {"a line break in an argument", with(encrypt, {"a\nb", "alice"}), "", 1,
         "\n" + alice + "\n", "argument 1: the value holds a line break (LF at position 2)"},
        {"texts back to their values", decrypt,
         sip_alice + "\r\n\nnot base64!\n0jnzvOmGJILHQy1ZA+3QZnoRR2Ykqbj\n" + sip_alice +
             "AAAA\nFL/3uVtBnz4=\n" + sip_alice,
         1, "sip:alice@example.com\r\n\n\n\n\n\nsip:alice@example.com\n",
         "line 3: the text is not Base64\nsipcrypt: line 4: the text is not Base64\nsipcrypt: "
         "line 5: the text does not decode to whole 8-byte blocks\nsipcrypt: line 6: "},
        {"values that hold a line break", decrypt, a_lf_b + "\n" + a_cr_b + "\n", 1, "\n\n",
         "line 1: the value holds a line break (LF at position 2); a value is one line\nsipcrypt: "
         "line 2: the value holds a line break (CR at position 2)"},
        {"a byte-order mark before a text", decrypt, bom + sip_alice + "\r\n", 0,
         "sip:alice@example.com\r\n", ""},
        {"a zero byte in a text", decrypt, std::string("0jnz\0OmG\n", 9) + sip_alice + "\n", 1,
         "\nsip:alice@example.com\n", "line 1: the text is not Base64"},
        {"a huge line to decrypt", decrypt, std::string(1 << 20, 'A') + "\n" + sip_alice + "\n", 1,
         "\nsip:alice@example.com\n", "line 1: the text is longer than 4992 characters"},
        {"a text one character too long", decrypt, std::string(4996, 'A') + "\n", 1, "\n",
         "line 1: the text is longer than 4992"},
        {"a value in WINDOWS-1252 read as UTF-8",
         with(decrypt, {"--encoding", "UTF-8", "aOGybgf/mSs="}), "", 1, "\n",
         "argument 1: the decrypted bytes are not valid text in the encoding (UTF-8)"},
        {"no encoding chosen: the hint once, with the real settings file",
         encrypt,
         cafe + "\n" + cafe,
         1,
         "\n\n",
         "line 2: character U+00E9 at position 4 is not ASCII, and no encoding is chosen\n"
         "sipcrypt: hint: choose the encoding the decrypting program reads with --encoding NAME, "
         "SIPCRYPT_ENCODING=NAME or a line encoding=NAME in /nonexistent/sipcrypt/sipcrypt.conf",
         {{"SIP_KEY", "secret"}, {"XDG_CONFIG_HOME", "/nonexistent"}}},
        {"output that cannot be written",
         {"sh:", "encrypt --password-env SIP_KEY a b c > /dev/full"},
         "",
         1,
         "",
         "standard output: No space left on device"},
        {"standard output open for reading only, found first",
         {"sh:", "encrypt --password-env SIP_KEY a 1</dev/null"},
         "",
         1,
         "",
         "standard output: not open for writing"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = check(c);
        if (c.name == "no encoding chosen: the hint once, with the real settings file") {
            EXPECT_EQ(r.err.find("hint"), r.err.rfind("hint")) << r.err;
        }
    }
}

TEST(Values, WhatTheDecryptingSideCannotUseIsNeverTaken) {
    const Folder folder;
    const std::string with_zero = folder.write("zero", std::string("sec\0ret\n", 8));
    const std::string long_line = folder.write("long", std::string(65537, 'p') + "\n");
    const std::string longest = folder.write("longest", std::string(65536, 'p') + "\n");
    const std::string cr_at_end = folder.write("cr", "secret\r");
    const std::string half_utf16 = folder.write("half", std::string("\xFF\xFEs\0e\0c", 7));
    const std::string bom_crlf = folder.write("bom", bom + "secret\r\n");
    const std::string empty_line = folder.write("empty", "\nsecret\n");
    const auto file = [](const std::string& path) {
        return std::vector<std::string>{"encrypt", "--password-file", path, "alice"};
    };
    const Case cases[] = {
        // A CR that ends the input ends no line: it is the password's.
        {"a CR at the end of a file", file(cr_at_end), "", 1, "",
         "the password holds a line break (CR at position 7)"},
        {"a CR at the end of a descriptor",
         {"sh:", "encrypt --password-fd 3 alice 3<" + cr_at_end},
         "",
         1,
         "",
         "the password holds a line break (CR at position 7)"},
        {"UTF-16 that ends in half a character", file(half_utf16), "", 1, "",
         "ends in half a character"},
        // A password file that is a pipe shares it with the values that follow.
        {"/dev/stdin as the file",
         {"encrypt", "--password-file", "/dev/stdin"},
         "secret\nalice\nb\n",
         0,
         alice + "\n" + b + "\n",
         ""},
        {"- as the file",
         {"encrypt", "--password-file", "-"},
         "secret\r\nalice\n",
         0,
         alice + "\n",
         ""},
        {"a byte-order mark and CRLF, as Notepad saves", file(bom_crlf), "", 0, alice + "\n", ""},
        {"a zero byte", file(with_zero), "", 1, "", "password: the password holds a zero byte"},
        {"a line over the limit, from a file", file(long_line), "", 1, "",
         "the line is longer than 65536 bytes"},
        {"a line over the limit, from a descriptor",
         {"sh:", "encrypt --password-fd 3 alice 3<" + long_line},
         "",
         1,
         "",
         "--password-fd 3: the line is longer than 65536"},
        {"a line at the limit", file(longest), "", 0, "XoU8SjaUu2o=\n",
         "warning: the password is longer than 72 bytes"},
        {"an empty first line", file(empty_line), "", 1, "", "password: the password is empty"},
        {"a missing file", file("/nonexistent/pw"), "", 1, "",
         "--password-file /nonexistent/pw: No such file or directory"},
        {"a folder as the descriptor",
         {"sh:", "encrypt --password-fd 3 x 3</"},
         "",
         1,
         "",
         "--password-fd 3: Is a directory"},
        {"a variable that is not set",
         {"encrypt", "--password-env", "SIPCRYPT_UNSET", "v"},
         "",
         1,
         "",
         "is not set"},
        {"a password that is not UTF-8",
         {"encrypt", "--password-env", "PW", "v"},
         "",
         1,
         "",
         "password: the text is not valid UTF-8",
         {{"PW", "\xFF"}}},
        {"a Windows line end left in a variable",
         with(encrypt, {"alice"}),
         "",
         1,
         "",
         "password: the password holds a line break (CR at position 7), often one left by a "
         "Windows line end",
         {{"SIP_KEY", "secret\r"}}},
        {"an LF in a variable",
         with(encrypt, {"alice"}),
         "",
         1,
         "",
         "the password holds a line break (LF at position 7)",
         {{"SIP_KEY", "secret\n"}}},
        {"a CR inside a variable",
         with(encrypt, {"alice"}),
         "",
         1,
         "",
         "(CR at position 4)",
         {{"SIP_KEY", "sec\rret"}}},
        // The 72-byte warning: 72 count whole, 73 do not.
        {"72 bytes",
         with(encrypt, {"alice"}),
         "",
         0,
         "urn7oxx8YSc=\n",
         "",
         {{"SIP_KEY", std::string(72, 'k')}}},
        {"73 bytes",
         with(encrypt, {"alice"}),
         "",
         0,
         "urn7oxx8YSc=\n",
         "only its first 72 bytes count",
         {{"SIP_KEY", std::string(73, 'k')}}},
    };
    for (const auto& c : cases) check(c);
}

TEST(Values, EncodingsGiveTheirOwnBytes) {
    const std::map<std::string, std::string> env = {{"PW", "p\xC3\xA4ssw\xC3\xB6rd"}};
    const Folder folder;
    const std::string crlf_file = folder.write("crlf", "p\xC3\xA4ssw\xC3\xB6rd\r\nsecond line\n");
    const std::string no_newline = folder.write("plain", "p\xC3\xA4ssw\xC3\xB6rd");
    const std::string value = "proxy.example.net:5060";
    const Case cases[] = {
        {"a CRLF password file",
         {"encrypt", "--password-file", crlf_file, value},
         "",
         0,
         "2XhUY0oK6VHgOQvLDYKBExfYdItYcQE6\n",
         "",
         {{"SIPCRYPT_ENCODING", "UTF-8"}}},
        {"a password file without LF",
         {"encrypt", "--password-file", no_newline, value},
         "",
         0,
         "2XhUY0oK6VHgOQvLDYKBExfYdItYcQE6\n",
         "",
         {{"SIPCRYPT_ENCODING", "UTF-8"}}},
        {"the password in WINDOWS-1252",
         {"encrypt", "--password-env", "PW", "--encoding", "WINDOWS-1252", value},
         "",
         0,
         "4q5+6v/qpNquJI6cFw9T5sp2ObtsHG7N\n",
         "",
         env},
        {"café back in WINDOWS-1252",
         {"decrypt", "--password-env", "PW", "--encoding", "WINDOWS-1252", "GQeXUffhkPw="},
         "",
         0,
         "caf\xC3\xA9\n",
         "",
         env},
    };
    for (const auto& c : cases) check(c);
}

// Random values with characters from U+0001 to U+00FF, which code page 28591
// maps to the bytes 0x01 to 0xFF, under random passwords, up to the length limit.
TEST(Values, RandomValuesComeBackThroughTheTool) {
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
        const auto encrypted = sipcrypt(with({"encrypt"}, latin1), lines, env);
        ASSERT_EQ(encrypted.exit_status, 0) << encrypted.err;
        const auto decrypted = sipcrypt(with({"decrypt"}, latin1), encrypted.out, env);
        ASSERT_EQ(decrypted.exit_status, 0) << decrypted.err;
        EXPECT_EQ(decrypted.out, lines);
    }
}

// A decrypted value must not drive the terminal that shows it: there, C0,
// DEL and C1 controls are shown escaped and every backslash doubled, so that
// what is shown reads back to one value; a pipe or a file gets the bytes.
// The same for every cell of a file of accounts, whatever its encoding.
TEST(Values, ControlCharactersAreEscapedOnATerminalOnly) {
    const Folder folder;
    const std::string password = folder.write("pw", "secret\n");
    const std::string accounts = folder.write(
        "a.csv", "name," + header + "\n\"\x1B]0;t\x07\",V1AG/4iyhmYz+ooJiJ6esA==,,,\n");
    // The ordinary characters U+5B1B U+4A32 would reach a terminal as ESC[2J
    // if UTF-16 went to it as it is.
    const char utf16_bytes[] =
        "\xFF\xFEx\0,\0l\0o\0g\0i\0n\0,\0p\0a\0s\0s\0w\0o\0r\0d\0,\0p\0r\0o\0x\0y\0,\0o\0u\0t\0"
        "b\0o\0u\0n\0d\0_\0p\0r\0o\0x\0y\0\n\0\x1B\x5B\x32\x4A,\0,\0,\0,\0\n\0";
    const std::string utf16 =
        folder.write("u.csv", std::string(utf16_bytes, sizeof utf16_bytes - 1));
    struct Row {
        std::string text, shown, bytes;
    };
    const Row rows[] = {
        {"V1AG/4iyhmYz+ooJiJ6esA==", "a\\x1B[31mred\\\\x", "a\x1B[31mred\\x"},
        {"/nkYmv1BemE=", "a\\u009B31m",
         "a\xC2\x9B"
         "31m"},                                   // CSI, in one C1 character
        {"XtHlLK9MvZU=", "C:\\\\x1B", "C:\\x1B"},  // no control: a backslash
        {"gnXZSERoGEs=", "a\\x7F", "a\x7F"},       // DEL
        {accounts, "\"\\x1B]0;t\\x07\",a\\x1B[31mred\\\\x,,,",
         "name," + header + "\n\"\x1B]0;t\x07\",a\x1B[31mred\\x,,,"},
        {utf16, "\xE5\xAC\x9B\xE4\xA8\xB2,,,,", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::vector<std::string> command = {"decrypt",    "--password-file", password,
                                            "--encoding", "UTF-8",           row.text};
        if (row.text.rfind(folder / "", 0) == 0)
            command = {"accounts", "--decrypt", "--password-file", password, "-i", row.text};
        TerminalSession terminal(command);
        EXPECT_EQ(terminal.next_event(), "exited 0");
        const std::string& screen = terminal.finish();
        EXPECT_NE(screen.find(row.shown + "\r\n"), std::string::npos) << screen;
        EXPECT_EQ(screen.find('\x1B'), std::string::npos) << screen;
        EXPECT_EQ(screen.find("\xC2\x9B"), std::string::npos) << screen;
        if (row.bytes.empty()) continue;
        EXPECT_NE(screen.find("shown escaped"), std::string::npos) << screen;
        const auto piped = sipcrypt(command);
        EXPECT_EQ(piped.out, row.bytes + "\n");
        EXPECT_EQ(piped.err, "");
    }
}

// Standard input opened non-blocking by whoever started the tool, with the
// input arriving late: the tool waits instead of failing.
TEST(Values, NonBlockingInputIsWaitedFor) {
    for (const auto& [command, expected] :
         {std::pair<std::string, std::string>{"encrypt", alice + "\n" + b + "\n"},
          std::pair<std::string, std::string>{"accounts", header + "\n" + alice + ",,,\n"}}) {
        ProcessSetup setup;
        setup.environment = secret_env;
        setup.nonblocking_input = true;
        ChildProcess child(SIPCRYPT_BINARY, {command, "--password-env", "SIP_KEY"}, setup);
        ::usleep(100 * 1000);
        child.write_input(command == "encrypt" ? "alice\n" : header + "\n");
        ::usleep(100 * 1000);
        child.write_input(command == "encrypt" ? "b\n" : "alice,,,\n");
        const auto r = child.wait();
        EXPECT_EQ(r.exit_status, 0) << r.err;
        EXPECT_EQ(r.out, expected);
    }
}

}  // namespace
}  // namespace sipcrypt::testing
