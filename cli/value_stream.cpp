#include "value_stream.h"

#include <CLI/CLI.hpp>
#include <cstddef>
#include <optional>
#include <system_error>

#include "cipher/secret_memory.h"
#include "cipher_command.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "input_error.h"
#include "io.h"
#include "line_reader.h"
#include "output_sink.h"

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
    report(std::string(kind) + " " + std::to_string(number), describe(status));
    return false;
}

}  // namespace

int transform_values(std::vector<std::string>& arguments, OutputSink& output,
                     const Outcome& too_long, const ValueTransform& transform) {
    bool refused = false;
    std::string result;
    if (!arguments.empty()) {
        for (std::size_t i = 0; i < arguments.size() && !output.error(); ++i) {
            const auto status = transform(arguments[i], result);
            refused |= !emit(status, result, output, "argument", i + 1);
        }
    } else {
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
            const Outcome status = error ? too_long : transform(*line, result);
            refused |= !emit(status, result, output, "line", number);
        }
    }
    wipe_string(result);
    for (auto& argument : arguments) wipe_string(argument);
    if (const std::error_code error = output.flush()) {
        report("standard output", error.message());
        return exit_refused;
    }
    return refused ? exit_refused : exit_done;
}

ValueCommand::ValueCommand(CLI::App& tool, const std::string& name, const std::string& description,
                           PasswordInput::Confirm confirm, const std::string& values,
                           const std::string& values_description, const Outcome& too_long)
    : CipherCommand(tool, name, description, confirm), too_long_(too_long) {
    command().add_option(values, values_, values_description);
}

int ValueCommand::step(Codec& codec) {
    OutputSink output(standard_output);
    const int status = transform_values(values_, output, too_long_,
                                        [&](std::string_view input, std::string& result) {
                                            return transform(codec, input, result);
                                        });
    finish();
    return status;
}

}  // namespace sipcrypt::cli
