// The tool's reads and writes on POSIX systems.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "cipher/secret_memory.h"
#include "io.h"

namespace sipcrypt::cli {

namespace {

// For a descriptor opened non-blocking by whoever started the tool.
void wait_for(int fd, short events) {
    pollfd wanted = {fd, events, 0};
    while (::poll(&wanted, 1, -1) < 0 && errno == EINTR) {
    }
}

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

Outcome read_some(int fd, char* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return Code::done;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            wait_for(fd, POLLIN);
        } else if (errno != EINTR) {
            return Outcome::from_errno(errno);
        }
    }
}

Outcome write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n >= 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            wait_for(fd, POLLOUT);
        } else if (errno != EINTR) {
            return Outcome::from_errno(errno);
        }
    }
    return Code::done;
}

Outcome open_for_reading(const std::string& path, int& fd) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    return Outcome::from_errno(fd < 0 ? errno : 0);
}

Outcome size_of(int fd, std::uint64_t& size) {
    const off_t end = ::lseek(fd, 0, SEEK_END);
    size = static_cast<std::uint64_t>(end);
    return Outcome::from_errno(end < 0 ? errno : 0);
}

Outcome seek(int fd, std::uint64_t offset) {
    return Outcome::from_errno(::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0 ? errno : 0);
}

Outcome cut(int fd, std::uint64_t size) {
    const bool done = ::ftruncate(fd, static_cast<off_t>(size)) == 0 && ::fsync(fd) == 0;
    return Outcome::from_errno(done ? 0 : errno);
}

void close_file(int fd) {
    ::close(fd);
}

bool is_terminal(int fd) {
    return ::isatty(fd) != 0;
}

bool is_standard_input(const std::string& path) {
    struct stat in, named;
    return path == "-" || (::fstat(STDIN_FILENO, &in) == 0 && ::stat(path.c_str(), &named) == 0 &&
                           same_file(in, named));
}

bool is_standard_input(int fd) {
    struct stat in, other;
    return fd == STDIN_FILENO ||
           (::fstat(STDIN_FILENO, &in) == 0 && ::fstat(fd, &other) == 0 && same_file(in, other));
}

void hold_closed_standard_descriptors() {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // Opened the wrong way round: the number is taken, and every read or
        // write still fails as on a closed descriptor.
        const int stand_in = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (stand_in >= 0 && stand_in != fd) {
            ::dup2(stand_in, fd);
            ::close(stand_in);
        }
    }
}

std::string where_the_documentation_is() {
    return "'man sipcrypt' for all of it";
}

// Other users read them in /proc/PID/cmdline; whoever looks before this
// still sees them, so secrets belong on standard input.
void hide_arguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) secure_wipe(argv[i], std::strlen(argv[i]));
}

}  // namespace sipcrypt::cli
