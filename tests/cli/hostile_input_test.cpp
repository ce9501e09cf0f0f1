// Input as it comes from Windows editors, PowerShell, scripts and odd
// descriptors: nothing is lost, nothing changed unseen, and every refusal
// names what and where, in the tool's own voice.
#include <gtest/gtest.h>

#include <string>

#include "cli_test_support.h"

namespace sipcrypt::testing {
namespace {

const std::map<std::string, std::string> secret_env = {{"SIP_KEY", "secret"}};
// Under "secret": alice, b, c, d, and "sip:alice@example.com".
const std::string alice = "QPJLUKCpC3c=";
const std::string b = "9/7rnzksAxg=", c = "Gxos3GrD4a8=", d = "6FE5TAxsEao=";
const std::string sip_alice = "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ";
const std::string bom = "\xEF\xBB\xBF";
const std::string header = "login,password,proxy,outbound_proxy";

std::string shell(const std::string& command_line) {
    return std::string(SIPCRYPT_BINARY) + " " + command_line;
}

struct Case {
    std::string name;
    std::vector<std::string> arguments;  // after the binary; "sh:" runs a shell line
    std::string input;
    int status;
    std::string out;
    std::string message;  // a part of standard error; "" for none at all
};

void check(const Case& c, const std::map<std::string, std::string>& environment = secret_env) {
    SCOPED_TRACE(c.name);
    const bool through_shell = !c.arguments.empty() && c.arguments[0] == "sh:";
    const auto r = through_shell
                       ? run_process("/bin/sh", {"-c", shell(c.arguments[1])}, c.input, environment)
                       : sipcrypt(c.arguments, c.input, environment);
    EXPECT_EQ(r.exit_status, c.status) << r.err;
    EXPECT_EQ(r.out, c.out);
    if (c.message.empty()) {
        EXPECT_EQ(r.err, "");
    } else {
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    // Every line on standard error is the tool's own.
    for (std::size_t at = 0; at < r.err.size(); at = r.err.find('\n', at) + 1) {
        EXPECT_EQ(r.err.compare(at, 10, "sipcrypt: "), 0) << r.err;
    }
}

TEST(HostileInput, PasswordSourcesReadTheirLineAndNothingElse) {
    const TempFile bom_crlf(bom + "secret\r\n");
    const TempFile with_zero(std::string("sec\0ret\n", 8));
    const TempFile long_line(std::string(65537, 'p') + "\n");
    const TempFile longest(std::string(65536, 'p') + "\n");
    const TempFile cr_at_end("secret\r");
    const TempFile half_utf16(std::string("\xFF\xFEs\0e\0c", 7));
    const Case cases[] = {
        // A CR that ends the input ends no line: it is the password's.
        {"a CR at the end of a file",
         {"encrypt", "--password-file", cr_at_end.path(), "alice"},
         "",
         1,
         "",
         "the password holds a line break (CR at position 7)"},
        {"a CR at the end of a descriptor",
         {"sh:", "encrypt --password-fd 3 alice 3<" + cr_at_end.path()},
         "",
         1,
         "",
         "the password holds a line break (CR at position 7)"},
        {"UTF-16 that ends in half a character",
         {"encrypt", "--password-file", half_utf16.path(), "alice"},
         "",
         1,
         "",
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
        {"a byte-order mark and CRLF, as Notepad saves",
         {"encrypt", "--password-file", bom_crlf.path(), "alice"},
         "",
         0,
         alice + "\n",
         ""},
        {"a zero byte",
         {"encrypt", "--password-file", with_zero.path(), "alice"},
         "",
         1,
         "",
         "password: the password holds a zero byte"},
        {"a line over the limit, from a file",
         {"encrypt", "--password-file", long_line.path(), "alice"},
         "",
         1,
         "",
         "the line is longer than 65536 bytes"},
        {"a line over the limit, from a descriptor",
         {"sh:", "encrypt --password-fd 3 alice 3<" + long_line.path()},
         "",
         1,
         "",
         "--password-fd 3: the line is longer than 65536"},
        {"a line at the limit",
         {"encrypt", "--password-file", longest.path(), "alice"},
         "",
         0,
         "",
         "warning: the password is longer than 72 bytes"},
    };
    for (const auto& c : cases) {
        if (c.name == "a line at the limit") {
            const auto r = sipcrypt(c.arguments);
            EXPECT_EQ(r.exit_status, 0) << r.err;
            EXPECT_EQ(r.out.size(), 13u);
            continue;
        }
        check(c);
    }
}

TEST(HostileInput, PasswordsTheDecryptingSideCannotUseAreRefused) {
    for (const auto& [value, message] : std::vector<std::pair<std::string, std::string>>{
             {"secret\r",
              "the password holds a line break (CR at position 7), often one left "
              "by a Windows line end"},
             {"secret\n", "the password holds a line break (LF at position 7)"},
             {"sec\rret", "(CR at position 4)"}}) {
        check({"environment " + value,
               {"encrypt", "--password-env", "SIP_KEY", "alice"},
               "",
               1,
               "",
               message},
              {{"SIP_KEY", value}});
    }
    // The 72-byte warning: 72 count whole, 73 do not.
    for (const std::size_t length : {72u, 73u}) {
        const auto r = sipcrypt({"encrypt", "--password-env", "SIP_KEY", "alice"}, {},
                                {{"SIP_KEY", std::string(length, 'k')}});
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.err.find("72 bytes") != std::string::npos, length == 73) << length;
    }
}

TEST(HostileInput, ValuesKeepTheirLinesAndNeverHoldALineBreak) {
    const Case cases[] = {
        {"a byte-order mark before the first value",
         {"encrypt", "--password-env", "SIP_KEY"},
         bom + "alice\r\nb\r\n",
         0,
         alice + "\n" + b + "\n",
         ""},
        {"a byte-order mark before a text",
         {"decrypt", "--password-env", "SIP_KEY"},
         bom + sip_alice + "\r\n",
         0,
         "sip:alice@example.com\n",
         ""},
        {"a lone CR in a line",
         {"encrypt", "--password-env", "SIP_KEY"},
         "a\rb\rc\nalice\n",
         1,
         "\n" + alice + "\n",
         "line 1: the value holds a line break (CR at position 2); a value is one line"},
        {"a CR that ends the input",
         {"encrypt", "--password-env", "SIP_KEY"},
         "alice\n\r",
         1,
         alice + "\n\n",
         "line 2: the value holds a line break (CR at position 1)"},
        {"a line break in an argument",
         {"encrypt", "--password-env", "SIP_KEY", "a\nb", "alice"},
         "",
         1,
         "\n" + alice + "\n",
         "argument 1: the value holds a line break (LF at position 2)"},
        {"a lone CR in a CSV",
         {"accounts", "--password-env", "SIP_KEY"},
         header + "\nalice,b,c,d\rx,b,c,d\n",
         1,
         "",
         "standard input: row 2: a carriage return (CR) that is not part of a line end"},
        {"a line break in an encrypted cell",
         {"accounts", "--password-env", "SIP_KEY"},
         header + "\n\"a\nb\",b,c,d\n",
         1,
         "",
         "row 2, column 'login': the value holds a line break (LF at position 2)"},
        // PowerShell's Export-Csv: a byte-order mark, a #TYPE line, and every
        // cell quoted; written back the same way.
        {"CSV from PowerShell",
         {"accounts", "--password-env", "SIP_KEY"},
         bom + "#TYPE System.Management.Automation.PSCustomObject\r\n\"login\",\"password\","
               "\"proxy\",\"outbound_proxy\"\r\n\"alice\",\"b\",\"c\",\"\"\r\n",
         0,
         bom +
             "#TYPE System.Management.Automation.PSCustomObject\r\n\"login\",\"password\","
             "\"proxy\",\"outbound_proxy\"\r\n\"" +
             alice + "\",\"" + b + "\",\"" + c + "\",\"\"\r\n",
         ""},
        // Excel's sep= first line, kept; semicolons found from the header.
        {"a sep= line",
         {"accounts", "--password-env", "SIP_KEY"},
         "sep=;\nlogin;password;proxy;outbound_proxy\nalice;b;c;d\n",
         0,
         "sep=;\nlogin;password;proxy;outbound_proxy\n" + alice + ";" + b + ";" + c + ";" + d +
             "\n",
         ""},
        {"a header separated by semicolons",
         {"accounts", "--password-env", "SIP_KEY"},
         "name;login;password;proxy;outbound_proxy\n\"Smith, Anna\";alice;;;\n",
         0,
         "name;login;password;proxy;outbound_proxy\n\"Smith, Anna\";" + alice + ";;;\n",
         ""},
        // A byte-order mark that a pipe hands over a byte at a time.
        {"a byte-order mark in pieces",
         {"sh:",
          "--version > /dev/null; { printf '\\357'; sleep 0.2; printf "
          "'\\273'; sleep 0.2; printf '\\277login,password,proxy,outbound_proxy\\nalice,,,\\n'; } "
          "| " +
              shell("accounts --password-env SIP_KEY")},
         "",
         0,
         bom + header + "\n" + alice + ",,,\n",
         ""},
        // Each row keeps its own line end; blank lines go; a last row without
        // one gets the line end before it.
        {"mixed line ends",
         {"accounts", "--password-env", "SIP_KEY"},
         header + "\r\nalice,,,\n\nb,,,\r\nc,,,",
         0,
         header + "\r\n" + alice + ",,,\n" + b + ",,,\r\n" + c + ",,,\r\n",
         ""},
    };
    for (const auto& c : cases) check(c);
}

TEST(HostileInput, BadCsvIsRefusedSoonWithWhatAndWhere) {
    const char utf16_half[] =
        "\xFF\xFEl\0o\0g\0i\0n\0,\0p\0a\0s\0s\0w\0o\0r\0d\0,\0p\0r\0o\0x\0y\0,\0o\0u\0t\0b\0o\0u\0n"
        "\0d\0_\0p\0r\0o\0x\0y\0\n\0a\0,\0,\0,\0d";
    const std::string open_quote = header + "\nalice,\"b,c,d\n" + std::string(1 << 20, 'x');
    const Case cases[] = {
        {"a quote that never closes",
         {"accounts", "--password-env", "SIP_KEY"},
         open_quote,
         1,
         "",
         "row 2: a field is longer than 65536 bytes; is a quote left open?"},
        {"a header with spaces and case",
         {"accounts", "--password-env", "SIP_KEY"},
         "login, password,Proxy,outbound_proxy\n",
         1,
         "",
         "row 1: the header has no columns 'password', 'proxy' (it needs login, password, proxy "
         "and outbound_proxy; found 'login', ' password', 'Proxy', 'outbound_proxy'; ' password' "
         "has spaces around it; names must match exactly; 'Proxy' differs from 'proxy' in case"},
        {"a header separated by bars",
         {"accounts", "--password-env", "SIP_KEY"},
         "login|password|proxy|outbound_proxy\n",
         1,
         "",
         "the header looks separated by '|', but fields are separated by commas, semicolons or "
         "tabs"},
        {"a header that two separators would read",
         {"accounts", "--password-env", "SIP_KEY"},
         header + ",x;login;password;proxy;outbound_proxy\n",
         1,
         "",
         "row 1: the header names the columns whether it is read with commas, semicolons or tabs"},
        {"a row with more fields than the header",
         {"accounts", "--password-env", "SIP_KEY"},
         header + "\nalice,b,c,d,e\n",
         1,
         "",
         "row 2: it has 5 fields where the header has 4"},
        // Rows as a spreadsheet counts them, the line where they differ.
        {"a line break in a quoted cell, and a bad row after it",
         {"accounts", "--password-env", "SIP_KEY"},
         "note," + header + "\n\"two\nlines\",a,b,c,d\n\nx,y\n",
         1,
         "",
         "row 4 (line 5): it has 2 fields where the header has 5"},
        // Header cells reach the message escaped: they cannot drive the terminal.
        {"control characters in the header",
         {"accounts", "--password-env", "SIP_KEY"},
         "log\x1B]0;owned\x07in,pass\\word,proxy,outbound_proxy\n",
         1,
         "",
         "found 'log\\x1B]0;owned\\x07in', 'pass\\\\word', 'proxy', 'outbound_proxy'"},
        {"a file in a Windows code page",
         {"accounts", "--password-env", "SIP_KEY"},
         "name," + header + "\nJ\xFCrgen,a,,,\nZo\xEB,b,,,\nplain,c,,,\n",
         1,
         "",
         "standard input: the file is not UTF-8: row 2, column 'name', byte 0xFC at position 2 "
         "first, and 2 rows in all; saved in a Windows code page? try --input-encoding "
         "WINDOWS-1252"},
        {"UTF-16 that ends in half a character",
         {"accounts", "--password-env", "SIP_KEY"},
         std::string(utf16_half, sizeof utf16_half - 1),
         1,
         "",
         "the file is not UTF-16 text, though it begins with a mark for it: row 2, column "
         "'outbound_proxy', half a character or half a surrogate pair first, and 1 row in all\n"},
        {"standard input closed",
         {"sh:", "accounts --password-env SIP_KEY <&-"},
         "",
         1,
         "",
         "standard input: Bad file descriptor"},
    };
    for (const auto& c : cases) check(c);
    const auto closed = run_process("/bin/sh", {"-c", shell("accounts --password-env SIP_KEY <&-")},
                                    {}, secret_env);
    EXPECT_EQ(closed.err.find("empty"), std::string::npos) << closed.err;
}

TEST(HostileInput, UsageErrorsSpeakInTheToolsVoice) {
    const Case cases[] = {
        {"negative descriptor",
         {"encrypt", "--password-fd", "-1", "x"},
         "",
         2,
         "",
         "--password-fd: '-1' is not a file descriptor number"},
        {"option given twice",
         {"encrypt", "--encoding", "A", "--encoding", "B", "x"},
         "",
         2,
         "",
         "--encoding is given more than once"},
        {"unknown option", {"--frob"}, "", 2, "", "unknown option '--frob'"},
        {"stray argument",
         {"accounts", "--password-env", "SIP_KEY", "extra"},
         "",
         2,
         "",
         "unexpected argument 'extra'"},
        {"option without its value",
         {"encrypt", "--password-env"},
         "",
         2,
         "",
         "--password-env: 1 required NAME missing"},
        {"empty variable name",
         {"encrypt", "--password-env", "", "x"},
         "",
         2,
         "",
         "--password-env: an empty variable name"},
        {"empty file name",
         {"accounts", "--password-env", "SIP_KEY", "-o", ""},
         "",
         2,
         "",
         "--output: an empty file name"},
        {"UTF-16",
         {"encrypt", "--password-env", "SIP_KEY", "--encoding", "UTF-16", "x"},
         "",
         2,
         "",
         "--encoding UTF-16: this encoding puts zero bytes into plain text"},
        {"- for both ends",
         {"accounts", "--password-env", "SIP_KEY", "-i", "-", "-o", "-"},
         header + "\nalice,,,\n",
         0,
         header + "\n" + alice + ",,,\n",
         ""},
        {"help into a full disk",
         {"sh:", "--help > /dev/full"},
         "",
         1,
         "",
         "standard output: No space left on device"},
        {"version into a full disk",
         {"sh:", "--version > /dev/full"},
         "",
         1,
         "",
         "standard output: No space left on device"},
    };
    for (const auto& c : cases) check(c);
}

// Standard input opened non-blocking by whoever started the tool, with the
// input arriving late: the tool waits instead of failing.
TEST(HostileInput, NonBlockingInputIsWaitedFor) {
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
