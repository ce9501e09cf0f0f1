#pragma once

#include <string>
#include <string_view>

#include "core/accounts.h"
#include "output_platform.h"

namespace sipcrypt::cli {

// The tool's output, buffered: standard output as it goes (made with no
// path), or whole or not at all where -o points: a file replaced by one made
// beside it with all it had; one that cannot be replaced so, rewritten in
// place; anything else written into as it is open. A failed or interrupted
// run leaves nothing behind.
class WholeOutput : public accounts::ByteSink {
  public:
    WholeOutput() = default;
    explicit WholeOutput(const std::string& path) : whole_(true), path_(path) {}
    ~WholeOutput() override;
    WholeOutput(const WholeOutput&) = delete;
    WholeOutput& operator=(const WholeOutput&) = delete;

    // Before any work: done, or why the target cannot take the output.
    Outcome open();
    // Whether the output will be shown on a terminal.
    bool to_terminal() const;

    void write(std::string_view bytes) override;
    // Whether a write failed: what follows cannot arrive.
    bool failed() const noexcept { return !error_.ok(); }

    // Delivers the output; on failure the target is as it was.
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
