#pragma once

#include <string>
#include <string_view>

#include "cipher/secret_memory.h"
#include "core/accounts.h"
#include "core/outcome.h"
#include "output_platform.h"

namespace sipcrypt::cli {

// Where the tool's output goes, buffered. Made with no path, it is standard
// output written as it goes (encrypt, decrypt). Made with a path (-o; "-"
// is standard output) the output appears whole or not at all:
//  - a regular file is replaced by a file made beside it, synced and
//    renamed over it, with its mode, owner, extended attributes and access
//    lists; a new one is readable by its owner only;
//  - a file that cannot be replaced with all it has (several names, a
//    folder that keeps it, attributes that cannot be copied) is rewritten in
//    place: room first, under a lock, with the signals that would end the
//    tool held until it is whole;
//  - anything else (standard output, a name of one of the tool's
//    descriptors, a FIFO, a terminal, a device, NUL, CON) is written into as
//    it is open, appending where it was opened to append.
// A failed or interrupted run leaves nothing behind.
class WholeOutput : public accounts::ByteSink {
  public:
    WholeOutput() = default;
    explicit WholeOutput(const std::string& path) : whole_(true), path_(path) {}
    ~WholeOutput() override;
    WholeOutput(const WholeOutput&) = delete;
    WholeOutput& operator=(const WholeOutput&) = delete;

    // Opens the target before any work: done, or why it cannot take the
    // output, said of it.
    Outcome open();
    // Whether the output will be shown on a terminal.
    bool to_terminal() const;

    void write(std::string_view bytes) override;
    // Whether a write failed: what follows cannot arrive.
    bool failed() const noexcept { return !error_.ok(); }

    // Delivers the output: done, or why not, said of the destination; the
    // target is then as it was.
    Outcome commit();

  private:
    void flush();
    Outcome deliver();
    Outcome failure(Outcome outcome) const;

    bool whole_ = false;
    std::string path_;
    output_platform::Target target_;
    output_platform::Spool spool_;
    SecretBytes buffer_;  // may hold decrypted values
    Outcome error_;
};

}  // namespace sipcrypt::cli
