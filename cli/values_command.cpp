#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "core/codec.h"
#include "core/escape.h"
#include "core/limits.h"
#include "core/system.h"
#include "core/text_rules.h"
#include "io.h"
#include "line_reader.h"
#include "whole_output.h"

namespace sipcrypt::cli {

namespace {

// sipcrypt encrypt: each value, or each line of its input, becomes one
// encrypted text. sipcrypt decrypt: each encrypted text becomes the value it
// holds, to check texts already in use. A refused input is reported with its
// argument or line number and gives an empty line, and the rest go on.
class ValuesCommand : public Command {
  public:
    ValuesCommand(CLI::App& tool, bool decrypt)
        : Command(
              tool, decrypt ? "decrypt" : "encrypt",
              decrypt ? "decrypt texts back to their values" : "encrypt values under a password",
              decrypt ? PasswordInput::Confirm::no : PasswordInput::Confirm::yes, false),
          decrypt_(decrypt) {
        command().add_option(decrypt ? "TEXT" : "VALUE", arguments_,
                             decrypt ? "encrypted texts; without any, each line of the input is one"
                                     : "values to encrypt; without any, each line of the input is "
                                       "one");
        command().footer(
            std::string(decrypt ? "Each text gives one line with its value, shown as UTF-8. A "
                                  "text that is not\nBase64 of whole 8-byte blocks, or whose "
                                  "fill does not decrypt to zeros (wrong\npassword or damaged "
                                  "text), gives an empty line and a message naming it, and\nthe "
                                  "exit status is 1. A wrong password is not always noticed: the "
                                  "format has\nno check value.\n"
                                : "Each value gives one line of Base64 text; a refused value "
                                  "gives an empty line\nand a message naming it, and the exit "
                                  "status is 1.\n") +
            "Each output line ends as its input line did (LF or CRLF).\n\n" +
            examples(command().get_name()));
    }

  private:
    // One input to one line of output.
    void one(Codec& codec, std::string_view input, Outcome place, std::string_view end) {
        Outcome status;
        std::string_view result;
        if (decrypt_) {
            status = codec.decrypt(input, value_);
            // One line of output cannot carry a line break.
            if (status.ok()) status = check_value_text({value_.data(), value_.size()});
            if (status.ok() && to_terminal_) escaped_ = escape_for_terminal(value_) || escaped_;
            result = {value_.data(), value_.size()};
        } else {
            status = codec.encrypt(input, text_);
            result = text_;
        }
        output_->write(status.ok() ? result : "");
        output_->write(end);
        if (status.ok() || status == Code::empty_value) return;
        unchosen_ =
            unchosen_ || status == Code::not_ascii_character || status == Code::not_ascii_byte;
        status.argument = place.argument;
        status.line = place.line;
        report(status);
        refused_ = true;
    }

    int transform(Codec& codec) override {
        to_terminal_ = decrypt_ && output_->to_terminal();
        for (std::size_t i = 0; i < arguments_.size() && !output_->failed(); ++i) {
            Outcome place;
            place.argument = i + 1;
            one(codec, arguments_[i], place, "\n");
        }
        for (auto& argument : arguments_) wipe_string(argument);
        if (arguments_.empty()) read_lines(codec);
        if (unchosen_) report(Outcome::quoting(Code::choose_an_encoding, settings_file_path()));
        if (escaped_) report(Code::shown_escaped);
        if (Outcome delivered = output_->commit(); !delivered.ok()) {
            report(delivered);
            return exit_refused;
        }
        return refused_ ? exit_refused : exit_done;
    }

    void read_lines(Codec& codec) {
        LineReader reader(input_fd_, fallback_.get());
        std::string_view last_end = "\n";  // of the last line that had one
        // Once output fails, the rest cannot arrive: stop reading.
        for (std::size_t number = 1; !output_->failed(); ++number) {
            std::optional<std::string_view> line;
            std::string_view end;
            Outcome read = reader.next(line, end);
            Outcome place;
            place.line = number;
            if (read == Code::line_too_long) {
                // Too long to be a value or a text, whatever it holds.
                read = decrypt_ ? Outcome::over_limit(Code::text_too_long, max_text_length)
                                : Outcome::over_limit(Code::value_too_long, max_value_length);
                read.line = number;
                output_->write(last_end);
                report(read);
                refused_ = true;
                continue;
            }
            if (!read.ok()) {
                report(std::move(read).about(input_name_));
                refused_ = true;
                return;
            }
            if (!line) return;
            if (!end.empty()) last_end = end;
            one(codec, *line, place, last_end);
        }
    }

    bool decrypt_;
    std::vector<std::string> arguments_;
    bool to_terminal_ = false, escaped_ = false, refused_ = false, unchosen_ = false;
    std::string text_;
    SecretBytes value_;
};

}  // namespace

std::unique_ptr<Command> values_command(CLI::App& tool, bool decrypt) {
    return std::make_unique<ValuesCommand>(tool, decrypt);
}

}  // namespace sipcrypt::cli
