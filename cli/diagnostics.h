#pragma once

#include <string_view>

namespace sipcrypt::cli {

// "sipcrypt: <where>: <what>" on standard error; `where` may be empty.
void report(std::string_view where, std::string_view what);
void warn(std::string_view what);

}  // namespace sipcrypt::cli
