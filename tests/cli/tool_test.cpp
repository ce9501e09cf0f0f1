// The tool as users run it, on every platform it is built for: on Linux the
// native binary, on Windows sipcrypt.exe (under Wine in CI). What holds for
// both is tested here once.
#ifdef _WIN32
#include <windows.h>
#endif
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli_test_support.h"

namespace sipcrypt::testing {
namespace {

const std::string juergen = "J\xC3\xBCrgen";
const std::string juergen_1252 = "aOGybgf/mSs=", juergen_utf8 = "uZdMPPr5xDw=";

ProcessResult tool(const std::vector<std::string>& arguments, const std::string& input = {}) {
    return run_process(SIPCRYPT_BINARY, arguments, input, secret_env);
}

TEST(Tool, ArgumentsAndLinesGiveTheGoldenTexts) {
    const std::map<std::string, std::string> umlaut = {{"PW", "p\xC3\xA4ssw\xC3\xB6rd"}};
    const Case cases[] = {
        {"arguments in WINDOWS-1252",
         {"encrypt", "--password-env", "SIP_KEY", "--encoding", "WINDOWS-1252", juergen,
          "sip:alice@example.com"},
         "",
         0,
         juergen_1252 + "\n" + sip_alice + "\n",
         ""},
        {"lines in UTF-8, CRLF kept",
         {"encrypt", "--password-env", "SIP_KEY", "--encoding", "UTF-8"},
         "sip:alice@example.com\r\n" + juergen + "\r\n\r\n",
         0,
         sip_alice + "\r\n" + juergen_utf8 + "\r\n\r\n",
         ""},
        {"back from CP1252",
         {"decrypt", "--password-env", "SIP_KEY", "--encoding", "CP1252", juergen_1252},
         "",
         0,
         juergen + "\n",
         ""},
        // A password that is not ASCII, from the environment, in both encodings.
        {"a password in UTF-8",
         {"encrypt", "--password-env", "PW", "--encoding", "UTF-8", "proxy.example.net:5060"},
         "",
         0,
         "2XhUY0oK6VHgOQvLDYKBExfYdItYcQE6\n",
         "",
         umlaut},
        {"a password in WINDOWS-1252",
         {"encrypt", "--password-env", "PW", "--encoding", "WINDOWS-1252",
          "proxy.example.net:5060"},
         "",
         0,
         "4q5+6v/qpNquJI6cFw9T5sp2ObtsHG7N\n",
         "",
         umlaut},
        // Arguments that begin with / are values, on Windows too.
        {"a text that begins with /",
         {"decrypt", "--password-env", "SIP_KEY", "/nXfjPoap2I="},
         "",
         0,
         "3\n",
         ""},
        {"a value that begins with -, after --",
         {"encrypt", "--password-env", "SIP_KEY", "--", "-x"},
         "",
         0,
         "zwBF2oHtEfg=\n",
         ""},
    };
    for (const auto& c : cases) check(c);
}

// The encoding, in this order: --encoding; SIPCRYPT_ENCODING; encoding= in
// the settings file; on Windows the ANSI code page (1252 under Wine's
// defaults); on Linux none, which takes ASCII and says how to choose. A name
// means what it means on Windows.
TEST(Tool, TheEncodingIsChosenInOrderAndNamesMeanWhatTheyMeanOnWindows) {
    const Folder folder;
    std::filesystem::create_directories(folder / "sipcrypt");
    const std::string settings_name = on_windows ? "APPDATA" : "XDG_CONFIG_HOME";
    const auto settings = [&](std::map<std::string, std::string> environment = {}) {
        environment.emplace("SIP_KEY", "secret");
        environment.emplace(settings_name, folder / "");
        return environment;
    };
    const std::vector<std::string> encrypt = {"encrypt", "--password-env", "SIP_KEY"};
    const auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), encrypt.begin(), encrypt.end());
        return more;
    };
    const std::string unchosen =
        "argument 1: character U+00FC at position 2 is not ASCII, and no encoding is chosen";
    const std::string powershell = "\xFF\xFE" + std::string(
                                                    "E\0n\0c\0o\0d\0i\0n\0g\0=\0"
                                                    "C\0P\0001\0002\0005\0002\0\r\0\n\0",
                                                    30);
    const std::pair<std::string, Case> rows[] = {
        {"", {"plain ASCII", with({"plain"}), "", 0, "hMRDpmSz+3c=\n", "", settings()}},
        {"",
         {"none chosen", with({juergen}), "", on_windows ? 0 : 1,
          on_windows ? juergen_1252 + "\n" : "\n", on_windows ? "" : unchosen, settings()}},
        {"",
         {"the variable", with({juergen}), "", 0, juergen_utf8 + "\n", "",
          settings({{"SIPCRYPT_ENCODING", "UTF-8"}})}},
        {"encoding = WINDOWS-1252\n",
         {"the settings file", with({juergen}), "", 0, juergen_1252 + "\n", "", settings()}},
        {"# mine\r\nencoding=UTF-8\r\n",
         {"the variable before the file", with({juergen}), "", 0, juergen_1252 + "\n", "",
          settings({{"SIPCRYPT_ENCODING", "CP1252"}})}},
        {"encoding=WINDOWS-1252\n",
         {"--encoding before both", with({"--encoding", "UTF-8", juergen}), "", 0,
          juergen_utf8 + "\n", "", settings({{"SIPCRYPT_ENCODING", "CP1252"}})}},
        {bom + "encoding=WINDOWS-1252\r\n",
         {"a settings file from Notepad", with({juergen}), "", 0, juergen_1252 + "\n", "",
          settings()}},
        {powershell,
         {"a settings file from PowerShell 5.1, key capitalised", with({juergen}), "", 0,
          juergen_1252 + "\n", "", settings()}},
        {"encodng=UTF-8\n",
         {"an unknown setting", with({juergen}), "", 2, "",
          "sipcrypt.conf: line 1: unknown setting 'encodng=UTF-8'", settings()}},
        {"encoding=\x1B[31mX\n",
         {"an escaped name", with({juergen}), "", 2, "", "encoding=\\x1B[31mX: unknown encoding",
          settings()}},
        {"",
         {"an unknown name in the variable", with({juergen}), "", 2, "",
          "SIPCRYPT_ENCODING=NO-SUCH: unknown encoding",
          settings({{"SIPCRYPT_ENCODING", "NO-SUCH"}})}},
        {"encoding=UTF-16\n",
         {"UTF-16 in the file", with({juergen}), "", 2, "",
          "sipcrypt.conf: encoding=UTF-16: this encoding puts zero bytes into plain text",
          settings()}},
        {"",
         {"EBCDIC", with({"--encoding", "EBCDIC-US", "x"}), "", 2, "",
          "--encoding EBCDIC-US: this encoding does not keep plain ASCII text as it is",
          settings()}},
        // 0xE0 in Windows' 1252, which ISO-8859-1 stands for there, and 0xB3
        // in ISO-8859-2.
        {"",
         {"ISO-8859-1 is 1252", with({"--encoding", "ISO-8859-1", "\xC3\xA0"}), "", 0,
          "5iPBZNOlzhE=\n", "", settings()}},
        {"",
         {"ISO-8859-2", with({"--encoding", "ISO-8859-2", "\xC5\x82"}), "", 0, "Yak4zE10Z1U=\n", "",
          settings()}},
        {"",
         {"the yen sign in SHIFT_JIS", with({"--encoding", "SHIFT_JIS", "\xC2\xA5"}), "", 1, "\n",
          "argument 1: character U+00A5 at position 1 cannot be represented in SHIFT_JIS",
          settings()}},
        {"", {"a value that begins with /", with({"/h"}), "", 0, "bzVlMrPrcAo=\n", "", settings()}},
        // Half of a surrogate pair: broken text, as the arguments and the
        // environment can hold it on Windows.
        {"",
         {"half a surrogate pair", with({"a\xED\xA0\x80"}), "", 1, "\n",
          "argument 1: the text holds a broken character (half of a UTF-16 surrogate pair) at "
          "position 2",
          settings()}},
        {"",
         {"half a surrogate pair in the password", with({"x"}), "", 1, "",
          "password: the text holds a broken character", settings({{"SIP_KEY", "s\xED\xB0\x80"}})}},
    };
    for (const auto& [file, c] : rows) {
        std::filesystem::remove(folder / "sipcrypt/sipcrypt.conf");
        if (!file.empty()) folder.write("sipcrypt/sipcrypt.conf", file);
        check(c);
    }
}

