#pragma once

#include <string_view>

namespace sipcrypt::cli {

// What scripts can rely on.
inline constexpr int exit_done = 0;
inline constexpr int exit_refused = 1;  // some input refused, or a file could not be used
inline constexpr int exit_usage = 2;    // the command line itself is wrong

// "sipcrypt: <where>: <what>" on standard error; `where` may be empty.
void report(std::string_view where, std::string_view what);
void warn(std::string_view what);

}  // namespace sipcrypt::cli
