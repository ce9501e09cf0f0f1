#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

#include "cipher/secret_memory.h"

namespace sipcrypt::cli {

// Every read and write of the tool reports the same way: an empty
// error_code when it went well, else the reason. The system's own parts are
// here, behind one seam (POSIX or Windows).

inline constexpr int standard_input = 0;
inline constexpr int standard_output = 1;
inline constexpr int standard_error = 2;

// Reads what is there, up to `size` bytes: at least one byte, or none (got
// is 0) at the end of input. Goes on after a signal, and waits when the
// descriptor is non-blocking and has nothing yet.
std::error_code read_some(int fd, char* buffer, std::size_t size, std::size_t& got);

// Writes all of `data`, going on after signals and short writes.
std::error_code write_all(int fd, std::string_view data);

// Opens a file to read; `fd` is then the descriptor, closed by close_file.
std::error_code open_for_reading(const std::string& path, int& fd);
void close_file(int fd);

bool is_terminal(int fd);

// At start: standard input, output and error that were closed stay closed
// for reading and writing, and no file the tool opens takes their numbers.
void hold_closed_standard_descriptors();

// Where the whole documentation is, for the help: the manual page, or on
// Windows the text files installed beside the program.
std::string where_the_documentation_is();

// Clears the arguments from the process's argument list, where other users
// can read them, once the tool has its own copies.
void hide_arguments(int argc, char** argv);

}  // namespace sipcrypt::cli
