#include <gtest/gtest.h>

#include <sys/stat.h>
#include <fstream>
#include <sstream>
#include <string>

#include "cli_test_support.h"

namespace sipcrypt::testing {
namespace {

const std::map<std::string, std::string> secret_env = {{"SIP_KEY", "secret"}};

std::string encrypted(const std::string& value) {
    const auto r = sipcrypt({"encrypt", "--password-env", "SIP_KEY", value}, {}, secret_env);
    return r.out.substr(0, r.out.size() - 1);
}

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

bool exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

TEST(AccountsCommand, EncryptsTheFourColumnsAndPassesTheRestThrough) {
    const std::string input =
        "name,outbound_proxy,login,note,password,proxy\r\n"
        "Alice,,alice,\"multi\nline, \"\"quoted\"\"\",\"pa,ss\",proxy.example.net\r\n"
        "Bob,out.example.net,bob, spaced ,s3cret,proxy.example.net";
    const std::string expected =
        "name,outbound_proxy,login,note,password,proxy\r\n"
        "Alice,," +
        encrypted("alice") + ",\"multi\nline, \"\"quoted\"\"\",\"" + encrypted("pa,ss") + "\"," +
        encrypted("proxy.example.net") +
        "\r\n"
        "Bob," +
        encrypted("out.example.net") + "," + encrypted("bob") + ", spaced ," + encrypted("s3cret") +
        "," + encrypted("proxy.example.net") + "\r\n";

    auto r = sipcrypt({"accounts", "--password-env", "SIP_KEY"}, input, secret_env);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, expected);

    const TempFile in(input);
    const std::string out_path = in.path() + ".out";
    r = sipcrypt({"accounts", "--password-env", "SIP_KEY", "-i", in.path(), "-o", out_path}, {},
                 secret_env);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(out_path), expected);
    std::remove(out_path.c_str());

    // LF line ends stay LF.
    r = sipcrypt({"accounts", "--password-env", "SIP_KEY"},
                 "login,password,proxy,outbound_proxy\na,,,\n", secret_env);
    EXPECT_EQ(r.out, "login,password,proxy,outbound_proxy\n" + encrypted("a") + ",,,\n");
}

TEST(AccountsCommand, RefusedRowsWriteNothingAndNameRowAndColumn) {
    const std::string header = "login,password,proxy,outbound_proxy\n";
    struct Case {
        std::string input;
        std::vector<std::string> messages;
        bool decrypt = false;
        std::string absent;  // a message that must not be there
    };
    std::string many_bad_rows = header;
    for (int i = 0; i < 12; ++i) many_bad_rows += std::string(3745, 'x') + ",,,\n";
    const Case cases[] = {
        {header + "alice,pw,p,o\nbob," + std::string(3745, 'x') + ",p,o\ncarol,pw,\xFF,o\n",
         {"row 3, column 'password': the value is longer than 3744 bytes",
          "the file is not UTF-8: row 4, column 'proxy', byte 0xFF at position 1 first",
          "nothing was written"},
         false,
         {}},
        {header + "alice,pw,p\n", {"row 2: it has 3 fields where the header has 4"}, false, {}},
        {"login,password,proxy\nalice,pw,p\n",
         {"row 1: the header has no column 'outbound_proxy'"},
         false,
         {}},
        {"login,password,proxy,outbound_proxy,login\n",
         {"the column 'login' appears twice"},
         false,
         {}},
        {header + "alice,\"pw,p,o\n", {"row 2: a quoted field is not closed"}, false, {}},
        {header + "alice,p\"w,p,o\n", {"row 2: broken quoting"}, false, {}},
        {"", {"the input is empty"}, false, {}},
        // Ten rows' problems are told, and the rest counted.
        {many_bad_rows,
         {"row 11, column 'login': the value is longer", "... and 2 more rows refused"},
         false,
         "row 12"},
        {header + "QPJLUKCpC3c=,not Base64,,\n",
         {"row 2, column 'password': the text is not Base64"},
         true,
         {}},
    };
    for (const auto& c : cases) {
        const TempFile in(c.input);
        const std::string out_path = in.path() + ".out";
        std::vector<std::string> arguments = {
            "accounts", "--password-env", "SIP_KEY", "-i", in.path(), "-o", out_path};
        if (c.decrypt) arguments.push_back("--decrypt");
        const auto r = sipcrypt(arguments, {}, secret_env);
        EXPECT_EQ(r.exit_status, 1) << c.messages[0];
        EXPECT_FALSE(exists(out_path)) << c.messages[0];
        for (const auto& message : c.messages) {
            EXPECT_NE(r.err.find(message), std::string::npos) << message << "\n" << r.err;
        }
        if (!c.absent.empty()) {
            EXPECT_EQ(r.err.find(c.absent), std::string::npos) << r.err;
        }
        arguments.erase(arguments.begin() + 3, arguments.begin() + 7);
        const auto piped = sipcrypt(arguments, c.input, secret_env);
        EXPECT_EQ(piped.exit_status, 1);
        EXPECT_EQ(piped.out, "") << c.messages[0];
    }
}

TEST(AccountsCommand, AFailedRunLeavesAnExistingOutputFileAsItWas) {
    const TempFile in("login,password,proxy,outbound_proxy\nalice," + std::string(4000, 'x') +
                      ",p,o\n");
    const TempFile out("the previous output\n");
    const auto r =
        sipcrypt({"accounts", "--password-env", "SIP_KEY", "-i", in.path(), "-o", out.path()}, {},
                 secret_env);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(read_file(out.path()), "the previous output\n");

    const auto missing = sipcrypt(
        {"accounts", "--password-env", "SIP_KEY", "-i", "/nonexistent/in.csv"}, {}, secret_env);
    EXPECT_EQ(missing.exit_status, 1);
    EXPECT_NE(missing.err.find("/nonexistent/in.csv: No such file or directory"), std::string::npos)
        << missing.err;
}

}  // namespace
}  // namespace sipcrypt::testing
