#include "parse_errors.h"

#include <CLI/CLI.hpp>
#include <functional>
#include <string_view>

namespace sipcrypt::cli {

namespace {

bool starts_with(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// "a b c" after `prefix`, as "'a'".
std::string first_word_after(const std::string& text, std::string_view prefix) {
    std::string rest = text.substr(text.find(prefix) + prefix.size());
    rest = rest.substr(0, rest.find(' '));
    return rest;
}

}  // namespace

std::string in_our_words(const CLI::ParseError& error, const std::string& first_argument) {
    const std::string what = error.what();
    const std::string kind = error.get_name();
    const std::string option = what.substr(0, what.find(':'));
    if (kind == "ExcludesError") {
        return "give at most one of --password-file, --password-env and --password-fd";
    }
    if (kind == "ArgumentMismatch") {
        if (what.find("At Most") != std::string::npos) return option + " is given more than once";
        if (what.find("missing") != std::string::npos) return option + " needs a value";
    }
    // Named after the command it came from, rather than by its kind.
    if (what.find("not expected: ") != std::string::npos) {
        const std::string extra = first_word_after(what, "expected: ");
        return starts_with(extra, "-") ? "unknown option '" + extra + "'"
                                       : "unexpected argument '" + extra + "'";
    }
    if (kind == "RequiredError" && what.find("subcommand") != std::string::npos) {
        if (starts_with(first_argument, "-")) return "unknown option '" + first_argument + "'";
        return "no command given: encrypt, decrypt or accounts";
    }
    if (kind == "ValidationError" || kind == "ConversionError") return what;
    std::string words = what;
    if (!words.empty() && words[0] >= 'A' && words[0] <= 'Z')
        words[0] = static_cast<char>(words[0] + 32);
    return words;
}

CLI::Validator file_name_check() {
    return CLI::Validator(
        [](std::string& value) -> std::string {
            return value.empty() ? "an empty file name ('-' is standard input or output)" : "";
        },
        "FILE");
}

CLI::Validator descriptor_check() {
    return CLI::Validator(
        [](std::string& value) -> std::string {
            const bool digits = !value.empty() && value.size() < 10 &&
                                value.find_first_not_of("0123456789") == std::string::npos;
            return digits ? "" : "'" + value + "' is not a file descriptor number (0, 1, 2, ...)";
        },
        "N");
}

}  // namespace sipcrypt::cli
