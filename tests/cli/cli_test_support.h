#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "process_runner.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace sipcrypt::testing {

#ifdef _WIN32
inline constexpr bool on_windows = true;
#else
inline constexpr bool on_windows = false;
#endif

inline const std::map<std::string, std::string> secret_env = {{"SIP_KEY", "secret"}};
// Under "secret": alice, b, c, d, and "sip:alice@example.com".
inline const std::string alice = "QPJLUKCpC3c=";
inline const std::string b = "9/7rnzksAxg=", c = "Gxos3GrD4a8=", d = "6FE5TAxsEao=";
inline const std::string sip_alice = "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ";
inline const std::string bom = "\xEF\xBB\xBF";
inline const std::string header = "login,password,proxy,outbound_proxy";

// The built tool, as users run it.
inline ProcessResult sipcrypt(const std::vector<std::string>& arguments,
                              const std::string& input = {},
                              const std::map<std::string, std::string>& environment = {},
                              const std::map<int, std::string>& fd_inputs = {}) {
    return run_process(SIPCRYPT_BINARY, arguments, input, environment, fd_inputs);
}

// One run of the tool as a row of a table: its arguments (with "sh:" first,
// the second is a shell line after the tool's name), its input, and what
// must come of it.
struct Case {
    std::string name;
    std::vector<std::string> arguments;
    std::string input;
    int status;
    std::string out;
    std::string message;  // a part of standard error; "" for none at all
    std::map<std::string, std::string> environment = secret_env;
};

// Runs the case and checks its status, its output and its message; every
// line on standard error is the tool's own.
inline ProcessResult check(const Case& c) {
    SCOPED_TRACE(c.name);
    const bool through_shell = !c.arguments.empty() && c.arguments[0] == "sh:";
    const auto r =
        through_shell
            ? run_process("/bin/sh", {"-c", std::string(SIPCRYPT_BINARY) + " " + c.arguments[1]},
                          c.input, c.environment)
            : sipcrypt(c.arguments, c.input, c.environment);
    EXPECT_EQ(r.exit_status, c.status) << r.err;
    EXPECT_EQ(r.out, c.out);
    if (c.message.empty()) {
        EXPECT_EQ(r.err, "");
    } else {
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    for (std::size_t at = 0; at < r.err.size(); at = r.err.find('\n', at) + 1) {
        EXPECT_EQ(r.err.compare(at, 10, "sipcrypt: "), 0) << r.err;
    }
    return r;
}

inline std::string contents(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream read;
    read << file.rdbuf();
    return read.str();
}

// A folder of its own for a test, open to every user, and gone after it.
class Folder {
  public:
    Folder() {
        static int made = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("sipcrypt-test-" + std::to_string(::getpid()) + "-" + std::to_string(++made));
        std::filesystem::create_directories(path_);
        std::filesystem::permissions(path_, std::filesystem::perms::all);
    }
    ~Folder() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            found.push_back(entry.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
        return *this / name;
    }
    std::string read(const std::string& name) const { return contents(path_ / name); }

  private:
    std::filesystem::path path_;
};

}  // namespace sipcrypt::testing
