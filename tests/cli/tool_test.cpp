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

#include "process_runner.h"

namespace sipcrypt::testing {
namespace {

#ifdef _WIN32
constexpr bool on_windows = true;
#else
constexpr bool on_windows = false;
#endif

const std::map<std::string, std::string> secret_env = {{"SIP_KEY", "secret"}};

std::string contents(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}
const std::string juergen = "J\xC3\xBCrgen";
const std::string juergen_1252 = "aOGybgf/mSs=", juergen_utf8 = "uZdMPPr5xDw=";
const std::string alice = "sip:alice@example.com", alice_text = "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ";

ProcessResult tool(const std::vector<std::string>& arguments, const std::string& input = {}) {
    return run_process(SIPCRYPT_BINARY, arguments, input, secret_env);
}

TEST(Tool, ArgumentsAndLinesGiveTheGoldenTexts) {
    auto r = tool(
        {"encrypt", "--password-env", "SIP_KEY", "--encoding", "WINDOWS-1252", juergen, alice});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, juergen_1252 + "\n" + alice_text + "\n");

    r = tool({"encrypt", "--password-env", "SIP_KEY", "--encoding", "UTF-8"},
             alice + "\r\n" + juergen + "\r\n\r\n");
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, alice_text + "\n" + juergen_utf8 + "\n\n");

    r = tool({"decrypt", "--password-env", "SIP_KEY", "--encoding", "CP1252", juergen_1252});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, juergen + "\n");

    // A password that is not ASCII, from the environment, in both encodings.
    const std::map<std::string, std::string> env = {{"PW", "p\xC3\xA4ssw\xC3\xB6rd"}};
    const std::string value = "proxy.example.net:5060";
    for (const auto& [encoding, text] :
         {std::pair<std::string, std::string>{"UTF-8", "2XhUY0oK6VHgOQvLDYKBExfYdItYcQE6"},
          std::pair<std::string, std::string>{"WINDOWS-1252",
                                              "4q5+6v/qpNquJI6cFw9T5sp2ObtsHG7N"}}) {
        r = run_process(SIPCRYPT_BINARY,
                        {"encrypt", "--password-env", "PW", "--encoding", encoding, value}, {},
                        env);
        EXPECT_EQ(r.exit_status, 0) << r.err;
        EXPECT_EQ(r.out, text + "\n") << encoding;
    }
}

