#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/secret_memory.h"
#include "core/outcome.h"
#include "diagnostics.h"
#include "input_error.h"
#include "io.h"
#include "line_reader.h"
#include "output_sink.h"

namespace sipcrypt::cli {

// Turns each argument, or when there are none each line of standard input,
// into one line of standard output, in order: transform(input, output) gives
// the line. A refused input is reported with its argument or line number and
// gives an empty line, and the rest go on; an empty input gives an empty
// line. `too_long` is the outcome for a line too long to read whole. The
// arguments, which may be secret values, are wiped once used. Returns the
// exit status.
template <class Transform>
int transform_values(std::vector<std::string>& arguments, const Outcome& too_long,
                     Transform&& transform) {
    OutputSink output(standard_output);
    SecretBytes result;
    bool refused = false;
    const auto emit = [&](const Outcome& status, const char* kind, std::size_t number) {
        output.write_line(status.ok() ? std::string_view(result.data(), result.size()) : "");
        if (status.ok() || status == ParameterStatus::empty_value) return;
        report(std::string(kind) + " " + std::to_string(number), describe(status));
        refused = true;
    };
    for (std::size_t i = 0; i < arguments.size() && !output.error(); ++i) {
        emit(transform(std::string_view(arguments[i]), result), "argument", i + 1);
    }
    if (arguments.empty()) {
        LineReader reader(standard_input);
        std::optional<std::string_view> line;
        // Once output fails, the rest cannot arrive: stop reading.
        for (std::size_t number = 1; !output.error(); ++number) {
            const std::error_code error = reader.next(line);
            if (error && error != InputError::line_too_long) {
                report("standard input", error.message());
                refused = true;
                break;
            }
            if (!error && !line) break;
            emit(error ? too_long : transform(*line, result), "line", number);
        }
    }
    for (auto& argument : arguments) wipe_string(argument);
    return output.finish("standard output") && !refused ? exit_done : exit_refused;
}

}  // namespace sipcrypt::cli
