#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "cli_test_support.h"
#include "terminal_session.h"

namespace sipcrypt::testing {
namespace {

const std::string value = "sip:alice@example.com";
const std::string& value_text = sip_alice;

TEST(PasswordSources, FileEnvironmentAndDescriptorAgree) {
    const Folder folder;
    const auto from_file =
        sipcrypt({"encrypt", "--password-file", folder.write("pw", "secret\n"), value});
    const auto from_env =
        sipcrypt({"encrypt", "--password-env", "K", value}, {}, {{"K", "secret"}});
    const auto from_fd =
        sipcrypt({"encrypt", "--password-fd", "3", value}, {}, {}, {{3, "secret\r\n"}});
    for (const auto* r : {&from_file, &from_env, &from_fd}) {
        EXPECT_EQ(r->exit_status, 0) << r->err;
        EXPECT_EQ(r->out, value_text + "\n");
    }
    // The password and the values can share standard input: only the first
    // line is the password.
    const auto shared =
        sipcrypt({"decrypt", "--password-fd", "0"}, "secret\n" + value_text + "\n" + value_text);
    EXPECT_EQ(shared.exit_status, 0) << shared.err;
    EXPECT_EQ(shared.out, value + "\n" + value + "\n");

    const auto closed = sipcrypt({"encrypt", "--password-fd", "7", value});
    EXPECT_EQ(closed.exit_status, 1);
    EXPECT_NE(closed.err.find("--password-fd 7: not open for reading"), std::string::npos)
        << closed.err;
    const auto negative = sipcrypt({"encrypt", "--password-fd", "-1", value});
    EXPECT_EQ(negative.exit_status, 2);
}

bool echoes(const termios& settings) {
    return (settings.c_lflag & ECHO) != 0;
}

TEST(PasswordSources, TheTerminalIsAskedWithoutEchoAndLeftAsItWas) {
    const Folder folder;
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> answers;
        int status;
        std::string shown;
    };
    const Case cases[] = {
        {{"encrypt", value}, {"secret", "secret"}, 0, value_text},
        {{"encrypt", value}, {"secret", "secrte"}, 1, "the two passwords differ"},
        // Decrypting asks once; accounts, which encrypts, twice.
        {{"decrypt", value_text}, {"secret"}, 0, value},
        {{"accounts", "-i", folder.write("in.csv", header + "\n")},
         {"secret", "secrte"},
         1,
         "the two passwords differ"},
        // An output that cannot be written is refused before anything is asked.
        {{"accounts", "-o", "/nonexistent/out.csv"}, {}, 1, "no such folder"},
        {{"accounts", "-o", "/"}, {}, 1, "is a folder"},
        // So is a file that cannot be read as one of accounts; --decrypt asks once.
        {{"accounts", "--delimiter", ",", "-i", folder.write("sep.csv", "sep=;\n" + header + "\n")},
         {},
         1,
         "--delimiter says ,, but the file's first line says sep=;"},
        {{"accounts", "--decrypt", "-i",
          folder.write("texts.csv", header + "\n" + value_text + ",,,\n")},
         {"secret"},
         0,
         header + "\r\n" + value + ",,,"},
    };
    for (const auto& c : cases) {
        TerminalSession terminal(c.arguments);
        for (std::size_t i = 0; i < c.answers.size(); ++i) {
            ASSERT_TRUE(terminal.wait_for(i == 0 ? "Password: " : "Repeat password: "))
                << terminal.screen();
            EXPECT_FALSE(echoes(terminal.settings()));
            terminal.type(c.answers[i] + "\n");
        }
        EXPECT_EQ(terminal.next_event(), "exited " + std::to_string(c.status));
        const std::string& screen = terminal.finish();
        EXPECT_NE(screen.find(c.shown), std::string::npos) << screen;
        EXPECT_EQ(screen.find("secr"), std::string::npos) << "echoed: " << screen;
        if (c.answers.empty()) {
            EXPECT_EQ(screen.find("Password"), std::string::npos) << screen;
        }
        EXPECT_EQ(screen.find("Repeat"),
                  c.answers.size() == 1 ? std::string::npos : screen.find("Repeat"));
        EXPECT_TRUE(echoes(terminal.settings())) << "echo left off";
    }
}

// Ctrl-Z at the prompt gives the terminal its echo back and stops the tool;
// fg turns echo off again and asks again, so the password never shows.
TEST(PasswordSources, StoppedAndResumedAtThePromptTheTerminalStillDoesNotEcho) {
    TerminalSession terminal({"encrypt", value});
    ASSERT_TRUE(terminal.wait_for("Password: ")) << terminal.screen();
    terminal.type("\x1A");  // Ctrl-Z
    ASSERT_EQ(terminal.next_event(), "stopped");
    EXPECT_TRUE(echoes(terminal.settings())) << "echo off while stopped";

    terminal.resume();
    ASSERT_TRUE(terminal.wait_for("Password: ")) << terminal.screen();
    EXPECT_FALSE(echoes(terminal.settings()));
    terminal.type("secret\n");
    ASSERT_TRUE(terminal.wait_for("Repeat password: ")) << terminal.screen();
    terminal.type("secret\n");
    EXPECT_EQ(terminal.next_event(), "exited 0");
    const std::string& screen = terminal.finish();
    EXPECT_NE(screen.find(value_text), std::string::npos) << screen;
    EXPECT_EQ(screen.find("secret"), std::string::npos) << "echoed: " << screen;
    EXPECT_TRUE(echoes(terminal.settings()));
}

TEST(PasswordSources, ASignalAtThePromptEndsTheToolAndEchoComesBack) {
    for (const char* key : {"\x03", "\x1C"}) {  // Ctrl-C, Ctrl-backslash
        TerminalSession terminal({"encrypt", value});
        ASSERT_TRUE(terminal.wait_for("Password: ")) << terminal.screen();
        terminal.type("sec");
        terminal.type(key);
        EXPECT_EQ(terminal.next_event(),
                  std::string("killed by ") + (key[0] == '\x03' ? "2" : "3"));
        terminal.finish();
        EXPECT_TRUE(echoes(terminal.settings())) << "echo left off";
    }
}

// A terminal given as the password's file or descriptor is asked without
// echo too, rather than read as a file whose typing shows.
TEST(PasswordSources, ATerminalGivenAsAFileOrDescriptorIsAskedWithoutEcho) {
    for (const std::vector<std::string>& source :
         {std::vector<std::string>{"--password-file", "/dev/tty"},
          std::vector<std::string>{"--password-fd", "0"}}) {
        std::vector<std::string> arguments = {"decrypt"};
        arguments.insert(arguments.end(), source.begin(), source.end());
        arguments.push_back(value_text);
        TerminalSession terminal(arguments);
        ASSERT_TRUE(terminal.wait_for("Password: ")) << terminal.screen();
        EXPECT_FALSE(echoes(terminal.settings()));
        terminal.type("secret\n");
        EXPECT_EQ(terminal.next_event(), "exited 0");
        const std::string& screen = terminal.finish();
        EXPECT_NE(screen.find(value), std::string::npos) << screen;
        EXPECT_EQ(screen.find("secret"), std::string::npos) << "echoed: " << screen;
    }
}

TEST(PasswordSources, NoOptionAndNoTerminalIsAUsageError) {
    for (const char* command : {"encrypt", "decrypt", "accounts"}) {
        const auto r = sipcrypt({command}, "x\n");
        EXPECT_EQ(r.exit_status, 2) << command;
        EXPECT_NE(r.err.find("no terminal to ask on"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
}  // namespace sipcrypt::testing

namespace sipcrypt::testing {
namespace {

// Any user can read a process's arguments. The values given as arguments
// are gone from there before the tool waits for anything, such as the
// password on its descriptor.
TEST(PasswordSources, ArgumentsAreGoneFromTheProcessListWhileThePasswordIsAwaited) {
    ProcessSetup setup;
    setup.pipes = {3};
    ChildProcess child(SIPCRYPT_BINARY,
                       {"encrypt", "--password-fd", "3", "first-value", "the-secret-value"}, setup);
    const std::string cmdline = "/proc/" + std::to_string(child.pid()) + "/cmdline";
    std::string shown;
    for (int wait = 0; wait < 500; ++wait) {
        std::ifstream file(cmdline, std::ios::binary);
        shown.assign(std::istreambuf_iterator<char>(file), {});
        // Empty for a moment while the new program is set up.
        if (!shown.empty() && shown.find("value") == std::string::npos) break;
        ::usleep(10 * 1000);
    }
    EXPECT_EQ(shown.find("first-value"), std::string::npos);
    EXPECT_EQ(shown.find("the-secret-value"), std::string::npos);
    EXPECT_NE(shown.find("sipcrypt"), std::string::npos) << "the tool is gone";

    child.write_to(3, "secret\n");
    child.close_pipe(3);
    const auto r = child.wait();
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}

}  // namespace
}  // namespace sipcrypt::testing
