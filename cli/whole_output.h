#pragma once

#include <sys/types.h>

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
    int fd() const noexcept { return fd_; }

    // Delivers the output: an empty error_code, or else why not, with
    // failure() saying what failed.
    std::error_code commit();

    // Where the output goes ("standard output" or the path), and where its
    // bytes are written until commit(), for messages.
    std::string destination() const;
    const std::string& written_to() const noexcept { return written_to_; }
    const std::string& failure() const noexcept { return failure_; }
    const std::error_code& error() const noexcept { return error_; }

  private:
    enum class Delivery { rename_into_place, copy_in };

    bool fail(std::string what, std::error_code error);
    bool open_beside(const std::string& target);
    bool open_anonymous();
    std::error_code copy_in();
    std::error_code rename_into_place();

    std::string path_;
    std::string target_;  // the file that gets the output, symbolic links followed
    Delivery delivery_ = Delivery::copy_in;
    int fd_ = -1;         // the temporary file
    int target_fd_ = -1;  // copy_in: the destination, opened up front
    bool target_is_regular_ = false;
    bool target_existed_ = false;
    mode_t mode_ = 0600;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    std::string named_temporary_;  // only when the system has no unnamed files
    std::string written_to_;
    std::string failure_;
    std::error_code error_;
};

}  // namespace sipcrypt::cli