TEST(Tool, RefusalsAndUsageErrorsSayWhatAndWhere) {
    const std::string header = "login,password,proxy,outbound_proxy\r\n";
    std::vector<Case> cases = {
        {"a character WINDOWS-1252 cannot hold",
         {"encrypt", "--password-env", "SIP_KEY", "--encoding", "WINDOWS-1252", "ok",
          "\xE6\x97\xA5"},
         "",
         1,
         "dE7xdKVqaNQ=\n\n",
         "argument 2: character U+65E5 at position 1 cannot be represented in WINDOWS-1252"},
        {"a long line",
         {"encrypt", "--password-env", "SIP_KEY"},
         std::string(3745, 'x') + "\n",
         1,
         "\n",
         "line 1: the value is longer than 3744 bytes"},
        {"not Base64",
         {"decrypt", "--password-env", "SIP_KEY", "not Base64"},
         "",
         1,
         "\n",
         "argument 1: the text is not Base64"},
        {"accounts",
         {"accounts", "--password-env", "SIP_KEY"},
         header + "J,,,\r\n",
         0,
         header + "v7junFyYswo=,,,\r\n",
         ""},
        {"a short row",
         {"accounts", "--password-env", "SIP_KEY"},
         header + "J,,\r\n",
         1,
         "",
         "row 2: it has 3 fields where the header has 4"},
        {"unknown option",
         {"encrypt", "--frob"},
         "",
         2,
         "",
         "unknown option '--frob'; run 'sipcrypt encrypt --help'"},
        {"no option takes the password",
         {"encrypt", "--password", "secret", "v"},
         "",
         2,
         "",
         "unknown option '--password'"},
        {"no command", {}, "", 2, "", "no command given: encrypt, decrypt or accounts"},
        {"unknown command", {"frobnicate"}, "", 2, "", "unknown command 'frobnicate'"},
        {"two password sources",
         {"encrypt", "--password-env", "PW", "--password-file", "f", "v"},
         "",
         2,
         "",
         "--password-file excludes --password-env"},
        {"a format and a delimiter",
         {"accounts", "--password-env", "SIP_KEY", "--format", "tsv", "--delimiter", ";"},
         "",
         2,
         "",
         "--delimiter excludes --format"},
        {"UTF-16",
         {"encrypt", "--password-env", "SIP_KEY", "--encoding", "UTF-16", "x"},
         "",
         2,
         "",
         "--encoding UTF-16: this encoding puts zero bytes into plain text"},
        {"an unknown encoding",
         {"encrypt", "--password-env", "SIP_KEY", "--encoding", "NO-SUCH", "x"},
         "",
         2,
         "",
         "--encoding NO-SUCH: unknown encoding"},
        {"option given twice",
         {"encrypt", "--encoding", "A", "--encoding", "B", "x"},
         "",
         2,
         "",
         "--encoding is given more than once; run 'sipcrypt encrypt --help'"},
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
        {"a separator that is none",
         {"accounts", "--delimiter", "|"},
         "",
         2,
         "",
         "'|' is no separator: give ',', ';' or tab"},
        {"--version", {"--version"}, "", 0, "sipcrypt " SIPCRYPT_VERSION "\n", ""},
    };
    if (on_windows) {
        cases.push_back({"no descriptors on Windows",
                         {"encrypt", "--password-fd", "3", "x"},
                         "",
                         2,
                         "",
                         "unknown option '--password-fd'"});
    } else {
        cases.push_back({"a negative descriptor",
                         {"encrypt", "--password-fd", "-1", "x"},
                         "",
                         2,
                         "",
                         "--password-fd: '-1' is not a file descriptor number"});
        cases.push_back({"help into a full disk",
                         {"sh:", "--help > /dev/full"},
                         "",
                         1,
                         "",
                         "standard output: "});
        cases.push_back({"version into a full disk",
                         {"sh:", "--version > /dev/full"},
                         "",
                         1,
                         "",
                         "standard output: "});
    }
    for (const auto& c : cases) check(c);
}

