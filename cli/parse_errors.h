#pragma once

#include <string>

namespace CLI {
class ParseError;
class Validator;
}  // namespace CLI

namespace sipcrypt::cli {

// What the argument parser found wrong, said in the tool's own words.
std::string in_our_words(const CLI::ParseError& error, const std::string& first_argument);

// Checks for option values, with messages in the same words.
CLI::Validator file_name_check();
CLI::Validator descriptor_check();

}  // namespace sipcrypt::cli
