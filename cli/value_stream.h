#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/outcome.h"
#include "output_sink.h"

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

}  // namespace sipcrypt::cli
