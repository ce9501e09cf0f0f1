#pragma once

#include <map>
#include <string>
#include <vector>

namespace sipcrypt::testing {

struct ProcessResult {
    int exit_status = -1;  // -1 when the process did not exit normally
    int signal = 0;        // the signal that ended it, if one did
    std::string out;
    std::string err;
};

// Runs `program` with `arguments`, feeds `input` on its standard input and
// collects both outputs. The one part that both POSIX systems and Windows
// have.
ProcessResult run_process(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& input = {},
                          const std::map<std::string, std::string>& environment = {},
                          const std::map<int, std::string>& fd_inputs = {});

#ifndef _WIN32
struct ProcessSetup {
    std::map<std::string, std::string> environment;  // set on top of the test's own
    std::map<int, std::string> fd_inputs;            // each readable on its descriptor
    std::vector<int> pipes;                          // descriptors the test writes to itself
    bool nonblocking_input = false;                  // standard input opened O_NONBLOCK
};

// A started process. It gets a session of its own, so it never has a
// controlling terminal. Its standard input stays open until close_input()
// or wait(); its outputs are collected all along, so it never blocks on them.
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const ProcessSetup& setup = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int pid() const { return pid_; }
    void write_input(const std::string& data);
    void close_input();
    // Writes to one of setup.pipes, or closes it.
    void write_to(int fd, const std::string& data);
    void close_pipe(int fd);
    // Closes standard input, collects both outputs to their end and waits.
    ProcessResult wait();

  private:
    bool pump(int input_fd, const std::string& data, std::size_t& written, int timeout_ms);

    int pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::map<int, int> pipes_;  // child's descriptor -> our write end
    ProcessResult result_;
};

#endif

}  // namespace sipcrypt::testing
