#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/outcome.h"

// The tool's reads and writes, and what else it asks of the system, behind
// one seam: io_posix.cpp or io_win32.cpp. Every call reports an Outcome:
// done, or the reason.
namespace sipcrypt::cli {

inline constexpr int standard_input = 0;
inline constexpr int standard_output = 1;
inline constexpr int standard_error = 2;

// Reads what is there, up to `size` bytes: at least one byte, or none (got
// is 0) at the end of input. Goes on after a signal, and waits when the
// descriptor is non-blocking and has nothing yet.
Outcome read_some(int fd, char* buffer, std::size_t size, std::size_t& got);

// Writes all of `data`, going on after signals and short writes; a console
// on Windows gets it as UTF-16, so that every character shows.
Outcome write_all(int fd, std::string_view data);

// Where `fd` ends; moving it to `offset`; cutting its file at `size`, synced.
Outcome size_of(int fd, std::uint64_t& size);
Outcome seek(int fd, std::uint64_t offset);
Outcome cut(int fd, std::uint64_t size);

// Opens a file to read; `fd` is then the descriptor, closed by close_file.
Outcome open_for_reading(const std::string& path, int& fd);
void close_file(int fd);

bool is_terminal(int fd);

// Whether the file `path` names, or descriptor `fd` reads, is standard
// input: a password read from there must be read before the data.
bool is_standard_input(const std::string& path);
bool is_standard_input(int fd);

// At start: standard descriptors that were closed stay closed for reading
// and writing, and no file the tool opens takes their numbers; on Windows,
// bytes pass unchanged.
void hold_closed_standard_descriptors();

// Where the whole documentation is, for the help.
std::string where_the_documentation_is();

// Clears the arguments from where other users can read them, once the tool
// has its own copies.
void hide_arguments(int argc, char** argv);

#ifdef _WIN32
// The HANDLE under a descriptor; a binary descriptor that owns `handle`
// (-1, and the handle closed, when there is none to be had).
void* handle_of(int fd);
int descriptor_of(void* handle, int flags);
// A Windows error as an outcome: the causes a user can mend as the codes
// the rest of the tool knows, the others in Windows' own words.
Outcome windows_outcome(unsigned long code);
#endif

}  // namespace sipcrypt::cli
