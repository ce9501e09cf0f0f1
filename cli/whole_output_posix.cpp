// Output that appears whole, on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include "io.h"
#include "whole_output.h"

namespace sipcrypt::cli {

namespace {

std::error_code last_error() {
    return {errno, std::generic_category()};
}

// A named temporary file to remove if a signal ends the tool while it
// exists; the handler can only use what is set up before it runs.
char pending_removal[4096];
volatile sig_atomic_t removal_armed = 0;
constexpr int ending_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void remove_and_reraise(int signal_number) {
    if (removal_armed != 0) ::unlink(pending_removal);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// Holds back the signals that end the tool while a file and its name for
// the handler come into being together.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int s : ending_signals) sigaddset(&held, s);
        sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t previous_;
};

// Removes `path` if a signal ends the tool before disarm_removal().
void arm_removal(const std::string& path) {
    if (path.size() >= sizeof pending_removal) return;
    std::memcpy(pending_removal, path.c_str(), path.size() + 1);
    removal_armed = 1;
    for (const int s : ending_signals) {
        struct sigaction previous;
        sigaction(s, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) continue;
        struct sigaction action = {};
        action.sa_handler = remove_and_reraise;
        sigaction(s, &action, nullptr);
    }
}

void disarm_removal() {
    removal_armed = 0;
}

std::string directory_of(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// `path` with every symbolic link in its last part followed: the file that
// writing to `path` would write.
std::string followed(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::vector<char> link(static_cast<std::size_t>(info.st_size) + 256);
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) == link.size()) return path;
        const std::string to(link.data(), static_cast<std::size_t>(n));
        path = to.front() == '/' ? to : directory_of(path) + "/" + to;
    }
    return path;  // a loop: opening it reports one
}

std::string temporary_directory() {
    const char* tmpdir = std::getenv("TMPDIR");
    return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}

}  // namespace

struct WholeOutput::State {
    explicit State(std::string path);
    ~State();
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    enum class Delivery { rename_into_place, copy_in };

    bool fail(std::string what, std::error_code error);
    bool open_beside(const std::string& target);
    bool open_anonymous();
    std::error_code commit();
    std::error_code copy_in();
    std::error_code rename_into_place();
    std::string destination() const;

    std::string path_;
    std::string target_;  // the file that gets the output, symbolic links followed
    Delivery delivery_ = Delivery::copy_in;
    int fd_ = -1;         // the temporary file
    int target_fd_ = -1;  // copy_in: the destination, opened up front
    bool target_is_regular_ = false;
    bool target_existed_ = false;
    mode_t mode_ = 0600;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    std::string named_temporary_;  // only when the system has no unnamed files
    std::string written_to_;
    std::string failure_;
    std::error_code error_;
};

WholeOutput::State::State(std::string path) : path_(std::move(path)) {
    if (path_.empty() || path_ == "-") {
        target_fd_ = STDOUT_FILENO;
        open_anonymous();
        return;
    }
    target_ = followed(path_);
    struct stat info;
    if (::stat(target_.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            fail("cannot use it", last_error());
            return;
        }
        delivery_ = Delivery::rename_into_place;
        open_beside(target_);
        return;
    }
    target_existed_ = true;
    target_is_regular_ = S_ISREG(info.st_mode);
    if (target_is_regular_ && info.st_nlink == 1) {
        if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) {
            fail("cannot write", last_error());
            return;
        }
        delivery_ = Delivery::rename_into_place;
        mode_ = info.st_mode & 07777;
        owner_ = info.st_uid;
        group_ = info.st_gid;
        open_beside(target_);
        return;
    }
    // Renaming would split hard links or put a file where a FIFO or a
    // device was: write into it instead, opened now so that a target that
    // cannot be written is refused before any work.
    target_fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (target_fd_ < 0) {
        fail("cannot write", last_error());
        return;
    }
    open_anonymous();
}

WholeOutput::State::~State() {
    if (fd_ >= 0) ::close(fd_);
    if (target_fd_ > STDERR_FILENO) ::close(target_fd_);
    if (!named_temporary_.empty()) {
        ::unlink(named_temporary_.c_str());
        disarm_removal();
    }
}

std::string WholeOutput::State::destination() const {
    return target_fd_ == STDOUT_FILENO ? "standard output" : path_;
}

bool WholeOutput::State::fail(std::string what, std::error_code error) {
    failure_ = std::move(what);
    error_ = error;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return false;
}