// The encoding, in this order: --encoding; SIPCRYPT_ENCODING; encoding= in
// the settings file; on Windows the ANSI code page (1252 under Wine's
// defaults); on Linux none, which takes ASCII and says how to choose. A name
// means what it means on Windows.
TEST(Tool, TheEncodingIsChosenInOrderAndNamesMeanWhatTheyMeanOnWindows) {
    const auto folder = std::filesystem::temp_directory_path() / "sipcrypt-tool-settings";
    std::filesystem::create_directories(folder / "sipcrypt");
    const auto settings = [&](const std::string& contents) {
        std::ofstream(folder / "sipcrypt" / "sipcrypt.conf", std::ios::binary) << contents;
    };
    const std::string settings_name = on_windows ? "APPDATA" : "XDG_CONFIG_HOME";
    const std::string unchosen =
        "argument 1: character U+00FC at position 2 is not ASCII, and no encoding is chosen for "
        "other text: set SIPCRYPT_ENCODING=WINDOWS-1252 or encoding= in "
        "~/.config/sipcrypt/sipcrypt.conf, or use --encoding";
    struct Case {
        std::string settings_file;  // none when empty
        std::map<std::string, std::string> environment;
        std::vector<std::string> arguments;  // after encrypt --password-env SIP_KEY
        int status;
        std::string out, message;
    };
    const Case cases[] = {
        {"", {}, {"plain"}, 0, "hMRDpmSz+3c=\n", ""},
        {"",
         {},
         {juergen},
         on_windows ? 0 : 1,
         on_windows ? juergen_1252 + "\n" : "\n",
         on_windows ? "" : unchosen},
        {"", {{"SIPCRYPT_ENCODING", "UTF-8"}}, {juergen}, 0, juergen_utf8 + "\n", ""},
        {"encoding = WINDOWS-1252\n", {}, {juergen}, 0, juergen_1252 + "\n", ""},
        {"# mine\r\nencoding=UTF-8\r\n",
         {{"SIPCRYPT_ENCODING", "CP1252"}},
         {juergen},
         0,
         juergen_1252 + "\n",
         ""},
        {"encoding=WINDOWS-1252\n",
         {{"SIPCRYPT_ENCODING", "CP1252"}},
         {"--encoding", "UTF-8", juergen},
         0,
         juergen_utf8 + "\n",
         ""},
        {"\xEF\xBB\xBF"
         "encoding=WINDOWS-1252\r\n",
         {},
         {juergen},
         0,
         juergen_1252 + "\n",
         ""},
        {"encodng=UTF-8\n",
         {},
         {juergen},
         2,
         "",
         "sipcrypt.conf, line 1: unknown setting 'encodng=UTF-8'"},
        {"encoding=\x1B[31mX\n", {}, {juergen}, 2, "", "encoding=\\x1B[31mX: unknown encoding"},
        {"",
         {{"SIPCRYPT_ENCODING", "NO-SUCH"}},
         {juergen},
         2,
         "",
         "SIPCRYPT_ENCODING=NO-SUCH: unknown encoding"},
        {"encoding=UTF-16\n",
         {},
         {juergen},
         2,
         "",
         "sipcrypt.conf: encoding=UTF-16: this encoding puts zero bytes into plain text"},
        {"",
         {},
         {"--encoding", "EBCDIC-US", "x"},
         2,
         "",
         "--encoding EBCDIC-US: this encoding does not keep plain ASCII text as it is"},
        // 0xE0 in Windows' 1252, which ISO-8859-1 stands for there, and 0xB3
        // in ISO-8859-2.
        {"", {}, {"--encoding", "ISO-8859-1", "\xC3\xA0"}, 0, "5iPBZNOlzhE=\n", ""},
        {"", {}, {"--encoding", "ISO-8859-2", "\xC5\x82"}, 0, "Yak4zE10Z1U=\n", ""},
        {"",
         {},
         {"--encoding", "SHIFT_JIS", "\xC2\xA5"},
         1,
         "\n",
         "argument 1: character U+00A5 at position 1 cannot be represented in SHIFT_JIS"},
        // Arguments that begin with / are values, on Windows too.
        {"", {}, {"/h"}, 0, "bzVlMrPrcAo=\n", ""},
        // Half of a surrogate pair: broken text, as the arguments and the
        // environment can hold it on Windows.
        {"",
         {},
         {"a\xED\xA0\x80"},
         1,
         "\n",
         "argument 1: the text holds a broken character (half of a UTF-16 surrogate pair) at "
         "position 2"},
        {"",
         {{"SIP_KEY", "s\xED\xB0\x80"}},
         {"x"},
         1,
         "",
         "password: the text holds a broken character"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back() + " " + c.settings_file);
        std::filesystem::remove(folder / "sipcrypt" / "sipcrypt.conf");
        if (!c.settings_file.empty()) settings(c.settings_file);
        std::map<std::string, std::string> environment = {{"SIP_KEY", "secret"},
                                                          {settings_name, folder.string()}};
        for (const auto& [name, value] : c.environment) environment[name] = value;
        std::vector<std::string> arguments = {"encrypt", "--password-env", "SIP_KEY"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const auto r = run_process(SIPCRYPT_BINARY, arguments, {}, environment);
        EXPECT_EQ(r.exit_status, c.status) << r.err;
        EXPECT_EQ(r.out, c.out);
        if (c.message.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        }
    }
    // A text that begins with / is decrypted, not taken for an option.
    const auto r = tool({"decrypt", "--password-env", "SIP_KEY", "/nXfjPoap2I="});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, "3\n");
    std::filesystem::remove_all(folder);
}

