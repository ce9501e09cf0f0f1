// Whole output on Linux: the kernel opens the target as a redirection
// would; the output waits in a file with no name beside it, and takes the
// target's place under its name only once it is whole.
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "command.h"
#include "output_platform.h"

namespace sipcrypt::cli::output_platform {

namespace {

Outcome last_error(int error = errno) {
    return error == 0 ? Outcome() : Outcome::from_system({error, std::generic_category()});
}

// The signals that end the tool unless caught.
constexpr int ending_signals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGPIPE,   SIGALRM,
                                  SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF};
void hold_signals(bool hold) {
    static sigset_t previous;
    if (!hold) {
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        return;
    }
    sigset_t ending;
    sigemptyset(&ending);
    for (const int s : ending_signals) sigaddset(&ending, s);
    sigprocmask(SIG_BLOCK, &ending, &previous);
}

// A spool with a name, removed through its folder if a signal ends the
// tool, so that a folder renamed meanwhile does not strand it.
volatile sig_atomic_t armed = 0;
int armed_folder = -1;
char armed_name[NAME_MAX + 1];

extern "C" void remove_and_end(int signal_number) {
    if (armed != 0) ::unlinkat(armed_folder, armed_name, 0);
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

void arm(int folder, const std::string& name) {
    std::memcpy(armed_name, name.c_str(), name.size() + 1);
    armed_folder = folder;
    armed = 1;
    for (const int s : ending_signals) {
        struct sigaction action = {};
        sigaction(s, nullptr, &action);
        if (action.sa_handler == SIG_IGN) continue;
        action.sa_handler = remove_and_end;
        sigaction(s, &action, nullptr);
    }
}

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Which of the tool's descriptors `path` names, if any: a number in one of
// its own descriptor folders (/proc/self/fd, /proc/thread-self/fd, and by
// any other name, as /dev/fd and /dev/stdout lead there); -1 for none.
int descriptor_named(std::string path) {
    struct stat own, thread, folder, link;
    if (::stat("/proc/self/fd", &own) != 0) return -1;
    if (::stat("/proc/thread-self/fd", &thread) != 0) thread = own;
    for (int hops = 0; hops < 40; ++hops) {
        const std::string number = name_of(path);
        if (!number.empty() && number.size() < 10 &&
            number.find_first_not_of("0123456789") == std::string::npos &&
            ::stat(folder_of(path).c_str(), &folder) == 0 &&
            (same_file(folder, own) || same_file(folder, thread))) {
            return std::atoi(number.c_str());
        }
        if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return -1;
        std::vector<char> to(static_cast<std::size_t>(link.st_size) + 256);
        const ssize_t n = ::readlink(path.c_str(), to.data(), to.size());
        if (n <= 0 || static_cast<std::size_t>(n) == to.size()) return -1;
        const std::string next(to.data(), static_cast<std::size_t>(n));
        path = next.front() == '/' ? next : folder_of(path) + "/" + next;
    }
    return -1;
}

Outcome writable(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return last_error();
    return (flags & O_ACCMODE) == O_RDONLY ? Code::not_open_for_writing : Code::done;
}

long flags_of(int fd) {
    long flags = 0;
    return ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 ? flags : 0;
}

// Why a file may not be opened to write: chattr's flags, or the system's
// reason.
Outcome refused(const std::string& path, int error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    const long flags = fd < 0 ? 0 : flags_of(fd);
    if (fd >= 0) ::close(fd);
    if ((flags & FS_IMMUTABLE_FL) != 0) return Code::immutable;
    if ((flags & FS_APPEND_FL) != 0) return Code::append_only;
    return last_error(error);
}

// A name for a file of ours in `folder`, within its limit on names.
std::string name_beside(int folder, const std::string& name, const std::string& suffix) {
    const long limit = ::fpathconf(folder, _PC_NAME_MAX);
    const std::size_t room = limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
    return name.substr(0, room > suffix.size() ? room - suffix.size() : 0) + suffix;
}

// The extended attributes of `from` whose names `wanted` picks, onto `to`.
bool copy_attributes(int from, int to, bool (*wanted)(std::string_view)) {
    std::vector<char> names(
        static_cast<std::size_t>(std::max<ssize_t>(::flistxattr(from, nullptr, 0), 0)));
    const ssize_t listed = names.empty() ? 0 : ::flistxattr(from, names.data(), names.size());
    if (listed < 0) return errno == ENOTSUP;
    for (std::size_t at = 0; at < static_cast<std::size_t>(listed);
         at += std::strlen(&names[at]) + 1) {
        const char* name = &names[at];
        if (!wanted(name)) continue;
        std::vector<char> value(
            static_cast<std::size_t>(std::max<ssize_t>(::fgetxattr(from, name, nullptr, 0), 0)) +
            1);
        const ssize_t size = ::fgetxattr(from, name, value.data(), value.size());
        if (size < 0 ||
            ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(size), 0) != 0) {
            return false;
        }
    }
    return true;
}

bool is_access_list(std::string_view name) {
    return name.substr(0, 17) == "system.posix_acl_";
}
bool is_not_access_list(std::string_view name) {
    return !is_access_list(name);
}

}  // namespace

