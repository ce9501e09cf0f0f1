#include "whole_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace sipcrypt::cli {

namespace {

int anonymous_file() {
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string dir = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string pattern = dir + "/sipcrypt-XXXXXX";
    const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (named >= 0) ::unlink(pattern.c_str());
    return named;
}

bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

WholeOutput::WholeOutput(std::string path) : path_(std::move(path)) {
    if (path_.empty()) {
        fd_ = anonymous_file();
        if (fd_ < 0) fail("cannot make a temporary file");
        return;
    }
    temporary_path_ = path_ + ".XXXXXX";
    fd_ = ::mkostemp(temporary_path_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        temporary_path_.clear();
        fail("cannot create a file beside it");
    }
}

WholeOutput::~WholeOutput() {
    if (fd_ >= 0) ::close(fd_);
    if (!temporary_path_.empty()) ::unlink(temporary_path_.c_str());
}

std::string WholeOutput::destination() const {
    return path_.empty() ? "standard output" : path_;
}

bool WholeOutput::fail(const std::string& what) {
    error_ = what + ": " + std::strerror(errno);
    return false;
}

bool WholeOutput::commit() {
    if (fd_ < 0) return false;
    if (!path_.empty()) {
        if (::fsync(fd_) != 0) return fail("cannot write");
        if (::close(fd_) != 0) {
            fd_ = -1;
            return fail("cannot write");
        }
        fd_ = -1;
        if (::rename(temporary_path_.c_str(), path_.c_str()) != 0) {
            return fail("cannot put the file in place");
        }
        temporary_path_.clear();
        return true;
    }
    if (::lseek(fd_, 0, SEEK_SET) != 0) return fail("cannot read the temporary file back");
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail("cannot read the temporary file back");
        if (n == 0) return true;
        if (!write_all(STDOUT_FILENO, buffer.data(), static_cast<std::size_t>(n))) {
            return fail("cannot write");
        }
    }
}

}  // namespace sipcrypt::cli