// An unnamed file in the target's folder, which commit() names; or, where
// the file system has no unnamed files, a named one that is removed on
// failure and on the signals that end the tool.
bool WholeOutput::State::open_beside(const std::string& target) {
    const std::string folder = directory_of(target);
    written_to_ = path_;
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd_ >= 0) return true;
    std::string pattern = target + ".XXXXXX";
    const SignalsHeld held;
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) return fail("cannot create a file beside it", last_error());
    arm_removal(pattern);
    named_temporary_ = pattern;
    return true;
}

bool WholeOutput::State::open_anonymous() {
    const char* tmpdir = std::getenv("TMPDIR");
    const bool from_environment = tmpdir != nullptr && *tmpdir != '\0';
    const std::string folder = temporary_directory();
    written_to_ = from_environment ? "the temporary file in TMPDIR (" + folder + ")"
                                   : "the temporary file in " + folder;
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) return true;
    std::string pattern = folder + "/sipcrypt-XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        return fail(std::string(from_environment ? "TMPDIR (" + folder + ")" : folder) +
                        ": cannot make a temporary file there",
                    last_error());
    }
    ::unlink(pattern.c_str());
    return true;
}

std::error_code WholeOutput::State::commit() {
    if (fd_ < 0) return error_;
    const std::error_code result =
        delivery_ == Delivery::rename_into_place ? rename_into_place() : copy_in();
    if (result) error_ = result;
    return result;
}

std::error_code WholeOutput::State::rename_into_place() {
    failure_ = "cannot write";
    // The mode and owner first: the file must never show with wider rights.
    if (target_existed_) {
        if (::fchmod(fd_, mode_) != 0) return last_error();
        if (::geteuid() == 0 && ::fchown(fd_, owner_, group_) != 0) return last_error();
    }
    if (::fsync(fd_) != 0) return last_error();
    failure_ = "cannot put the file in place";
    if (named_temporary_.empty()) {
        // Named beside the target only for the moment before the rename.
        const std::string proc = "/proc/self/fd/" + std::to_string(fd_);
        const SignalsHeld held;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name =
                target_ + ".sipcrypt-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
            if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                arm_removal(name);
                named_temporary_ = name;
                break;
            }
            if (errno != EEXIST) return last_error();
        }
        if (named_temporary_.empty()) return std::make_error_code(std::errc::file_exists);
    }
    if (::close(fd_) != 0) {
        fd_ = -1;
        return last_error();
    }
    fd_ = -1;
    if (::rename(named_temporary_.c_str(), target_.c_str()) != 0) return last_error();
    named_temporary_.clear();
    disarm_removal();
    return {};
}

std::error_code WholeOutput::State::copy_in() {
    failure_ = "cannot read the temporary file back";
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    if (size < 0 || ::lseek(fd_, 0, SEEK_SET) != 0) return last_error();
    if (target_is_regular_) {
        failure_ = "cannot write";
        // Space first, so that a full disk leaves the file as it was.
        if (::fallocate(target_fd_, 0, 0, size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS) {
            return last_error();
        }
        if (::lseek(target_fd_, 0, SEEK_SET) != 0) return last_error();
    }
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        std::size_t got = 0;
        failure_ = "cannot read the temporary file back";
        if (const auto error = read_some(fd_, buffer.data(), buffer.size(), got)) return error;
        if (got == 0) break;
        failure_ = "cannot write";
        if (const auto error = write_all(target_fd_, {buffer.data(), got})) return error;
    }
    if (target_is_regular_) {
        if (::ftruncate(target_fd_, size) != 0 || ::fsync(target_fd_) != 0) return last_error();
    }
    return {};
}

WholeOutput::WholeOutput(std::string path) : state_(std::make_unique<State>(std::move(path))) {}
WholeOutput::~WholeOutput() = default;
int WholeOutput::fd() const noexcept {
    return state_->fd_;
}
std::error_code WholeOutput::commit() {
    return state_->commit();
}
std::string WholeOutput::destination() const {
    return state_->destination();
}
const std::string& WholeOutput::written_to() const noexcept {
    return state_->written_to_;
}
const std::string& WholeOutput::failure() const noexcept {
    return state_->failure_;
}
const std::error_code& WholeOutput::error() const noexcept {
    return state_->error_;
}

}  // namespace sipcrypt::cli
