// The password prompt on POSIX terminals.
#include <fcntl.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <iterator>
#include <string_view>
#include <system_error>

#include "cipher/secret_memory.h"
#include "io.h"
#include "line_reader.h"
#include "terminal_prompt.h"

namespace sipcrypt::cli {

namespace {

// Signals that must not find the terminal with echo off: those that end the
// tool, and the stop from Ctrl-Z. SIGTTIN and SIGTTOU keep their default
// action, which stops the tool before it touches a terminal it does not own.
constexpr int watched_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};
constexpr std::size_t watched_count = std::size(watched_signals);

volatile sig_atomic_t caught_signal = 0;

extern "C" void note_signal(int signal_number) {
    caught_signal = signal_number;
}

// While a secret is read: the watched signals are caught and blocked, and
// only let through while waiting for input, so that any of them ends the
// wait at once.
class SignalWatch {
  public:
    SignalWatch() {
        caught_signal = 0;
        sigset_t watched;
        sigemptyset(&watched);
        for (std::size_t i = 0; i < watched_count; ++i) {
            sigaction(watched_signals[i], nullptr, &previous_[i]);
            // A signal the tool was started with ignored stays ignored.
            if (previous_[i].sa_handler == SIG_IGN) continue;
            struct sigaction action = {};
            action.sa_handler = note_signal;
            sigemptyset(&action.sa_mask);
            sigaction(watched_signals[i], &action, nullptr);
            sigaddset(&watched, watched_signals[i]);
        }
        sigprocmask(SIG_BLOCK, &watched, &previous_mask_);
    }
    ~SignalWatch() {
        for (std::size_t i = 0; i < watched_count; ++i) {
            sigaction(watched_signals[i], &previous_[i], nullptr);
        }
        sigprocmask(SIG_SETMASK, &previous_mask_, nullptr);
    }
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // Waits until `fd` has input, or a watched signal came (false).
    bool wait_for_input(int fd) const {
        for (;;) {
            if (caught_signal != 0) return false;
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(fd, &readable);
            if (::pselect(fd + 1, &readable, nullptr, nullptr, nullptr, &previous_mask_) >= 0) {
                return true;
            }
            if (errno != EINTR) return true;  // the read that follows reports it
        }
    }

  private:
    struct sigaction previous_[watched_count];
    sigset_t previous_mask_;
};

// A line typed with echo off, until its LF; false when a watched signal came
// first.
bool read_hidden_line(int fd, const SignalWatch& watch, SecretBytes& line, Outcome& error) {
    line.clear();
    for (;;) {
        if (!watch.wait_for_input(fd)) return false;
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = Outcome::from_errno(errno);
            return true;
        }
        if (n == 0) {
            if (line.empty()) error = Code::nothing_entered;
            return true;
        }
        if (c == '\n') return true;
        if (line.size() == LineReader::max_line_length + 2) {
            error = Outcome::over_limit(Code::line_too_long, LineReader::max_line_length);
            return true;
        }
        line.push_back(c);
    }
}

// The terminal to ask on, opened for reading and writing (`fd` may be open
// for reading only): the controlling one, or the one `fd` reads from.
Outcome open_terminal(int fd, int& terminal) {
    char name[256] = "/dev/tty";
    if (fd >= 0 && !isatty(fd)) return Code::no_terminal;
    if (const int failed = fd < 0 ? 0 : ttyname_r(fd, name, sizeof name); failed != 0) {
        return Outcome::from_errno(failed);
    }
    terminal = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    const int error = errno;
    if (terminal >= 0 && isatty(terminal)) return Code::done;
    if (terminal >= 0) ::close(terminal);
    return fd < 0 ? Outcome(Code::no_terminal) : Outcome::from_errno(error);
}

Outcome ask_on(int fd, std::string_view prompt, SecretBytes& answer) {
    for (;;) {
        int signal_number = 0;
        Outcome error;
        {
            termios saved;
            if (tcgetattr(fd, &saved) != 0) return Code::echo_stays_on;
            const SignalWatch watch;
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK);
            quiet.c_lflag |= ECHONL;
            termios now;
            // Never read a secret unless echo is known to be off.
            if (tcsetattr(fd, TCSAFLUSH, &quiet) != 0 || tcgetattr(fd, &now) != 0 ||
                (now.c_lflag & ECHO) != 0) {
                tcsetattr(fd, TCSAFLUSH, &saved);
                return Code::echo_stays_on;
            }
            (void)write_all(fd, prompt);
            const bool read = read_hidden_line(fd, watch, answer, error);
            tcsetattr(fd, TCSAFLUSH, &saved);
            signal_number = read ? 0 : caught_signal;
        }
        if (signal_number != 0) {
            // Acted on once the terminal is as it was and the handlers are
            // gone: the default action ends the tool or stops it.
            (void)write_all(fd, "\n");
            std::raise(signal_number);
            continue;  // resumed after a stop: ask again
        }
        if (error == Code::nothing_entered) (void)write_all(fd, "\n");
        if (!error.ok()) {
            answer.clear();
            return error;
        }
        return finish_typed_line(answer);
    }
}

}  // namespace

bool has_terminal() {
    int terminal = -1;
    if (!open_terminal(-1, terminal).ok()) return false;
    ::close(terminal);
    return true;
}

Outcome ask_secret(int fd, std::string_view prompt, SecretBytes& answer) {
    int terminal = -1;
    if (Outcome opened = open_terminal(fd, terminal); !opened.ok()) return opened;
    const Outcome asked = ask_on(terminal, prompt, answer);
    ::close(terminal);
    return asked;
}

}  // namespace sipcrypt::cli