// What the platform keeps of a file that -o replaces, and what it refuses.
void set_attributes([[maybe_unused]] const std::filesystem::path& path,
                    [[maybe_unused]] unsigned attributes) {
#ifdef _WIN32
    SetFileAttributesW(path.c_str(), attributes);
#endif
}
unsigned attributes_of([[maybe_unused]] const std::filesystem::path& path) {
#ifdef _WIN32
    return GetFileAttributesW(path.c_str());
#else
    return 0;
#endif
}

// -o: what cannot take the output is refused by name before any work, a
// device is written into, and a file is replaced whole.
TEST(Tool, OutputTargetsAreCheckedFirstAndFilesReplacedWhole) {
    const auto folder = std::filesystem::temp_directory_path() / "sipcrypt-tool-output";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string header = "login,password,proxy,outbound_proxy\r\n";
    const std::string csv = header + "J,,,\r\n", encrypted = header + "v7junFyYswo=,,,\r\n";
    struct Case {
        std::string name;
        unsigned attributes;  // Windows only: of an existing file, before and after
        int status;
        std::string message;
    };
    std::vector<Case> cases = {
        {".", 0, 1, "is a folder"},
        {"missing/out.csv", 0, 1, "no such folder"},
        {"new.csv", 0, 0, ""},
        {"old.csv", 0, 0, ""},
        {on_windows ? "NUL" : "/dev/null", 0, 0, ""},
        {"same.csv", 0, 0, ""},  // also the input
    };
    if (on_windows) {
        cases.push_back({"hidden.csv", 0x2 /* hidden */, 0, ""});
        cases.push_back({"read-only.csv", 0x1 /* read-only */, 1, "permission denied"});
        // Open here without leave to delete, as an editor may hold it.
        cases.push_back({"held.csv", 0, 1, "in use by another program"});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool device = c.name == "NUL" || c.name[0] == '/';
        const auto path = device ? std::filesystem::path(c.name) : folder / c.name;
        if (c.attributes != 0 || c.name == "old.csv" || c.name == "held.csv") {
            std::ofstream(path, std::ios::binary) << "the old contents\n";
            set_attributes(path, c.attributes);
        }
        std::vector<std::string> command = {"accounts", "--password-env", "SIP_KEY", "-o",
                                            path.string()};
        if (c.name == "same.csv") {
            std::ofstream(path, std::ios::binary) << csv;
            command.insert(command.end(), {"-i", path.string()});
        }
        std::ifstream held;
        if (c.name == "held.csv") held.open(path);
        const auto r = tool(command, csv);
        EXPECT_EQ(r.exit_status, c.status) << r.err;
        EXPECT_EQ(r.out, "");
        if (!c.message.empty()) {
            EXPECT_NE(r.err.find(path.string() + ": " + c.message), std::string::npos) << r.err;
        }
        if (c.status == 0 && !device) {
            EXPECT_EQ(contents(path), encrypted);
        }
        if (c.status != 0 && (c.attributes != 0 || c.name == "held.csv")) {
            EXPECT_EQ(contents(path), "the old contents\n");
        }
        if (c.attributes != 0) {
            EXPECT_EQ(attributes_of(path) & 0x3, c.attributes);
        }
        set_attributes(path, 0x80 /* normal */);
    }
    // Nothing is left beside the files.
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = {"new.csv", "old.csv", "same.csv"};
    if (on_windows) {
        expected = {"held.csv", "hidden.csv", "new.csv", "old.csv", "read-only.csv", "same.csv"};
    }
    EXPECT_EQ(left, expected);
    std::filesystem::remove_all(folder);
}

