#pragma once

#include <cstddef>
#include <string_view>
#include <system_error>

namespace sipcrypt::cli {

// Every read and write of the tool reports the same way: an empty
// error_code when it went well, else the system's reason.

// Reads what is there, up to `size` bytes: at least one byte, or none (got
// is 0) at the end of input. Goes on after a signal, and waits when the
// descriptor is non-blocking and has nothing yet.
std::error_code read_some(int fd, char* buffer, std::size_t size, std::size_t& got);

// Writes all of `data`, going on after signals and short writes.
std::error_code write_all(int fd, std::string_view data);

}  // namespace sipcrypt::cli
