#pragma once

#include <map>
#include <string>
#include <vector>

namespace sipcrypt::testing {

struct ProcessResult {
    int exit_status = -1;  // -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `arguments`, feeds `input` on its standard input and
// collects both outputs. `environment` is set on top of the test's own, and
// each of `fd_inputs` (at most a pipe's buffer) is readable on its
// descriptor. The process gets a session of its own, so it never has a
// controlling terminal.
ProcessResult run_process(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& input = {},
                          const std::map<std::string, std::string>& environment = {},
                          const std::map<int, std::string>& fd_inputs = {});

}  // namespace sipcrypt::testing
