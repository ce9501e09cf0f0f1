#pragma once

#include <string>
#include <vector>

namespace sipcrypt::gui {

// What sipcrypt-gui was started to do, read from its arguments the same way
// by every view.
struct LaunchOptions {
    enum class Action { run, help, version, usage_error };
    Action action = Action::run;
    std::string encoding;  // the one named; empty: as chosen without --encoding
    std::string error;     // for usage_error: what is wrong
};

// Reads the arguments after the program's name: --encoding NAME (or
// --encoding=NAME), -h/--help, -v/--version.
LaunchOptions read_launch_options(const std::vector<std::string>& arguments);

// The help text.
std::string launch_usage();

// Said before the program ends for want of a display, or of the dialog.
inline constexpr const char* use_the_tool =
    "Start it from a desktop session, or use the command-line tool instead, for example:\n"
    "  sipcrypt accounts --password-file pw.txt -i accounts.csv -o encrypted.csv\n";

}  // namespace sipcrypt::gui
