#include "io.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace sipcrypt::cli {

namespace {

std::error_code last_error() {
    return {errno, std::generic_category()};
}

// For a descriptor opened non-blocking by whoever started the tool.
void wait_for(int fd, short events) {
    pollfd wanted = {fd, events, 0};
    while (::poll(&wanted, 1, -1) < 0 && errno == EINTR) {
    }
}

}  // namespace

std::error_code read_some(int fd, char* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return {};
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            wait_for(fd, POLLIN);
        } else if (errno != EINTR) {
            return last_error();
        }
    }
}

std::error_code write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n >= 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            wait_for(fd, POLLOUT);
        } else if (errno != EINTR) {
            return last_error();
        }
    }
    return {};
}

}  // namespace sipcrypt::cli
