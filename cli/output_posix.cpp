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
#include <filesystem>
#include <vector>

#include "command.h"
#include "output_platform.h"

namespace sipcrypt::cli::output_platform {

namespace {

// The signals that end the tool unless caught, all of them that can be:
// held while a file changes, and caught to remove a named spool. Faults of
// the tool's own (SIGSEGV and the like) cannot wait, and are left alone.
sigset_t ending_signals() {
    sigset_t ending;
    sigfillset(&ending);
    for (const int other : {SIGKILL, SIGSTOP, SIGCHLD, SIGCONT, SIGURG, SIGWINCH, SIGTSTP, SIGTTIN,
                            SIGTTOU, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT})
        sigdelset(&ending, other);
    return ending;
}

void hold_signals(bool hold) {
    static sigset_t previous;
    const sigset_t ending = ending_signals();
    sigprocmask(hold ? SIG_BLOCK : SIG_SETMASK, hold ? &ending : &previous,
                hold ? &previous : nullptr);
}

// Removed through its folder, so that a folder renamed meanwhile does not
// strand it.
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
    armed_folder = ::dup(folder);
    armed = 1;
    const sigset_t ending = ending_signals();
    for (int s = 1; s < NSIG; ++s) {
        struct sigaction action = {};
        if (sigismember(&ending, s) != 1 || sigaction(s, nullptr, &action) != 0) continue;
        if (action.sa_handler == SIG_IGN) continue;
        action.sa_handler = remove_and_end;
        sigaction(s, &action, nullptr);
    }
}

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Which of the tool's descriptors `path` names, if any: a number in one of
// its own descriptor folders (/proc/self/fd, /proc/thread-self/fd, whatever
// they are called, as /dev/fd and /dev/stdout lead there); -1 for none.
int descriptor_named(std::string path) {
    struct stat own, thread, folder;
    if (::stat("/proc/self/fd", &own) != 0) return -1;
    if (::stat("/proc/thread-self/fd", &thread) != 0) thread = own;
    for (int hops = 0; hops < 40; ++hops) {
        const std::string number = path.substr(path.rfind('/') + 1);
        if (!number.empty() && number.size() < 10 &&
            number.find_first_not_of("0123456789") == std::string::npos &&
            ::stat(folder_of(path).c_str(), &folder) == 0 &&
            ((folder.st_dev == own.st_dev && folder.st_ino == own.st_ino) ||
             (folder.st_dev == thread.st_dev && folder.st_ino == thread.st_ino))) {
            return std::atoi(number.c_str());
        }
        std::error_code no_link;
        const std::string next = std::filesystem::read_symlink(path, no_link);
        if (next.empty()) return -1;
        path = next.front() == '/' ? next : folder_of(path) + "/" + next;
    }
    return -1;
}

long flags_of(int fd) {
    long flags = 0;
    return ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 ? flags : 0;
}

// A name for a file of ours in `folder`, within its limit on names.
std::string name_beside(int folder, const std::string& name) {
    const std::string suffix = ".sipcrypt-" + std::to_string(::getpid());
    const long limit = ::fpathconf(folder, _PC_NAME_MAX);
    const std::size_t room = limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
    return name.substr(0, room > suffix.size() ? room - suffix.size() : 0) + suffix;
}

// The extended attributes of `from`, the access lists among them or all
// others, onto `to`.
bool copy_attributes(int from, int to, bool access_lists) {
    std::vector<char> names(
        static_cast<std::size_t>(std::max<ssize_t>(::flistxattr(from, nullptr, 0), 0)));
    const ssize_t listed = names.empty() ? 0 : ::flistxattr(from, names.data(), names.size());
    if (listed < 0) return errno == ENOTSUP;
    for (std::size_t at = 0; at < static_cast<std::size_t>(listed);
         at += std::strlen(&names[at]) + 1) {
        const char* name = &names[at];
        if ((std::strncmp(name, "system.posix_acl_", 17) == 0) != access_lists) continue;
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

}  // namespace

Outcome open_target(const std::string& path, Target& target) {
    target = {};
    if (path.empty() || path == "-") target.fd = STDOUT_FILENO;
    if (target.fd >= 0 || (target.fd = descriptor_named(path)) >= 0) {
        const int flags = ::fcntl(target.fd, F_GETFL);
        return flags < 0                         ? Outcome::from_errno(errno)
               : (flags & O_ACCMODE) == O_RDONLY ? Code::not_open_for_writing
                                                 : Code::done;
    }
    // As a redirection opens it, but neither made nor cut yet; a FIFO with no
    // reader is said to be waited for. A link to a file that is not there
    // yet: the kernel makes it where its rules for links let it, and it goes
    // again if the output does not come.
    int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENXIO) {
        report(Outcome(Code::waiting_for_reader).about(path));
        fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    }
    struct stat info;
    if (fd < 0 && errno == ENOENT && ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0600);
        target.created = fd >= 0;
    }
    if (fd < 0 && errno == EPERM) {
        // chattr's flags, where they are the reason.
        const int error = errno, readable = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        const long flags = readable < 0 ? 0 : flags_of(readable);
        if (readable >= 0) ::close(readable);
        if ((flags & FS_IMMUTABLE_FL) != 0) return Code::immutable;
        return (flags & FS_APPEND_FL) != 0 ? Code::append_only : Outcome::from_errno(error);
    }
    if (fd < 0 && errno != ENOENT) return Outcome::from_errno(errno);
    target.kind = Target::Kind::file;
    target.path = path;
    target.fd = fd;
    target.own_fd = target.exists = fd >= 0;
    if (fd >= 0 && ::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
        target.kind = Target::Kind::stream;
        return Outcome::from_errno(::fcntl(fd, F_SETFL, O_WRONLY) == 0 ? 0 : errno);
    }
    // The folder of what was opened, wherever links led.
    std::error_code unknown;
    const auto opened =
        std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), unknown);
    if (fd >= 0 && !opened.empty()) target.path = opened;
    target.name = target.path.substr(target.path.rfind('/') + 1);
    const std::string folder_path = folder_of(target.path);
    target.folder = ::open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat folder;
    if (target.folder < 0 || ::fstat(target.folder, &folder) != 0)
        return Outcome::from_errno(errno);
    const long folder_flags = flags_of(target.folder);
    if ((folder_flags & FS_IMMUTABLE_FL) != 0 && !target.exists) return Code::immutable_folder;
    const bool writable = ::faccessat(AT_FDCWD, folder_path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    if (!target.exists) return Outcome::from_errno(writable ? 0 : errno);
    // Renamed over only where the folder lets it be: a writable folder that,
    // when sticky (as /tmp is), is ours or holds a file of ours.
    const uid_t me = ::geteuid();
    const bool replaceable =
        writable && (folder_flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) == 0 &&
        ((folder.st_mode & S_ISVTX) == 0 || me == 0 || folder.st_uid == me || info.st_uid == me);
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
    const bool named_tmpdir = tmpdir != nullptr && *tmpdir != '\0';
    const std::string temporary = named_tmpdir ? tmpdir : "/tmp";
    const int folder =
        beside ? target.folder : ::open(temporary.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    spool.fd = folder < 0 ? -1 : ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (spool.fd < 0 && folder >= 0 && (errno == EOPNOTSUPP || errno == EISDIR)) {
        // No unnamed files there: a named one, which comes into being with
        // its removal.
        hold_signals(true);
        spool.name = name_beside(folder, beside ? target.name : "");
        spool.fd =
            ::openat(folder, spool.name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
        spool.named = spool.fd >= 0 && beside;
        if (spool.named) arm(folder, spool.name);
        if (spool.fd >= 0 && !beside) ::unlinkat(folder, spool.name.c_str(), 0);
        hold_signals(false);
    }
    const int error = spool.fd < 0 ? errno : 0;
    if (!beside && folder >= 0) ::close(folder);
    if (!beside) spool.name = named_tmpdir ? "TMPDIR (" + temporary + ")" : temporary;
    if (error != 0) {
        Outcome failed = Outcome::from_errno(error);
        failed.code = beside ? Code::no_file_beside : Code::no_spool_there;
        if (!beside) failed.subject = spool.name;
        return failed;
    }
    // Attributes that cannot be copied keep the file where it is: rewritten.
    if (beside && target.exists && !copy_attributes(target.fd, spool.fd, false)) {
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
         !copy_attributes(target.fd, spool.fd, true))) {
        return Outcome::from_errno(errno);
    }
    if (::fsync(spool.fd) != 0) return Outcome::from_errno(errno);
    hold_signals(true);
    // Linked under a name of its own first where a file is replaced: a link
    // cannot replace one.
    const std::string name = spool.named     ? spool.name
                             : target.exists ? name_beside(target.folder, target.name)
                                             : target.name;
    int error = 0;
    if (!spool.named && ::linkat(AT_FDCWD, ("/proc/self/fd/" + std::to_string(spool.fd)).c_str(),
                                 target.folder, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        error = errno;
    } else if (name != target.name &&
               ::renameat(target.folder, name.c_str(), target.folder, target.name.c_str()) != 0) {
        error = errno;
        if (!spool.named) ::unlinkat(target.folder, name.c_str(), 0);
    }
    if (error == 0) spool.named = false;
    armed = armed != 0 && error != 0;
    hold_signals(false);
    return Outcome::from_errno(error != 0 ? error : ::fsync(target.folder) == 0 ? 0 : errno);
}

void discard(Spool& spool) {
    if (spool.fd >= 0) ::close(spool.fd);
    if (spool.named && armed != 0) ::unlinkat(armed_folder, armed_name, 0);
    armed = 0;
    spool = {};
}

void hold(const Target& target, bool on) {
    if (on && ::flock(target.fd, LOCK_EX | LOCK_NB) != 0) {
        report(Outcome(Code::waiting_for_lock).about(target.path));
        while (::flock(target.fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    hold_signals(on);
    if (!on) ::flock(target.fd, LOCK_UN);
}

}  // namespace sipcrypt::cli::output_platform
