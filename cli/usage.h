#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace sipcrypt::cli {

// A usage error in the tool's voice, for CLI11's failure hook: "sipcrypt:
// <what>; run 'sipcrypt COMMAND --help'". What is wrong is CLI11's own text,
// or, for arguments it could not place, found from what it left over.
std::string usage_failure(const CLI::App* tool, const CLI::Error& error);

// The first option of `command` given more than once, or null.
const CLI::Option* repeated_option(const CLI::App& command);

// Checks of option values, whose messages name the option.
CLI::Validator not_empty(const std::string& what);
CLI::Validator descriptor_number();

// Options in the help with the name of their value and nothing more.
class PlainHelp : public CLI::Formatter {
  public:
    std::string make_option_opts(const CLI::Option* option) const override;
};

}  // namespace sipcrypt::cli
