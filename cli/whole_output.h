#pragma once

#include <string>

namespace sipcrypt::cli {

// Output that appears whole or not at all. Everything is first written to a
// temporary file: beside the destination file, which commit() then renames
// into place, or for standard output an anonymous one, which commit()
// copies out. Without commit() nothing reaches the destination.
class WholeOutput {
  public:
    // An empty path means standard output.
    explicit WholeOutput(std::string path);
    ~WholeOutput();
    WholeOutput(const WholeOutput&) = delete;
    WholeOutput& operator=(const WholeOutput&) = delete;

    // The descriptor to write to; -1 when the temporary file could not be
    // made, with error() saying why.
    int fd() const noexcept { return fd_; }

    // Delivers the output. False, with error() saying why, if it could not.
    bool commit();
    const std::string& error() const noexcept { return error_; }
    // Where the output goes, for messages.
    std::string destination() const;

  private:
    bool fail(const std::string& what);

    std::string path_;
    std::string temporary_path_;  // empty for the anonymous file
    int fd_ = -1;
    std::string error_;
};

}  // namespace sipcrypt::cli
