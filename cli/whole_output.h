#pragma once

#include <string>

#include "output_platform.h"

namespace sipcrypt::cli {

// Output that appears whole or not at all where -o points ("-" or nothing:
// standard output). The target is examined when the object is made, before
// any work, and the output is held until commit() delivers it:
//  - a regular file, named directly or through symbolic links, is replaced
//    by a file made beside it, synced and renamed over it; it keeps its mode
//    and owner (on Windows its attributes and ACL), and a new one is
//    readable by its owner only;
//  - a regular file with several names (hard links), or one that may be
//    written but not replaced, is written in place, space first;
//  - anything else (standard output, /dev/stdout, /dev/fd/N, a FIFO, a
//    terminal, a device, NUL, CON) is written into as it is open, appending
//    where it was opened to append; nothing is ever renamed over the file
//    behind a descriptor.
// A failed run, or one that a signal or Ctrl-C ends, leaves no file behind.
class WholeOutput {
  public:
    explicit WholeOutput(const std::string& path);
    ~WholeOutput();
    WholeOutput(const WholeOutput&) = delete;
    WholeOutput& operator=(const WholeOutput&) = delete;

    // Empty while all is well; else why not, for a message about destination().
    const std::string& problem() const noexcept { return problem_; }
    // Where to write the output until commit(), and its name for messages.
    int fd() const noexcept { return spool_.fd; }
    const std::string& spool_name() const noexcept { return spool_where_; }
    // Whether the output will be shown on a terminal.
    bool to_terminal() const;
    // Delivers the output; false, with problem() set, when it could not.
    bool commit();
    // "standard output" or the path as given.
    const std::string& destination() const noexcept { return destination_; }

  private:
    bool fail(const std::string& what, std::error_code why);
    std::error_code write_into_target();

    std::string destination_;
    output_platform::Target target_;
    output_platform::Spool spool_;
    std::string spool_where_;
    std::string problem_;
};

}  // namespace sipcrypt::cli
