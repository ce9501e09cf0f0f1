#include "terminal_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace sipcrypt::testing {

namespace {

constexpr int ten_seconds = 10000;

void say(int fd, const std::string& text) {
    if (::write(fd, text.data(), text.size()) < 0) _exit(120);
}

// The shell's whole life, in the forked child that forkpty made the session
// leader. Never returns.
[[noreturn]] void run_shell(const std::vector<std::string>& arguments, int events, int commands) {
    // Taking the terminal's foreground back from a stopped job must not stop
    // the shell itself.
    ::signal(SIGTTOU, SIG_IGN);
    int go[2];
    if (::pipe(go) != 0) _exit(121);
    const pid_t job = ::fork();
    if (job == 0) {
        ::setpgid(0, 0);
        ::close(go[1]);
        char c;
        if (::read(go[0], &c, 1) != 1) _exit(122);  // until the terminal is ours
        ::signal(SIGTTOU, SIG_DFL);
        std::vector<char*> argv = {const_cast<char*>(SIPCRYPT_BINARY)};
        for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(SIPCRYPT_BINARY, argv.data());
        _exit(127);
    }
    ::setpgid(job, job);
    ::tcsetpgrp(STDIN_FILENO, job);
    say(go[1], "g");
    for (;;) {
        int status = 0;
        if (::waitpid(job, &status, WUNTRACED) < 0) _exit(123);
        if (WIFSTOPPED(status)) {
            ::tcsetpgrp(STDIN_FILENO, ::getpgrp());
            say(events, "stopped\n");
            char command;
            if (::read(commands, &command, 1) != 1) _exit(124);
            ::tcsetpgrp(STDIN_FILENO, job);
            ::kill(-job, SIGCONT);
            continue;
        }
        ::tcsetpgrp(STDIN_FILENO, ::getpgrp());
        if (WIFEXITED(status)) {
            say(events, "exited " + std::to_string(WEXITSTATUS(status)) + "\n");
        } else {
            say(events, "killed by " + std::to_string(WTERMSIG(status)) + "\n");
        }
        _exit(0);
    }
}

}  // namespace

TerminalSession::TerminalSession(const std::vector<std::string>& arguments) {
    int events[2], commands[2];
    if (::pipe(events) != 0 || ::pipe(commands) != 0) throw std::runtime_error("pipe failed");
    shell_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    if (shell_ < 0) throw std::runtime_error("forkpty failed");
    if (shell_ == 0) {
        ::close(events[0]);
        ::close(commands[1]);
        run_shell(arguments, events[1], commands[0]);
    }
    ::close(events[1]);
    ::close(commands[0]);
    events_ = events[0];
    commands_ = commands[1];
}

TerminalSession::~TerminalSession() {
    if (shell_ > 0) {
        ::kill(shell_, SIGKILL);
        ::waitpid(shell_, nullptr, 0);
    }
    ::close(master_);
    ::close(events_);
    ::close(commands_);
}

bool TerminalSession::read_screen(int timeout_ms) {
    pollfd fd = {master_, POLLIN, 0};
    if (::poll(&fd, 1, timeout_ms) <= 0) return false;
    char buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;  // EIO once nothing holds the terminal open
    screen_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool TerminalSession::wait_for(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ten_seconds);
    for (;;) {
        if (const auto at = screen_.find(text, seen_); at != std::string::npos) {
            seen_ = at + text.size();
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !read_screen(static_cast<int>(left.count()))) return false;
    }
}

void TerminalSession::type(const std::string& keys) {
    if (::write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
        throw std::runtime_error("typing failed");
    }
}

std::string TerminalSession::next_event() {
    std::string event;
    for (;;) {
        pollfd fd = {events_, POLLIN, 0};
        // Keep the terminal drained, so that the job never blocks writing to it.
        pollfd both[2] = {fd, {master_, POLLIN, 0}};
        if (::poll(both, 2, ten_seconds) <= 0) return event;
        if ((both[1].revents & POLLIN) != 0) read_screen(0);
        if ((both[0].revents & (POLLIN | POLLHUP)) == 0) continue;
        char c;
        if (::read(events_, &c, 1) != 1 || c == '\n') return event;
        event += c;
    }
}

void TerminalSession::resume() {
    if (::write(commands_, "f", 1) != 1) throw std::runtime_error("resume failed");
}

termios TerminalSession::settings() const {
    termios now{};
    if (::tcgetattr(master_, &now) != 0) throw std::runtime_error("tcgetattr failed");
    return now;
}

const std::string& TerminalSession::finish() {
    while (read_screen(ten_seconds)) {
    }
    // A job still running, at a prompt no one answers, ends with its shell.
    if (shell_ > 0 && ::waitpid(shell_, nullptr, WNOHANG) == 0) {
        ::kill(shell_, SIGKILL);
        ::waitpid(shell_, nullptr, 0);
    }
    shell_ = -1;
    return screen_;
}

}  // namespace sipcrypt::testing
