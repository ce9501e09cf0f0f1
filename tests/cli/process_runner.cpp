#include "process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace sipcrypt::testing {

namespace {

void make_pipe(int fds[2]) {
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
}

// Any size, unlike a pipe, whose buffer the test would have to drain.
int file_holding(const std::string& data) {
    const int fd = ::memfd_create("input", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size()) ||
        ::lseek(fd, 0, SEEK_SET) != 0) {
        throw std::runtime_error("memfd failed");
    }
    return fd;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const ProcessSetup& setup) {
    ::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    make_pipe(in);
    make_pipe(out);
    make_pipe(err);
    if (setup.nonblocking_input) ::fcntl(in[0], F_SETFL, O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<int> child_ends;
    for (const auto& [fd, data] : setup.fd_inputs) {
        const int file = file_holding(data);
        posix_spawn_file_actions_adddup2(&actions, file, fd);
        child_ends.push_back(file);
    }
    for (const int fd : setup.pipes) {
        int ends[2];
        make_pipe(ends);
        posix_spawn_file_actions_adddup2(&actions, ends[0], fd);
        child_ends.push_back(ends[0]);
        pipes_[fd] = ends[1];
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // SIGPIPE as a shell leaves it, not ignored as the test has it.
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &pipe_signal);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> argv_storage = {program};
    argv_storage.insert(argv_storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : argv_storage) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The test's environment, but no encoding setting of the user's: a test
    // that wants one sets it.
    std::map<std::string, std::string> environment = {
        {"SIPCRYPT_ENCODING", ""}, {"XDG_CONFIG_HOME", "/nonexistent/sipcrypt-test-settings"}};
    for (const auto& [name, value] : setup.environment) environment[name] = value;
    std::vector<std::string> env_storage;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (environment.count(entry.substr(0, entry.find('='))) == 0) env_storage.push_back(entry);
    }
    for (const auto& [name, value] : environment) env_storage.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& e : env_storage) envp.push_back(e.data());
    envp.push_back(nullptr);

    const int spawned =
        posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    for (const int fd : child_ends) ::close(fd);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
    if (spawned != 0) throw std::runtime_error("cannot start " + program);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {in_, out_, err_}) {
        if (fd >= 0) ::close(fd);
    }
    for (const auto& [_, fd] : pipes_) ::close(fd);
}

// Moves what the child wrote into the result and, when there is room, more
// of `data` into `input_fd`. False once both outputs are at their end and
// nothing is left to write.
bool ChildProcess::pump(int input_fd, const std::string& data, std::size_t& written,
                        int timeout_ms) {
    const bool writing = input_fd >= 0 && written < data.size();
    pollfd fds[3] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}, {writing ? input_fd : -1, POLLOUT, 0}};
    if (out_ < 0 && err_ < 0 && !writing) return false;
    if (::poll(fds, 3, timeout_ms) < 0) {
        if (errno == EINTR) return true;
        throw std::runtime_error("poll failed");
    }
    char buffer[65536];
    for (int k = 0; k < 2; ++k) {
        if ((fds[k].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        const ssize_t n = ::read(fds[k].fd, buffer, sizeof buffer);
        if (n > 0) {
            (k == 0 ? result_.out : result_.err).append(buffer, static_cast<std::size_t>(n));
        } else {
            ::close(fds[k].fd);
            (k == 0 ? out_ : err_) = -1;
        }
    }
    if (writing && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
        const ssize_t n = ::write(input_fd, data.data() + written, data.size() - written);
        if (n < 0) written = data.size();  // the child closed its end: nothing more goes in
        if (n > 0) written += static_cast<std::size_t>(n);
    }
    return true;
}

void ChildProcess::write_input(const std::string& data) {
    std::size_t written = 0;
    while (in_ >= 0 && written < data.size() && pump(in_, data, written, -1)) {
    }
}

void ChildProcess::close_input() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
}

void ChildProcess::write_to(int fd, const std::string& data) {
    std::size_t written = 0;
    while (written < data.size() && pump(pipes_.at(fd), data, written, -1)) {
    }
}

void ChildProcess::close_pipe(int fd) {
    ::close(pipes_.at(fd));
    pipes_.erase(fd);
}

ProcessResult ChildProcess::wait() {
    close_input();
    std::size_t none = 0;
    while (pump(-1, {}, none, -1)) {
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    result_.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result_;
}

ProcessResult run_process(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& input,
                          const std::map<std::string, std::string>& environment,
                          const std::map<int, std::string>& fd_inputs) {
    ChildProcess child(program, arguments, {environment, fd_inputs, {}, false});
    child.write_input(input);
    return child.wait();
}

}  // namespace sipcrypt::testing
