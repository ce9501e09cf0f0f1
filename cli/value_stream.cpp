#include "value_stream.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "diagnostics.h"
#include "exit_status.h"
#include "line_reader.h"

namespace sipcrypt::cli {

namespace {

// Writes the output line for one input; false, after reporting where, when
// the input was refused.
bool emit(const Outcome& status, const std::string& result, OutputSink& output, const char* kind,
          std::size_t number) {
    if (status == ParameterStatus::done) {
        output.write_line(result);
        return true;
    }
    output.write_line({});
    if (status == ParameterStatus::empty_value) return true;
    std::string where = kind;
    where += ' ';
    where += std::to_string(number);
    report(where, describe(status));
    return false;
}

}  // namespace

int transform_values(std::vector<std::string>& arguments, OutputSink& output,
                     ParameterStatus too_long, const ValueTransform& transform) {
    bool refused = false;
    std::string result;
    if (!arguments.empty()) {
        for (std::size_t i = 0; i < arguments.size() && !output.failed(); ++i) {
            const auto status = transform(arguments[i], result);
            refused |= !emit(status, result, output, "argument", i + 1);
        }
    } else {
        LineReader reader(STDIN_FILENO);
        std::string_view line;
        // Once output fails, the rest cannot arrive: stop reading.
        for (std::size_t number = 1; !output.failed(); ++number) {
            const auto read = reader.next(line);
            if (read == LineReader::Result::end) break;
            if (read == LineReader::Result::error) {
                report("standard input", reader.error().message());
                refused = true;
                break;
            }
            const Outcome status =
                read == LineReader::Result::too_long ? Outcome(too_long) : transform(line, result);
            refused |= !emit(status, result, output, "line", number);
        }
    }
    wipe_string(result);
    for (auto& argument : arguments) wipe_string(argument);
    if (!output.flush()) {
        report("standard output", std::strerror(output.error_number()));
        return exit_refused;
    }
    return refused ? exit_refused : exit_done;
}

}  // namespace sipcrypt::cli
