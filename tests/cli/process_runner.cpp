#include "process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
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

}  // namespace

ProcessResult run_process(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& input,
                          const std::map<std::string, std::string>& environment,
                          const std::map<int, std::string>& fd_inputs) {
    ::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    make_pipe(in);
    make_pipe(out);
    make_pipe(err);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<int> extra_fds;
    for (const auto& [fd, data] : fd_inputs) {
        int extra[2];
        make_pipe(extra);
        if (::write(extra[1], data.data(), data.size()) != static_cast<ssize_t>(data.size())) {
            throw std::runtime_error("fd input too large");
        }
        ::close(extra[1]);
        posix_spawn_file_actions_adddup2(&actions, extra[0], fd);
        extra_fds.push_back(extra[0]);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

    std::vector<std::string> argv_storage = {program};
    argv_storage.insert(argv_storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : argv_storage) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> env_storage;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (environment.count(entry.substr(0, entry.find('='))) == 0) env_storage.push_back(entry);
    }
    for (const auto& [name, value] : environment) env_storage.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& e : env_storage) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    for (int fd : extra_fds) ::close(fd);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) throw std::runtime_error("cannot start " + program);

    ProcessResult result;
    std::size_t written = 0;
    int in_fd = in[1];
    if (input.empty()) {
        ::close(in_fd);
        in_fd = -1;
    }
    bool out_open = true, err_open = true;
    while (out_open || err_open || in_fd >= 0) {
        pollfd fds[3] = {{out_open ? out[0] : -1, POLLIN, 0},
                         {err_open ? err[0] : -1, POLLIN, 0},
                         {in_fd, POLLOUT, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll failed");
        }
        char buffer[65536];
        for (int k = 0; k < 2; ++k) {
            if ((fds[k].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            const ssize_t n = ::read(fds[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                (k == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            } else {
                (k == 0 ? out_open : err_open) = false;
            }
        }
        if (in_fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t n = ::write(in_fd, input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 || written == input.size()) {
                ::close(in_fd);
                in_fd = -1;
            }
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace sipcrypt::testing
