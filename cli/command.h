#pragma once

#include <memory>
#include <string>

#include "password_input.h"

namespace CLI {
class App;
}  // namespace CLI

namespace sipcrypt {
class Codec;
}  // namespace sipcrypt

namespace sipcrypt::cli {

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
// set-up they share, in this order: --encoding; the command's open(), which
// checks every file it reads or writes; the password; the codec keyed once
// for all values; then the command's step(), the only way to a cipher.
class CipherCommand : public Command {
  public:
    int run() final;

  protected:
    CipherCommand(CLI::App& tool, const std::string& name, const std::string& description,
                  PasswordInput::Confirm confirm);

    // Whether a typed password is asked twice; open() may change it.
    PasswordInput::Confirm confirm_;

  private:
    // exit_done, or once reported, the exit status when something it needs
    // cannot be used.
    virtual int open();
    virtual int step(Codec& codec) = 0;

    PasswordInput password_;
    std::string encoding_name_;
};

// The commands, each made in a file of its own, in the order of the help.
std::unique_ptr<Command> encrypt_command(CLI::App& tool);
std::unique_ptr<Command> decrypt_command(CLI::App& tool);
std::unique_ptr<Command> accounts_command(CLI::App& tool);

}  // namespace sipcrypt::cli
