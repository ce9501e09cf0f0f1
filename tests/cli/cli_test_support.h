#pragma once

#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <string>

#include "process_runner.h"

namespace sipcrypt::testing {

// The built tool, as users run it.
inline ProcessResult sipcrypt(const std::vector<std::string>& arguments,
                              const std::string& input = {},
                              const std::map<std::string, std::string>& environment = {},
                              const std::map<int, std::string>& fd_inputs = {}) {
    return run_process(SIPCRYPT_BINARY, arguments, input, environment, fd_inputs);
}

// A file that lives as long as the test.
class TempFile {
  public:
    explicit TempFile(const std::string& contents) {
        char pattern[] = "/tmp/sipcrypt-test-XXXXXX";
        const int fd = ::mkstemp(pattern);
        path_ = pattern;
        ::close(fd);
        std::ofstream(path_, std::ios::binary) << contents;
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace sipcrypt::testing
