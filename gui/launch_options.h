#pragma once

#include <string>
#include <vector>

#include "core/outcome.h"

namespace sipcrypt::gui {

// What sipcrypt-gui was started to do, read from its arguments the same way
// by every view.
struct LaunchOptions {
    enum class Action { run, help, version, usage_error };
    Action action = Action::run;
    std::string encoding;  // the one named; empty: as chosen without --encoding
    Outcome error;         // for usage_error: what is wrong
};

// Reads the arguments after the program's name: --encoding NAME (or
// --encoding=NAME), -h/--help, -v/--version.
LaunchOptions read_launch_options(const std::vector<std::string>& arguments);

// The help text.
std::string launch_usage();

}  // namespace sipcrypt::gui
