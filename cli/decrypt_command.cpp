#include "decrypt_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <utility>

#include "core/limits.h"
#include "core/text_rules.h"
#include "diagnostics.h"
#include "io.h"
#include "value_stream.h"

namespace sipcrypt::cli {

DecryptCommand::DecryptCommand(CLI::App& tool)
    : ValueCommand(tool, "decrypt", "decrypt texts back to their values",
                   PasswordInput::Confirm::no, "TEXT",
                   "encrypted texts; without any, each line of standard input is one",
                   Outcome::over_limit(ParameterStatus::text_too_long, max_text_length)),
      to_terminal_(is_terminal(standard_output)) {
    command().footer(
        "Each text gives one line with its value, shown as UTF-8. A text that is not\n"
        "Base64 of whole 8-byte blocks, or whose fill does not decrypt to zeros (wrong\n"
        "password or damaged text), gives an empty line and a message naming it, and\n"
        "the exit status is 1. A wrong password is not always noticed: the format has\n"
        "no check value.\n\n"
        "Examples:\n"
        "  sipcrypt decrypt --password-file pw.txt 0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ\n"
        "  sipcrypt decrypt --password-fd 3 3<pw.txt < texts.txt\n"
        "  sipcrypt decrypt --encoding WINDOWS-1252 < texts.txt   # asks for the password\n");
}

namespace {

// A value shown on a terminal must not drive it: control characters (C0,
// DEL, C1) show as \xHH or \u00HH, and then backslashes as \\, so that
// what is shown reads back to one value. Pipes and files get the bytes.
bool escape_controls(std::string& text) {
    const auto is_control = [&](std::size_t i) {
        const auto c = static_cast<unsigned char>(text[i]);
        return c < 0x20 || c == 0x7F ||
               (c == 0xC2 && i + 1 < text.size() &&
                static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                static_cast<unsigned char>(text[i + 1]) <= 0x9F);
    };
    bool any = false;
    for (std::size_t i = 0; i < text.size() && !any; ++i) any = is_control(i);
    if (!any) return false;
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char escape[8];
        if (!is_control(i)) {
            if (text[i] == '\\') shown += '\\';
            shown += text[i];
        } else if (static_cast<unsigned char>(text[i]) == 0xC2) {
            std::snprintf(escape, sizeof escape, "\\u00%02X",
                          static_cast<unsigned char>(text[++i]));
            shown += escape;
        } else {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[i]));
            shown += escape;
        }
    }
    wipe_string(text);
    text = std::move(shown);
    return true;
}

}  // namespace

Outcome DecryptCommand::transform(Codec& codec, std::string_view text, std::string& shown) {
    if (const Outcome step = codec.decrypt(text, value_); !step.ok()) return step;
    // One line of output cannot carry a line break.
    const std::string_view value(value_.data(), value_.size());
    if (const Outcome one_line = check_value_text(value); !one_line.ok()) return one_line;
    shown.assign(value);
    if (to_terminal_ && escape_controls(shown)) escaped_ = true;
    return ParameterStatus::done;
}

void DecryptCommand::finish() {
    if (!escaped_) return;
    warn(
        "control characters in values are shown escaped on a terminal (\\x1B, \\u009B, "
        "\\\\); send the output to a file or a pipe for their bytes");
}

}  // namespace sipcrypt::cli
