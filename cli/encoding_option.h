#pragma once

#include <memory>
#include <string>

#include "settings/text_encoding.h"

namespace CLI {
class App;
}

namespace sipcrypt::cli {

// Adds --encoding NAME, with UTF-8 as the default.
void add_encoding_option(CLI::App& command, std::string& name);

// The named encoding, or null after reporting a usage error.
std::unique_ptr<TextEncoding> open_encoding(const std::string& name);

}  // namespace sipcrypt::cli