// The help speaks the platform's language: on Windows no option that
// Windows refuses and no manual page; nowhere an example that puts a
// password in an argument or in an assignment on a command line.
TEST(Tool, TheHelpFitsThePlatform) {
    const std::string manual = on_windows ? "sipcrypt.txt and README.txt in" : "'man sipcrypt'";
    const std::string examples = on_windows ? "Examples (PowerShell):" : "Examples:";
    const std::pair<std::vector<std::string>, std::vector<std::string>> helps[] = {
        {{"--help"},
         {"encrypt", "decrypt", "accounts", "--password-file", "'--' ends the options", manual}},
        {{"encrypt", "--help"},
         {"--password-file FILE", "--password-env NAME", "--encoding NAME", "-i,--input FILE",
          "VALUE", examples, "-- -starts-with-a-dash"}},
        {{"decrypt", "--help"}, {"TEXT", examples}},
        {{"accounts", "--help"},
         {"-i,--input FILE", "-o,--output FILE", "--format", "login", examples}},
        {{on_windows ? "/?" : "--help"}, {"Run 'sipcrypt COMMAND --help'"}},
    };
    for (const auto& [arguments, parts] : helps) {
        const auto r = tool(arguments);
        EXPECT_EQ(r.exit_status, 0) << arguments[0];
        EXPECT_EQ(r.err, "");
        for (const auto& part : parts)
            EXPECT_NE(r.out.find(part), std::string::npos) << part << r.out;
        for (const char* absent : {"SIP_KEY=", "=secret", "printf 'secret"}) {
            EXPECT_EQ(r.out.find(absent), std::string::npos) << absent << "\n" << r.out;
        }
        // Windows has no descriptors to pass, no manual pages and no sh.
        for (const char* absent : {"--password-fd", "man sipcrypt", "printf", "3<"}) {
            if (on_windows) {
                EXPECT_EQ(r.out.find(absent), std::string::npos) << absent << r.out;
            }
        }
    }
}