Outcome open_target(const std::string& path, Target& target) {
    target = {};
    if (path.empty() || path == "-") return writable(target.fd = STDOUT_FILENO);
    if ((target.fd = descriptor_named(path)) >= 0) return writable(target.fd);
    // As a redirection opens it, but neither made nor cut yet; a FIFO with no
    // reader is said to be waited for.
    int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENXIO) {
        report(Outcome(Code::waiting_for_reader).about(path));
        fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    }
    // A link to a file that is not there yet: the kernel makes it, as a
    // redirection would, where its rules for links let it; it goes again
    // if the output does not come.
    struct stat info;
    if (fd < 0 && errno == ENOENT && ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0600);
        target.created = fd >= 0;
    }
    if (fd < 0 && errno == EPERM) return refused(path, errno);
    if (fd < 0 && errno != ENOENT) return last_error();
    target.kind = Target::Kind::file;
    target.path = path;
    if (fd >= 0) {
        // The folder of what was opened, wherever links led.
        target.fd = fd;
        target.own_fd = true;
        ::fstat(fd, &info);
        if (!S_ISREG(info.st_mode)) {
            target.kind = Target::Kind::stream;
            return last_error(::fcntl(fd, F_SETFL, O_WRONLY) == 0 ? 0 : errno);
        }
        target.exists = true;
        std::vector<char> real(PATH_MAX + 1);
        const std::string own = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t n = ::readlink(own.c_str(), real.data(), real.size() - 1);
        if (n > 0) target.path.assign(real.data(), static_cast<std::size_t>(n));
    }
    target.name = name_of(target.path);
    target.folder = ::open(folder_of(target.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (target.folder < 0) return last_error(errno == ENOENT ? ENOENT : errno);
    const long folder_flags = flags_of(target.folder);
    struct stat folder;
    ::fstat(target.folder, &folder);
    const uid_t me = ::geteuid();
    // Renamed over only where the folder lets it be: a writable folder that,
    // when sticky (as /tmp is), is ours or holds a file of ours.
    const bool replaceable =
        ::faccessat(AT_FDCWD, folder_of(target.path).c_str(), W_OK | X_OK, AT_EACCESS) == 0 &&
        (folder_flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) == 0 &&
        ((folder.st_mode & S_ISVTX) == 0 || me == 0 || folder.st_uid == me ||
         (target.exists && info.st_uid == me));
    if (!target.exists) {
        if ((folder_flags & FS_IMMUTABLE_FL) != 0) return Code::immutable;
        return last_error(
            ::faccessat(AT_FDCWD, folder_of(target.path).c_str(), W_OK | X_OK, AT_EACCESS) == 0
                ? 0
                : errno);
    }
    if (info.st_nlink > 1 || !replaceable) target.kind = Target::Kind::in_place;
    return Code::done;
}

void close_target(Target& target) {
    if (target.created) ::unlinkat(target.folder, target.name.c_str(), 0);
    if (target.own_fd) ::close(target.fd);
    if (target.folder >= 0) ::close(target.folder);
    target = {};
}

Outcome open_spool(Target& target, Spool& spool) {
    const bool beside = target.kind == Target::Kind::file;
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string temporary = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
    const int folder =
        beside ? target.folder : ::open(temporary.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    spool.fd = folder < 0 ? -1 : ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (spool.fd < 0 && folder >= 0 && (errno == EOPNOTSUPP || errno == EISDIR)) {
        // No unnamed files there: a named one, which the name and its removal
        // come into being together.
        hold_signals(true);
        spool.name = name_beside(folder, beside ? target.name : "",
                                 ".sipcrypt-" + std::to_string(::getpid()));
        spool.fd =
            ::openat(folder, spool.name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
        spool.named = spool.fd >= 0;
        if (spool.named && beside) arm(::dup(folder), spool.name);
        if (spool.named && !beside) ::unlinkat(folder, spool.name.c_str(), 0);
        hold_signals(false);
    }
    const int error = spool.fd < 0 ? errno : 0;
    if (!beside && folder >= 0) ::close(folder);
    const std::string where =
        tmpdir != nullptr && *tmpdir != '\0' ? "TMPDIR (" + temporary + ")" : temporary;
    if (!beside) spool.name = "the temporary file in " + where;
    if (error != 0) {
        Outcome failed = Outcome::from_system({error, std::generic_category()});
        failed.code = beside ? Code::no_file_beside : Code::no_spool_there;
        if (!beside) failed.subject = where;
        return failed;
    }
    // Attributes that cannot be copied keep the file where it is: rewritten.
    if (beside && target.exists && !copy_attributes(target.fd, spool.fd, is_not_access_list)) {
        discard(spool);
        target.kind = Target::Kind::in_place;
        return open_spool(target, spool);
    }
    return Code::done;
}

Outcome put_in_place(Spool& spool, const Target& target) {
    // The mode, owner and access lists last, so that the output never shows
    // with wider rights than the file it replaces; synced before it takes the
    // name, so that a crash leaves the old file or the whole new one.
    struct stat info;
    if (target.exists &&
        (::fstat(target.fd, &info) != 0 || ::fchmod(spool.fd, info.st_mode & 07777) != 0 ||
         (::geteuid() == 0 && ::fchown(spool.fd, info.st_uid, info.st_gid) != 0) ||
         !copy_attributes(target.fd, spool.fd, is_access_list))) {
        return last_error();
    }
    if (::fsync(spool.fd) != 0) return last_error();
    hold_signals(true);
    int error = 0;
    if (spool.named) {
        error =
            ::renameat(target.folder, spool.name.c_str(), target.folder, target.name.c_str()) == 0
                ? 0
                : errno;
    } else {
        // Linked under a name of its own first where a file is replaced: a
        // link cannot replace one.
        const std::string own = "/proc/self/fd/" + std::to_string(spool.fd);
        const std::string name =
            target.exists
                ? name_beside(target.folder, target.name, ".sipcrypt-" + std::to_string(::getpid()))
                : target.name;
        error = ::linkat(AT_FDCWD, own.c_str(), target.folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0
                    ? 0
                    : errno;
        if (error == 0 && target.exists &&
            ::renameat(target.folder, name.c_str(), target.folder, target.name.c_str()) != 0) {
            error = errno;
            ::unlinkat(target.folder, name.c_str(), 0);
        }
    }
    if (error == 0) {
        spool.named = false;
        armed = 0;
    }
    hold_signals(false);
    if (error != 0) return last_error(error);
    return last_error(::fsync(target.folder) == 0 ? 0 : errno);
}

void discard(Spool& spool) {
    if (spool.fd >= 0) ::close(spool.fd);
    if (spool.named && armed != 0) ::unlinkat(armed_folder, armed_name, 0);
    if (armed != 0) ::close(armed_folder);
    armed = 0;
    spool = {};
}

Outcome rewind(int fd, std::uint64_t& size) {
    const off_t end = ::lseek(fd, 0, SEEK_END);
    size = static_cast<std::uint64_t>(end);
    return last_error(end < 0 || ::lseek(fd, 0, SEEK_SET) != 0 ? errno : 0);
}

Outcome begin_in_place(const Target& target, std::uint64_t size) {
    if (::flock(target.fd, LOCK_EX | LOCK_NB) != 0) {
        report(Outcome(Code::waiting_for_lock).about(target.path));
        while (::flock(target.fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    hold_signals(true);
    // Room first, so that a full disk leaves the file as it was; where the
    // file system cannot reserve it, zeros past the old end take it.
    struct stat info;
    ::fstat(target.fd, &info);
    const auto old_size = static_cast<std::uint64_t>(info.st_size);
    int error = 0;
    if (size > old_size &&
        ::fallocate(target.fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) != 0) {
        error = errno;
        if (error == EOPNOTSUPP) {
            static const char zeros[65536] = {};
            error = 0;
            for (std::uint64_t at = old_size; at < size && error == 0; at += sizeof zeros) {
                const auto n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(size - at, sizeof zeros));
                if (::pwrite(target.fd, zeros, n, static_cast<off_t>(at)) !=
                    static_cast<ssize_t>(n))
                    error = errno;
            }
            if (error != 0 && ::ftruncate(target.fd, static_cast<off_t>(old_size)) != 0)
                error = errno;
        }
    }
    if (error == 0 && ::lseek(target.fd, 0, SEEK_SET) != 0) error = errno;
    return last_error(error);
}

Outcome end_in_place(const Target& target, std::optional<std::uint64_t> size) {
    const bool done = !size || (::ftruncate(target.fd, static_cast<off_t>(*size)) == 0 &&
                                ::fsync(target.fd) == 0);
    const int error = done ? 0 : errno;
    hold_signals(false);
    ::flock(target.fd, LOCK_UN);
    return last_error(error);
}

}  // namespace sipcrypt::cli::output_platform
