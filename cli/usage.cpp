#include "usage.h"

namespace sipcrypt::cli {

std::string usage_failure(const CLI::App* tool, const CLI::Error& error) {
    std::string command;
    for (const CLI::App* chosen : tool->get_subcommands()) command = chosen->get_name() + " ";
    const std::vector<std::string> extras = tool->remaining(true);
    std::string what = error.what();
    if (!extras.empty()) {
        const std::string& first = extras.front();
        what = !first.empty() && first[0] == '-' ? "unknown option '" + first + "'"
               : command.empty()                 ? "unknown command '" + first + "'"
                                                 : "unexpected argument '" + first + "'";
    } else if (command.empty() && dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        const auto all = tool->get_subcommands([](const CLI::App*) { return true; });
        what = "no command given: ";
        for (std::size_t i = 0; i < all.size(); ++i) {
            what += (i == 0 ? "" : i + 1 == all.size() ? " or " : ", ") + all[i]->get_name();
        }
    }
    return "sipcrypt: " + what + "; run 'sipcrypt " + command + "--help'\n";
}

const CLI::Option* repeated_option(const CLI::App& command) {
    for (const CLI::Option* option : command.get_options()) {
        if (option->nonpositional() && option->count() > 1) return option;
    }
    return nullptr;
}

CLI::Validator not_empty(const std::string& what) {
    return {[what](const std::string& value) { return value.empty() ? "an empty " + what : ""; },
            ""};
}

CLI::Validator descriptor_number() {
    return {[](const std::string& value) -> std::string {
                const bool digits = !value.empty() && value.size() < 10 &&
                                    value.find_first_not_of("0123456789") == std::string::npos;
                return digits ? ""
                              : "'" + value + "' is not a file descriptor number (0, 1, 2, ...)";
            },
            ""};
}

std::string PlainHelp::make_option_opts(const CLI::Option* option) const {
    return !option->nonpositional() || option->get_type_size() == 0 ? ""
                                                                    : " " + option->get_type_name();
}

}  // namespace sipcrypt::cli