// Files of accounts as LibreOffice, Python's csv module and PowerShell write
// them (tests/cli/data/accounts, with the commands that made each): each is
// read, its four columns come out encrypted, and decrypting the result gives
// the file back, byte for byte, in its own shape.
TEST(Tool, AccountFilesFromRealToolsComeBackAsTheyWere) {
    const std::filesystem::path folder = SIPCRYPT_ACCOUNT_FIXTURES;
    // The sheet's sixteen values in WINDOWS-1252 under "secret": 007,
    // pa"ss,word, sip.example.com, ..., it's 'single'.
    const std::vector<std::string> texts = {
        "eSS3Ejm5jJ0=",
        "jy62zKS3JzHRe07ezQ2cUw==",
        "KG+Xn7f0nC/Z/rQeWPC8xw==",
        "fZw0KfCaFrnllgVnfWkMD4vQ+p4PWEBT",
        "cZC6jO+52Gs=",
        "lOcrNFTSqSI=",
        "n1VQ4eEkGtd8RLaFH7zm8tOU2AqWawf9Tu2e2G6SNsfZVhnNaJygaw==",
        "OPkEvCIonPb4Jqh39BUZJeeByWpKpc9/",
        "dFYe5ANn5wU=",
        "+YlAPgXWefepU3AHe4MJIA==",
        "KG+Xn7f0nC9BUnWxwQCwaA==",
        "rzHgn25mTHE=",
        "hMRDpmSz+3c=",
        "KG+Xn7f0nC92tbMhxLxXDg==",
        "OPkEvCIonPb4Jqh39BUZJVqxVXwJ3Rr3",
        "g9Ha2HJXF50=",
        "svB7c6RwSlO0fIFVnOv1NQ=="};
    const std::string windows_1252 = "libreoffice-semicolon-windows-1252.csv";
    for (const char* name :
         {"libreoffice-comma-utf-8.csv", "libreoffice-comma-utf-8-quote-all.csv",
          "libreoffice-semicolon-utf-8.csv", "libreoffice-semicolon-utf-8-quote-all.csv",
          "libreoffice-tab-utf-8.csv", "libreoffice-comma-utf-16.csv", "libreoffice-tab-utf-16.csv",
          "libreoffice-semicolon-windows-1252.csv", "python-excel-utf-8.csv",
          "python-excel-tab-utf-8.csv", "powershell-5.1-export-csv-utf8.csv",
          "powershell-5.1-convertto-csv-out-file.csv", "powershell-7-export-csv.csv",
          "pandas-utf-16-le.csv"}) {
        SCOPED_TRACE(name);
        const std::string input = contents(folder / name);
        ASSERT_FALSE(input.empty());
        // With its mark, or without one (pandas): the header is ASCII.
        const bool utf16 = input.compare(0, 2, "\xFF\xFE") == 0 || input[1] == '\0';
        // Windows reads a file that is not UTF-8 in its ANSI code page, as
        // Excel writes it; elsewhere the encoding is named.
        std::vector<std::string> arguments = {"--password-env", "SIP_KEY", "--encoding",
                                              "WINDOWS-1252"};
        if (name == windows_1252 && !on_windows) {
            arguments.insert(arguments.end(), {"--input-encoding", "WINDOWS-1252"});
        }
        std::vector<std::string> encrypt = {"accounts"}, decrypt = {"accounts", "--decrypt"};
        encrypt.insert(encrypt.end(), arguments.begin(), arguments.end());
        decrypt.insert(decrypt.end(), arguments.begin(), arguments.end());
        const auto encrypted = tool(encrypt, input);
        ASSERT_EQ(encrypted.exit_status, 0) << encrypted.err;
        for (const std::string& text : texts) {
            std::string shown = text;
            if (utf16) {
                shown.clear();
                for (const char c : text) shown += std::string{c, '\0'};
            }
            EXPECT_NE(encrypted.out.find(shown), std::string::npos) << text;
        }
        EXPECT_EQ(encrypted.out.find("sip.example.com"), std::string::npos);
        const auto decrypted = tool(decrypt, encrypted.out);
        EXPECT_EQ(decrypted.exit_status, 0) << decrypted.err;
        EXPECT_TRUE(decrypted.out == input) << decrypted.out;
    }
    // Password files as Windows PowerShell 5.1 (UTF-16) and Notepad write them.
    for (const char* name :
         {"password-powershell-5.1-redirect.txt", "password-notepad-utf-8-bom.txt"}) {
        const auto r = tool({"encrypt", "--password-file", (folder / name).string(), "alice"});
        EXPECT_EQ(r.exit_status, 0) << name << ": " << r.err;
        EXPECT_EQ(r.out, "QPJLUKCpC3c=\n") << name;
    }
}

}  // namespace
}  // namespace sipcrypt::testing
