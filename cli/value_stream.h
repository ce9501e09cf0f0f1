#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cipher_command.h"
#include "core/codec.h"
#include "core/outcome.h"
#include "output_sink.h"
#include "password_input.h"

namespace sipcrypt::cli {

using ValueTransform = std::function<Outcome(std::string_view input, std::string& output)>;

// Turns each argument, or when there are none each line of standard input,
// into one output line, in order. A refused input is reported with its
// argument or line number and gives an empty line, and the rest go on; an
// empty input gives an empty line. `too_long` is the outcome for a line too
// long to read whole. The arguments, which may be secret values, are wiped
// once used. Returns the exit status.
int transform_values(std::vector<std::string>& arguments, OutputSink& output,
                     const Outcome& too_long, const ValueTransform& transform);

// A command that turns each argument, or each line of standard input, into
// one line of standard output.
class ValueCommand : public CipherCommand {
  protected:
    // `values` names the arguments and says what they are, for the help.
    ValueCommand(CLI::App& tool, const std::string& name, const std::string& description,
                 PasswordInput::Confirm confirm, const std::string& values,
                 const std::string& values_description, const Outcome& too_long);

  private:
    int step(Codec& codec) final;
    // One input to its output line.
    virtual Outcome transform(Codec& codec, std::string_view input, std::string& output) = 0;
    // After the last line, what is left to say.
    virtual void finish() {}

    std::vector<std::string> values_;
    Outcome too_long_;
};

}  // namespace sipcrypt::cli
