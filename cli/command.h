#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <string>

#include "core/outcome.h"
#include "core/text_encoding.h"
#include "io.h"
#include "password_input.h"
#include "whole_output.h"

namespace sipcrypt {
class Codec;
}  // namespace sipcrypt

namespace sipcrypt::cli {

// What scripts can rely on.
inline constexpr int exit_done = 0;
inline constexpr int exit_refused = 1;  // some input refused, or a file could not be used
inline constexpr int exit_usage = 2;    // the command line itself is wrong

// "sipcrypt: <the catalogue's message>" on standard error.
void report(const Outcome& outcome);

// Checks of option values, whose messages name what is wrong.
CLI::Validator not_empty(const std::string& what);
CLI::Validator descriptor_number();

// One command of the tool, which works under one password in one encoding,
// from an input (-i) to an output. It adds itself and its options to the
// parser; run() does the set-up the commands share, in this order:
// --encoding; that the password has a source; the input and the output
// opened, and the command's check_files(), so that what cannot be used is
// refused before the password is asked; the password; the codec, keyed once
// for all values; then the command's transform().
class Command {
    CLI::App* command_;  // first: the members after it add their options to it

  public:
    virtual ~Command();
    CLI::App& command() const { return *command_; }
    int run();

  protected:
    // With `whole`, the output appears whole or not at all where -o points.
    Command(CLI::App& tool, const std::string& name, const std::string& description,
            PasswordInput::Confirm confirm, bool whole);

    // Whether a typed password is asked twice; check_files() may change it.
    PasswordInput::Confirm confirm_;
    PasswordInput password_;
    std::string input_path_, output_path_, input_name_ = "standard input";
    int input_fd_ = standard_input;
    // Input that turns out not to be UTF-8 is Windows' own: the ANSI code page.
    std::unique_ptr<TextEncoding> fallback_;
    std::optional<WholeOutput> output_;

  private:
    // exit_done, or once reported, the exit status.
    int open_files();
    virtual int check_files() { return exit_done; }
    virtual int transform(Codec& codec) = 0;

    bool whole_;
    std::string encoding_name_;
};

// The commands, in the order of the help: encrypt and decrypt are one
// command with two directions.
std::unique_ptr<Command> values_command(CLI::App& tool, bool decrypt);
std::unique_ptr<Command> accounts_command(CLI::App& tool);

// The help's examples for `command` ("" for the tool), in the platform's
// shells.
std::string examples(const std::string& command);

}  // namespace sipcrypt::cli
