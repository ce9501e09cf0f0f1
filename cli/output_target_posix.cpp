// What -o names, on POSIX systems.
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "output_platform.h"

namespace sipcrypt::cli::output_platform {

namespace {

std::error_code last_error(int error = errno) {
    return {error, std::generic_category()};
}

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// A name in the process's own descriptor folder (/dev/fd, on Linux
// /proc/PID/fd behind it) stands for that descriptor; else -1.
int descriptor_named(const std::string& path) {
    const std::string last = path.substr(path.rfind('/') + 1);
    char folder[PATH_MAX];
    if (last.empty() || last.size() > 9 || last.find_first_not_of("0123456789") != last.npos ||
        ::realpath(folder_of(path).c_str(), folder) == nullptr) {
        return -1;
    }
    const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd";
    return folder == own || std::strcmp(folder, "/dev/fd") == 0 ? std::stoi(last) : -1;
}

// Follows the symbolic links of the last part of `path`, one at a time, up
// to a file or the name of a descriptor (/dev/stdout is a link to one).
std::string followed(std::string path, int& fd) {
    for (int hops = 0; hops < 40 && (fd = descriptor_named(path)) < 0; ++hops) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
        std::vector<char> link(static_cast<std::size_t>(info.st_size) + 256);
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) == link.size()) break;
        const std::string to(link.data(), static_cast<std::size_t>(n));
        path = to.front() == '/' ? to : folder_of(path) + "/" + to;
    }
    return path;
}

// Whether the folder lets a file be renamed over `file`: it must be
// writable, and when it is sticky (as /tmp is), the file or the folder ours.
bool replaceable(const std::string& folder, const struct stat& file) {
    struct stat info;
    const uid_t me = ::geteuid();
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0 &&
           ::stat(folder.c_str(), &info) == 0 &&
           ((info.st_mode & S_ISVTX) == 0 || me == 0 || file.st_uid == me || info.st_uid == me);
}

std::error_code writable(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return last_error();
    return last_error((flags & O_ACCMODE) == O_RDONLY ? EBADF : 0);
}

}  // namespace

std::error_code examine(const std::string& path, Target& target) {
    target = {};
    if (path.empty() || path == "-") return writable(target.fd = STDOUT_FILENO);
    int fd = -1;
    target.path = followed(path, fd);
    if (fd >= 0) return writable(target.fd = fd);
    target.folder = folder_of(target.path);
    struct stat info;
    if (::stat(target.path.c_str(), &info) != 0) {
        if (errno != ENOENT) return last_error();
        target.kind = Target::Kind::file;
        const bool folder = ::stat(target.folder.c_str(), &info) == 0;
        return last_error(folder && S_ISDIR(info.st_mode) ? 0 : ENOENT);
    }
    if (S_ISDIR(info.st_mode)) return last_error(EISDIR);
    if (S_ISREG(info.st_mode) && info.st_nlink == 1 && replaceable(target.folder, info)) {
        target.kind = Target::Kind::file;
        const int access = ::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS);
        return last_error(access == 0 ? 0 : errno);
    }
    // A file with several names or one that may be written but not replaced,
    // a FIFO or a device: opened now, so that one that cannot be written is
    // refused before any work.
    target.kind = S_ISREG(info.st_mode) ? Target::Kind::in_place : Target::Kind::stream;
    target.fd = ::open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    target.own_fd = target.fd >= 0;
    return last_error(target.own_fd ? 0 : errno);
}

void close_target(Target& target) {
    if (target.own_fd) ::close(target.fd);
    target = {};
}

// Room first, so that a full disk leaves the file as it was.
std::error_code reserve(int fd, std::uint64_t size) {
    const int error = size == 0 ? 0 : ::posix_fallocate(fd, 0, static_cast<off_t>(size));
    if (error != 0 && error != EINVAL && error != EOPNOTSUPP) return last_error(error);
    return last_error(::lseek(fd, 0, SEEK_SET) == 0 ? 0 : errno);
}

std::error_code finish_in_place(int fd, std::uint64_t size) {
    const bool done = ::ftruncate(fd, static_cast<off_t>(size)) == 0 && ::fsync(fd) == 0;
    return last_error(done ? 0 : errno);
}

}  // namespace sipcrypt::cli::output_platform
