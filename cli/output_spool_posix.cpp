// Where whole output waits, and how it takes a file's place, on POSIX systems.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "output_platform.h"

namespace sipcrypt::cli::output_platform {

namespace {

std::error_code last_error(int error = errno) {
    return {error, std::generic_category()};
}

// The spool beside a file target, to remove if a signal ends the tool. Only
// what is set up before the handler runs can be used there.
char armed_name[PATH_MAX];
volatile sig_atomic_t armed = 0;
constexpr int ending_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void remove_and_end(int signal_number) {
    if (armed != 0) ::unlink(armed_name);
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

}  // namespace

std::error_code open_spool(const Target& target, Spool& spool, std::string& where) {
    const char* tmpdir = std::getenv("TMPDIR");
    const bool beside = target.kind == Target::Kind::file;
    const bool from_environment = tmpdir != nullptr && *tmpdir != '\0';
    const std::string folder = from_environment ? tmpdir : "/tmp";
    if (!beside) where = from_environment ? "TMPDIR (" + folder + ")" : folder;
    std::string name = (beside ? target.path + "." : folder + "/") + "sipcrypt-XXXXXX";
    // The name and its removal come into being together.
    sigset_t ending, previous;
    sigemptyset(&ending);
    for (const int s : ending_signals) sigaddset(&ending, s);
    sigprocmask(SIG_BLOCK, &ending, &previous);
    spool.fd = ::mkstemp(name.data());
    const int error = spool.fd < 0 ? errno : 0;
    if (spool.fd >= 0 && !beside) ::unlink(name.c_str());
    if (spool.fd >= 0 && beside && name.size() < sizeof armed_name) {
        spool.name = name;
        std::memcpy(armed_name, name.c_str(), name.size() + 1);
        armed = 1;
        for (const int s : ending_signals) {
            struct sigaction action = {};
            sigaction(s, nullptr, &action);
            if (action.sa_handler == SIG_IGN) continue;
            action.sa_handler = remove_and_end;
            sigaction(s, &action, nullptr);
        }
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return last_error(error);
}

std::error_code put_in_place(Spool& spool, const Target& target) {
    // The mode and owner first, so that the file never shows with wider
    // rights than the one it replaces; synced before the rename, so that a
    // crash leaves the old file or the whole new one, never a short one.
    struct stat info;
    if (::stat(target.path.c_str(), &info) == 0 &&
        (::fchmod(spool.fd, info.st_mode & 07777) != 0 ||
         (::geteuid() == 0 && ::fchown(spool.fd, info.st_uid, info.st_gid) != 0))) {
        return last_error();
    }
    if (::fsync(spool.fd) != 0) return last_error();
    const int closed = ::close(spool.fd);
    spool.fd = -1;
    if (closed != 0 || ::rename(spool.name.c_str(), target.path.c_str()) != 0) return last_error();
    spool.name.clear();
    armed = 0;
    const int folder = ::open(target.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int error = folder < 0 || ::fsync(folder) != 0 ? errno : 0;
    if (folder >= 0) ::close(folder);
    return last_error(error);
}

void discard(Spool& spool) {
    if (spool.fd >= 0) ::close(spool.fd);
    if (!spool.name.empty()) ::unlink(spool.name.c_str());
    spool = {};
    armed = 0;
}

std::error_code rewind(int fd, std::uint64_t& size) {
    const off_t end = ::lseek(fd, 0, SEEK_END);
    size = static_cast<std::uint64_t>(end);
    return last_error(end < 0 || ::lseek(fd, 0, SEEK_SET) != 0 ? errno : 0);
}

}  // namespace sipcrypt::cli::output_platform
