#pragma once

#include <memory>
#include <string>
#include <system_error>

namespace sipcrypt::cli {

// Output that appears whole or not at all. Everything is first written to a
// temporary file; only commit() delivers it:
//  - to a new file or a regular file with one name, by renaming a file made
//    beside it into its place: the file keeps its mode (and, for root, its
//    owner); a new one is readable by its owner only. A symbolic link is
//    followed, and the file it names is the one replaced.
//  - to standard output ("-" or no path), a FIFO, a device, or a regular
//    file with several names (hard links), by copying in: the link between
//    the names stays, and a file's space is reserved first where the file
//    system allows, so that a full disk is found before any byte changes.
// A target the user may not write is refused when opened. No temporary file
// is left behind, even when a signal ends the tool.
class WholeOutput {
  public:
    explicit WholeOutput(std::string path);
    ~WholeOutput();
    WholeOutput(const WholeOutput&) = delete;
    WholeOutput& operator=(const WholeOutput&) = delete;

    // The descriptor to write to, when error() is empty; else error() and
    // failure() say why the output could not be opened.
    int fd() const noexcept;

    // Delivers the output: an empty error_code, or else why not, with
    // failure() saying what failed.
    std::error_code commit();

    // Where the output goes ("standard output" or the path), and where its
    // bytes are written until commit(), for messages.
    std::string destination() const;
    const std::string& written_to() const noexcept;
    const std::string& failure() const noexcept;
    const std::error_code& error() const noexcept;

    struct State;  // the platform's own

  private:
    std::unique_ptr<State> state_;
};

}  // namespace sipcrypt::cli
