#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "core/outcome.h"
#include "password_input.h"

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

// One command of the tool: it adds itself and its options to the parser,
// and runs when the command line chose it.
class Command {
  public:
    virtual ~Command() = default;
    CLI::App& command() const { return *command_; }
    virtual int run() = 0;

  protected:
    Command(CLI::App& tool, const std::string& name, const std::string& description);

  private:
    CLI::App* command_;
};

// A command that works under one password in one encoding. run() does the
// set-up they share, in this order: --encoding; the command's
// check_files(), which opens every file it reads or writes so that what
// cannot be used is refused before the password is asked; the password;
// the codec, keyed once for all values; then the command's transform().
class CipherCommand : public Command {
  public:
    int run() final;

  protected:
    CipherCommand(CLI::App& tool, const std::string& name, const std::string& description,
                  PasswordInput::Confirm confirm);

    // Whether a typed password is asked twice; check_files() may change it.
    PasswordInput::Confirm confirm_;
    PasswordInput password_;

  private:
    // exit_done, or once reported, the exit status.
    virtual int check_files() = 0;
    virtual int transform(Codec& codec) = 0;

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
