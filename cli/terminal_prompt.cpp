#include "terminal_prompt.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "line_reader.h"

namespace sipcrypt::cli {

namespace {

// What the signal handler needs to give the terminal its echo back if the
// user interrupts while it is off.
volatile sig_atomic_t echo_off_fd = -1;
termios saved_settings;

const int restoring_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

extern "C" void restore_and_reraise(int signal_number) {
    if (echo_off_fd >= 0) tcsetattr(echo_off_fd, TCSAFLUSH, &saved_settings);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Reads up to LF one byte at a time, never past the line.
bool read_line(int fd, SecretBytes& line) {
    line.clear();
    for (;;) {
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\n') break;
        if (line.size() > LineReader::max_line_length) continue;  // drop, keep reading
        line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

}  // namespace

std::unique_ptr<TerminalPrompt> TerminalPrompt::open() {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (!isatty(fd)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<TerminalPrompt>(new TerminalPrompt(fd));
}

TerminalPrompt::TerminalPrompt(int fd) : fd_(fd) {}

TerminalPrompt::~TerminalPrompt() {
    ::close(fd_);
}

void TerminalPrompt::say(std::string_view text) {
    write_all(fd_, text);
}

bool TerminalPrompt::ask_secret(std::string_view prompt, SecretBytes& answer) {
    // Echo goes off before the prompt shows, so nothing typed after it is seen.
    termios settings;
    const bool can_hide = tcgetattr(fd_, &settings) == 0;
    struct sigaction previous[std::size(restoring_signals)];
    if (can_hide) {
        saved_settings = settings;
        struct sigaction action = {};
        action.sa_handler = restore_and_reraise;
        for (std::size_t i = 0; i < std::size(restoring_signals); ++i) {
            sigaction(restoring_signals[i], &action, &previous[i]);
        }
        echo_off_fd = fd_;
        settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        settings.c_lflag |= ECHONL;
        tcsetattr(fd_, TCSAFLUSH, &settings);
    }
    write_all(fd_, prompt);
    const bool got = read_line(fd_, answer);
    if (can_hide) {
        tcsetattr(fd_, TCSAFLUSH, &saved_settings);
        echo_off_fd = -1;
        for (std::size_t i = 0; i < std::size(restoring_signals); ++i) {
            sigaction(restoring_signals[i], &previous[i], nullptr);
        }
    }
    if (!got) write_all(fd_, "\n");
    return got;
}

}  // namespace sipcrypt::cli
