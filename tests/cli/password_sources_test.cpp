#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "cli_test_support.h"

namespace sipcrypt::testing {
namespace {

const std::string alice = "sip:alice@example.com";
const std::string alice_text = "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ";

TEST(PasswordSources, FileEnvironmentAndDescriptorAgree) {
    const TempFile file("secret\n");
    const auto from_file = sipcrypt({"encrypt", "--password-file", file.path(), alice});
    const auto from_env =
        sipcrypt({"encrypt", "--password-env", "K", alice}, {}, {{"K", "secret"}});
    const auto from_fd =
        sipcrypt({"encrypt", "--password-fd", "3", alice}, {}, {}, {{3, "secret\r\n"}});
    for (const auto* r : {&from_file, &from_env, &from_fd}) {
        EXPECT_EQ(r->exit_status, 0) << r->err;
        EXPECT_EQ(r->out, alice_text + "\n");
    }
    // The password and the values can share standard input: only the first
    // line is the password.
    const auto shared =
        sipcrypt({"decrypt", "--password-fd", "0"}, "secret\n" + alice_text + "\n" + alice_text);
    EXPECT_EQ(shared.exit_status, 0) << shared.err;
    EXPECT_EQ(shared.out, alice + "\n" + alice + "\n");

    const auto closed = sipcrypt({"encrypt", "--password-fd", "7", alice});
    EXPECT_EQ(closed.exit_status, 1);
    EXPECT_NE(closed.err.find("--password-fd 7: Bad file descriptor"), std::string::npos)
        << closed.err;
    const auto negative = sipcrypt({"encrypt", "--password-fd", "-1", alice});
    EXPECT_EQ(negative.exit_status, 2);
}

// Runs the tool on a pseudo-terminal, answering each prompt in turn, and
// returns everything the terminal showed and the exit status.
std::pair<std::string, int> run_on_terminal(const std::vector<std::string>& arguments,
                                            const std::vector<std::string>& answers) {
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        std::vector<char*> argv = {const_cast<char*>(SIPCRYPT_BINARY)};
        for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(SIPCRYPT_BINARY, argv.data());
        _exit(127);
    }
    std::string screen;
    std::size_t answered = 0;
    std::size_t prompts_seen = 0;
    for (;;) {
        pollfd fd = {master, POLLIN, 0};
        if (::poll(&fd, 1, 10000) <= 0) break;  // a hung prompt fails the test, not the run
        char buffer[4096];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) break;  // EIO once the tool has exited
        screen.append(buffer, static_cast<std::size_t>(n));
        std::size_t at = 0;
        prompts_seen = 0;
        while ((at = screen.find("assword: ", at)) != std::string::npos) {
            ++prompts_seen;
            at += 9;
        }
        while (answered < prompts_seen && answered < answers.size()) {
            const std::string line = answers[answered++] + "\n";
            if (::write(master, line.data(), line.size()) < 0) break;
        }
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {screen, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(PasswordSources, TheTerminalIsAskedWithoutEcho) {
    auto [screen, status] = run_on_terminal({"encrypt", alice}, {"secret", "secret"});
    EXPECT_EQ(status, 0) << screen;
    EXPECT_NE(screen.find("Password: "), std::string::npos) << screen;
    EXPECT_NE(screen.find("Repeat password: "), std::string::npos) << screen;
    EXPECT_NE(screen.find(alice_text), std::string::npos) << screen;
    EXPECT_EQ(screen.find("secret"), std::string::npos) << "echoed: " << screen;

    std::tie(screen, status) = run_on_terminal({"encrypt", alice}, {"secret", "secrte"});
    EXPECT_EQ(status, 1) << screen;
    EXPECT_NE(screen.find("the two passwords differ"), std::string::npos) << screen;
    EXPECT_EQ(screen.find(alice_text), std::string::npos) << screen;

    // Decrypting asks once.
    std::tie(screen, status) = run_on_terminal({"decrypt", alice_text}, {"secret"});
    EXPECT_EQ(status, 0) << screen;
    EXPECT_EQ(screen.find("Repeat"), std::string::npos) << screen;
    EXPECT_NE(screen.find(alice), std::string::npos) << screen;
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