TEST(Tool, RefusalsAndUsageErrorsSayWhatAndWhere) {
    struct Case {
        std::vector<std::string> arguments;
        std::string input;
        int status;
        std::string out;
        std::string message;
    };
    const std::string header = "login,password,proxy,outbound_proxy\r\n";
    std::vector<Case> cases = {
        {{"encrypt", "--password-env", "SIP_KEY", "--encoding", "WINDOWS-1252", "ok",
          "\xE6\x97\xA5"},
         "",
         1,
         "dE7xdKVqaNQ=\n\n",
         "argument 2: character U+65E5 at position 1 cannot be represented in WINDOWS-1252"},
        {{"encrypt", "--password-env", "SIP_KEY"},
         std::string(3745, 'x') + "\n",
         1,
         "\n",
         "line 1: the value is longer than 3744 bytes"},
        {{"decrypt", "--password-env", "SIP_KEY", "not Base64"},
         "",
         1,
         "\n",
         "argument 1: the text is not Base64"},
        {{"accounts", "--password-env", "SIP_KEY"},
         header + "J,,,\r\n",
         0,
         header + "v7junFyYswo=,,,\r\n",
         ""},
        {{"accounts", "--password-env", "SIP_KEY"},
         header + "J,,\r\n",
         1,
         "",
         "row 2: it has 3 fields where the header has 4"},
        {{"encrypt", "--frob"}, "", 2, "", "unknown option '--frob'"},
        {{"encrypt", "--password-env", "SIP_KEY", "--encoding", "UTF-16", "x"},
         "",
         2,
         "",
         "--encoding UTF-16: this encoding puts zero bytes into plain text"},
        {{"encrypt", "--password-env", "SIP_KEY", "--encoding", "NO-SUCH", "x"},
         "",
         2,
         "",
         "--encoding NO-SUCH: unknown encoding"},
        {{"--version"}, "", 0, "sipcrypt " SIPCRYPT_VERSION "\n", ""},
    };
    if (on_windows) {
        cases.push_back(
            {{"encrypt", "--password-fd", "3", "x"}, "", 2, "", "unknown option '--password-fd'"});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        const auto r = tool(c.arguments, c.input);
        EXPECT_EQ(r.exit_status, c.status) << r.err;
        EXPECT_EQ(r.out, c.out);
        if (c.message.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_NE(r.err.find("sipcrypt: " + c.message), std::string::npos) << r.err;
        }
    }
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
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--help"},
                                                      {"encrypt", "--help"},
                                                      {"decrypt", "--help"},
                                                      {"accounts", "--help"}}) {
        const auto r = tool(arguments);
        EXPECT_EQ(r.exit_status, 0) << arguments[0];
        for (const char* absent : {"SIP_KEY=", "=secret", "printf 'secret"}) {
            EXPECT_EQ(r.out.find(absent), std::string::npos) << absent << "\n" << r.out;
        }
        if (on_windows) {
            for (const char* absent : {"--password-fd", "man sipcrypt", "printf", "3<"}) {
                EXPECT_EQ(r.out.find(absent), std::string::npos) << absent << "\n" << r.out;
            }
        }
    }
    const auto help = tool({"--help"});
    EXPECT_NE(help.out.find(on_windows ? "sipcrypt.txt and README.txt in" : "'man sipcrypt'"),
              std::string::npos)
        << help.out;
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
          "powershell-5.1-convertto-csv-out-file.csv", "powershell-7-export-csv.csv"}) {
        SCOPED_TRACE(name);
        const std::string input = contents(folder / name);
        ASSERT_FALSE(input.empty());
        const bool utf16 = input.compare(0, 2, "\xFF\xFE") == 0;
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
