#pragma once

#include <string>

#include "core/outcome.h"

// What whole output asks of the system, in the same few calls for POSIX
// systems and for Windows: output_posix.cpp and output_win32.cpp.
namespace sipcrypt::cli::output_platform {

struct Target {
    enum class Kind {
        stream,    // written into as it is open: a descriptor, a FIFO, a device
        file,      // replaced by the spool
        in_place,  // a file that cannot be replaced with all it has: rewritten
    };
    Kind kind = Kind::stream;
    int fd = -1;           // open for writing, as a shell's redirection opens it
    bool own_fd = false;   // opened here, to be closed here
    int folder = -1;       // file: the folder it is in (POSIX)
    std::string path;      // file: the path of what was opened
    std::string name;      // file: its name in the folder
    bool exists = false;   // file: there is one to replace
    bool created = false;  // made here, through a link: to go unless the output comes
};

struct Spool {
    int fd = -1;
    bool named = false;  // has a name in the folder until put in place
    std::string name;    // that name; for a temporary file, its folder, for messages
};

// Opens what `path` names ("-": standard output) as a redirection would,
// and finds how it can take the output; every refusal comes from here.
Outcome open_target(const std::string& path, Target& target);
void close_target(Target& target);

// Where the output waits, readable by its owner only: beside a file, with
// its extended attributes (if they cannot be copied, the file is rewritten
// in place instead), else among temporary files; unnamed where it can be.
Outcome open_spool(Target& target, Spool& spool);

// The spool, synced, takes the file's place with its mode, owner and access
// lists; the folder is synced too.
Outcome put_in_place(Spool& spool, const Target& target);

// Removes an undelivered spool and closes it.
void discard(Spool& spool);

// Around rewriting a file in place: a lock that another run waits for, and
// the signals that would end the tool held; then both let go.
void hold(const Target& target, bool on);

}  // namespace sipcrypt::cli::output_platform
