#pragma once

#include <cstdint>
#include <string>
#include <system_error>

// What whole output asks of the system, in the same few functions for POSIX
// systems and for Windows. Causes a user can mend come back as generic
// codes: is_a_directory, permission_denied, and no_such_file_or_directory
// for a folder that is not there.
namespace sipcrypt::cli::output_platform {

struct Target {
    enum class Kind { stream, file, in_place };
    Kind kind = Kind::stream;
    int fd = -1;          // stream and in_place: open for writing
    bool own_fd = false;  // opened here, to be closed here
    std::string path;     // file and in_place: the file itself, links followed
    std::string folder;   // and the folder it is in
};

struct Spool {
    int fd = -1;
    std::string name;  // a name that must go when the output does not
};

// What `path` names, checked for writing; "-" is standard output.
std::error_code examine(const std::string& path, Target& target);
void close_target(Target& target);

// A file to hold the output until it is delivered: beside the target for a
// file, so that it can be renamed over it; else unnamed in the temporary
// folder, which `where` then names for messages.
std::error_code open_spool(const Target& target, Spool& spool, std::string& where);

// The spool, synced, takes the file target's place, keeping what the
// platform keeps of the file it replaces; the folder is synced too.
std::error_code put_in_place(Spool& spool, const Target& target);

// Removes an undelivered spool and closes it.
void discard(Spool& spool);

// The size of what was written to `fd`, which then reads from its start.
std::error_code rewind(int fd, std::uint64_t& size);

// For a file written in place: room for `size` bytes before any byte
// changes, and then the file cut to `size` and synced.
std::error_code reserve(int fd, std::uint64_t size);
std::error_code finish_in_place(int fd, std::uint64_t size);

}  // namespace sipcrypt::cli::output_platform
