#pragma once

#include <cstdint>
#include <optional>
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
    std::string name;    // that name; for a temporary file, where it is, for messages
};

// Opens what `path` names ("-" is standard output) as a redirection would,
// the system's rules for links and permissions applying, and finds how it
// can take the output. Every refusal comes from here, before any work.
Outcome open_target(const std::string& path, Target& target);
void close_target(Target& target);

// Where the output waits: for a file, beside it, with no name where the
// system allows it, and with the file's extended attributes (a file whose
// attributes cannot be copied is written in place instead); else unnamed
// among temporary files. Readable by its owner only.
Outcome open_spool(Target& target, Spool& spool);

// The spool, synced, takes the file's place with the file's mode, owner and
// access lists; the folder is synced too. Nothing half-written can show.
Outcome put_in_place(Spool& spool, const Target& target);

// Removes an undelivered spool and closes it.
void discard(Spool& spool);

// The size of what was written to `fd`, which then reads from its start.
Outcome rewind(int fd, std::uint64_t& size);

// Around rewriting a file in place: a lock that another run waits for,
// room for `size` bytes before any byte changes, the signals that would end
// the tool held; then the file cut to `size` (when it was written whole),
// synced, and all let go.
Outcome begin_in_place(const Target& target, std::uint64_t size);
Outcome end_in_place(const Target& target, std::optional<std::uint64_t> size);

}  // namespace sipcrypt::cli::output_platform
