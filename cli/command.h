#pragma once

namespace CLI {
class App;
}

namespace sipcrypt::cli {

// One subcommand of the tool: it adds its options to the parser, and runs
// when the command line chose it.
class Command {
  public:
    virtual ~Command() = default;
    virtual bool chosen() const = 0;
    virtual int run() = 0;
};

}  // namespace sipcrypt::cli
