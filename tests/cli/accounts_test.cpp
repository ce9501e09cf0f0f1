// accounts as users run it on the files that spreadsheets, PowerShell and
// scripts write: four columns encrypted or decrypted, everything else and
// the file's shape as they came, all rows or nothing.
#include <string>

#include "cli_test_support.h"
#include "terminal_session.h"

namespace sipcrypt::testing {
namespace {

const std::vector<std::string> accounts = {"accounts", "--password-env", "SIP_KEY"};
const std::string h = header + "\n";

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

std::string utf16le(const std::string& ascii) {
    std::string bytes;
    for (const char c : ascii) bytes += std::string{c, '\0'};
    return bytes;
}

std::string encrypted(const std::string& value) {
    const auto r = sipcrypt({"encrypt", "--password-env", "SIP_KEY", value}, {}, secret_env);
    return r.out.substr(0, r.out.size() - 1);
}

TEST(Accounts, EncryptsTheFourColumnsAndKeepsTheFilesShape) {
    const std::string proxy = encrypted("proxy.example.net");
    const std::string many =
        "name,outbound_proxy,login,note,password,proxy\r\n"
        "Alice,,alice,\"multi\nline, \"\"quoted\"\"\",\"pa,ss\",proxy.example.net\r\n"
        "Bob,out.example.net,bob, spaced ,s3cret,proxy.example.net";
    const Case cases[] = {
        {"other columns, quotes and line ends", accounts, many, 0,
         "name,outbound_proxy,login,note,password,proxy\r\nAlice,," + alice +
             ",\"multi\nline, \"\"quoted\"\"\",\"" + encrypted("pa,ss") + "\"," + proxy +
             "\r\nBob," + encrypted("out.example.net") + "," + encrypted("bob") + ", spaced ," +
             encrypted("s3cret") + "," + proxy,
         ""},
        {"LF stays LF, and the last row keeps having none", accounts, h + "a,,,\nb,,,", 0,
         h + encrypted("a") + ",,,\n" + b + ",,,", ""},
        // PowerShell's Export-Csv: a byte-order mark, a #TYPE line, and every
        // cell quoted; written back the same way.
        {"CSV from PowerShell", accounts,
         bom + "#TYPE System.Management.Automation.PSCustomObject\r\n\"login\",\"password\","
               "\"proxy\",\"outbound_proxy\"\r\n\"alice\",\"b\",\"c\",\"\"\r\n",
         0,
         bom +
             "#TYPE System.Management.Automation.PSCustomObject\r\n\"login\",\"password\","
             "\"proxy\",\"outbound_proxy\"\r\n\"" +
             alice + "\",\"" + b + "\",\"" + c + "\",\"\"\r\n",
         ""},
        {"Excel's sep= line, kept", accounts,
         "sep=;\nlogin;password;proxy;outbound_proxy\nalice;b;c;d\n", 0,
         "sep=;\nlogin;password;proxy;outbound_proxy\n" + alice + ";" + b + ";" + c + ";" + d +
             "\n",
         ""},
        {"semicolons found from the header", accounts,
         "name;login;password;proxy;outbound_proxy\n\"Smith, Anna\";alice;;;\n", 0,
         "name;login;password;proxy;outbound_proxy\n\"Smith, Anna\";" + alice + ";;;\n", ""},
        // A byte-order mark that a pipe hands over a byte at a time.
        {"a byte-order mark in pieces",
         {"sh:",
          "--version > /dev/null; { printf '\\357'; sleep 0.2; printf '\\273'; sleep 0.2; "
          "printf '\\277login,password,proxy,outbound_proxy\\nalice,,,\\n'; } | " +
              std::string(SIPCRYPT_BINARY) + " accounts --password-env SIP_KEY"},
         "",
         0,
         bom + h + alice + ",,,\n",
         ""},
        {"blank lines go, each row keeps its line end", accounts,
         header + "\r\nalice,,,\n\nb,,,\r\nc,,,", 0,
         header + "\r\n" + alice + ",,,\n" + b + ",,,\r\n" + c + ",,,", ""},
        {"- for both ends", with(accounts, {"-i", "-", "-o", "-"}), h + "alice,,,\n", 0,
         h + alice + ",,,\n", ""},
        {"UTF-16 without a byte-order mark, named",
         with(accounts, {"--input-encoding", "UTF-16LE"}), utf16le(h + "a,,,\n"), 0,
         utf16le(h + encrypted("a") + ",,,\n"), ""},
        {"tab-separated with backslash escapes", with(accounts, {"--format", "tsv"}),
         "login\tpassword\tproxy\toutbound_proxy\tnote\nalice\ttab\\there\t\t\tx\\ty\n", 0,
         "login\tpassword\tproxy\toutbound_proxy\tnote\n" + alice + "\t" + encrypted("tab\there") +
             "\t\t\tx\\ty\n",
         ""},
        {"a plain tab file whose cells hold escapes", accounts,
         "login\tpassword\tproxy\toutbound_proxy\nalice\ttab\\there\t\t\n", 0,
         "login\tpassword\tproxy\toutbound_proxy\n" + alice + "\t" + encrypted("tab\\there") +
             "\t\t\n",
         "warning: column 'password' holds backslash sequences (\\t, \\n, \\\\): if the file was "
         "written with backslash escapes (miller --otsv, sqlite's .mode tabs, PostgreSQL COPY), "
         "read "
         "it with --format tsv"},
        {"decrypted back, tab-separated", with(accounts, {"--format", "tsv", "--decrypt"}),
         "login\tpassword\tproxy\toutbound_proxy\n" + alice + "\t" + encrypted("tab\there") +
             "\t\t\n",
         0, "login\tpassword\tproxy\toutbound_proxy\nalice\ttab\\there\t\t\n", ""},
    };
    for (const auto& c : cases) check(c);
}

TEST(Accounts, RefusalsWriteNothingAndSayWhatAndWhere) {
    std::string many_bad_rows = h;
    for (int i = 0; i < 13; ++i)
        many_bad_rows += std::string(3745, 'x') + "," + std::string(3745, 'y') + ",,\n";
    std::string wrong_password = h;
    for (const std::string& text : {alice, b, c, d})
        wrong_password += sip_alice + "," + text + ",,\n";
    const Case cases[] = {
        {"a long value and text that is not UTF-8", accounts,
         h + "alice,pw,p,o\nbob," + std::string(3745, 'x') + ",p,o\ncarol,pw,\xFF,o\n", 1, "",
         "standard input: the file is not UTF-8: row 4, column 'proxy', byte 0xFF at position 1 "
         "first, and 1 row in all\nsipcrypt: hint: saved in a Windows code page? try "
         "--input-encoding WINDOWS-1252\nsipcrypt: standard input: row 3, column 'password': the "
         "value is longer than 3744 bytes\nsipcrypt: standard output: nothing was written\n"},
        {"a row with too few fields", accounts, h + "alice,pw,p\n", 1, "",
         "standard input: row 2: it has 3 fields where the header has 4"},
        {"one field", accounts, h + "alice\n", 1, "",
         "row 2: it has 1 field where the header has 4"},
        {"a missing column", accounts, "login,password,proxy\nalice,pw,p\n", 1, "",
         "row 1: the header has no column 'outbound_proxy'"},
        {"a column twice", accounts, header + ",login\n", 1, "",
         "the column 'login' appears twice"},
        {"a quote left open", accounts, h + "alice,\"pw,p,o\n", 1, "",
         "row 2: a quoted field is not closed"},
        {"a quote inside a field", accounts, h + "alice,p\"w,p,o\n", 1, "",
         "row 2, column 'password': broken quoting"},
        {"nothing at all", accounts, "", 1, "", "standard input: the input is empty"},
        // Ten rows' problems are told, and the rest counted by rows.
        {"many bad rows", with(accounts, {"--encoding", "UTF-8"}), many_bad_rows, 1, "",
         "row 11, column 'password': the value is longer than 3744 bytes\nsipcrypt: ... and 3 more "
         "rows refused\n"},
        {"not Base64", with(accounts, {"--decrypt"}), h + alice + ",not Base64,,\n", 1, "",
         "row 2, column 'password': the text is not Base64"},
        {"texts under another password",
         with(accounts, {"--decrypt"}),
         wrong_password,
         1,
         "",
         "sipcrypt: 5 of 8 cells do not decrypt: is the password the one they were encrypted "
         "with?\n"
         "sipcrypt: standard input: row 2, column 'login': the decrypted bytes are not valid text "
         "in the encoding (ASCII)",
         {{"SIP_KEY", "wrong"}}},
        {"two files joined", accounts, h + "a,,,\n" + bom + h + "b,,,\n" + h, 1, "",
         "row 3: the row begins with a byte-order mark, as a file does: were two files joined?\n"
         "sipcrypt: standard input: row 5: the row repeats the header: were two files joined?"},
        {"a quote that never closes", accounts, h + "alice,\"b,c,d\n" + std::string(1 << 20, 'x'),
         1, "", "row 2: a field is longer than 65536 bytes; is a quote left open?"},
        {"a header with spaces and case", accounts, "login, password, Proxy ,outbound_proxy\n", 1,
         "",
         "row 1: the header has no columns 'password', 'proxy' (it needs login, password, proxy "
         "and outbound_proxy; found 'login', ' password', ' Proxy ', 'outbound_proxy')\nsipcrypt: "
         "hint: ' password' has spaces around it; names must match exactly\nsipcrypt: hint: "
         "' Proxy ' has spaces around it; names must match exactly\nsipcrypt: hint: ' Proxy ' "
         "differs from 'proxy' in case; names must match exactly"},
        {"names with characters that do not show", accounts,
         "\xEF\xBB\xBF\xEF\xBB\xBFlogin,pass\xC2\xA0word,proxy,outbound_\xE2\x80\x8Bproxy\n", 1, "",
         "found '\\uFEFFlogin', 'pass\\u00A0word', 'proxy', 'outbound_\\u200Bproxy')\nsipcrypt: "
         "hint: "
         "'\\uFEFFlogin' holds characters that do not show"},
        {"a header separated by bars", accounts, "login|password|proxy|outbound_proxy\n", 1, "",
         "hint: the header looks separated by '|', but fields are separated by commas, semicolons "
         "or tabs"},
        {"a header that two separators would read", accounts,
         header + ",x;login;password;proxy;outbound_proxy\n", 1, "",
         "row 1: the header names the columns whether it is read with commas, semicolons or tabs"},
        {"a row with more fields than the header", accounts, h + "alice,b,c,d,e\n", 1, "",
         "row 2: it has 5 fields where the header has 4"},
        // Rows as a spreadsheet counts them, the line where they differ.
        {"a line break in a quoted cell, and a bad row after it", accounts,
         "note," + h + "\"two\nlines\",a,b,c,d\n\nx,y\n", 1, "",
         "row 4 (line 5): it has 2 fields where the header has 5"},
        // Header cells reach the message escaped: they cannot drive the terminal.
        {"control characters in the header", accounts,
         "log\x1B]0;owned\x07in,pass\\word,proxy,outbound_proxy\n", 1, "",
         "found 'log\\x1B]0;owned\\x07in', 'pass\\\\word', 'proxy', 'outbound_proxy'"},
        {"a line break in an encrypted cell", accounts, h + "\"a\nb\",b,c,d\n", 1, "",
         "row 2, column 'login': the value holds a line break (LF at position 2)"},
        {"standard input closed",
         {"sh:", "accounts --password-env SIP_KEY <&-"},
         "",
         1,
         "",
         "standard input: Bad file descriptor"},
        {"--delimiter against the file's sep=",
         with(accounts, {"--delimiter", ",", "-i", "/dev/stdin"}), "sep=;\n" + h, 1, "",
         "/dev/stdin: line 1: --delimiter says ,, but the file's first line says sep=;"},
        {"a missing input file", with(accounts, {"-i", "/nonexistent/in.csv"}), "", 1, "",
         "/nonexistent/in.csv: No such file or directory"},
        {"an unknown file encoding", with(accounts, {"--input-encoding", "NO-SUCH"}), "", 2, "",
         "--input-encoding NO-SUCH: unknown encoding"},
        {"UTF-32, by name", with(accounts, {"--input-encoding", "UTF-32"}), "", 2, "",
         "--input-encoding UTF-32: the file is UTF-32, which is not read here"},
    };
    for (const auto& c : cases) {
        check(c);
        // Nothing is written where -o points, and what was there stays.
        const Folder folder;
        const std::string out = folder.write("out.csv", "the previous output\n");
        std::vector<std::string> arguments = c.arguments;
        if (arguments[0] == "sh:") continue;
        arguments.insert(arguments.end(), {"-o", out});
        const auto r = sipcrypt(arguments, c.input, c.environment);
        EXPECT_EQ(r.exit_status, c.status) << c.name;
        EXPECT_EQ(folder.read("out.csv"), "the previous output\n") << c.name;
        EXPECT_EQ(folder.names(), std::vector<std::string>{"out.csv"}) << c.name;
    }
}

}  // namespace
}  // namespace sipcrypt::testing
