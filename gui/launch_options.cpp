#include "launch_options.h"

#include "core/encoding_choice.h"
#include "core/escape.h"

namespace sipcrypt::gui {

LaunchOptions read_launch_options(const std::vector<std::string>& arguments) {
    LaunchOptions options;
    const auto refuse = [&](Code code, const std::string& value) {
        options.action = LaunchOptions::Action::usage_error;
        options.error = code;
        options.error.value = escaped(value);
        return options;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-h" || argument == "--help") {
            options.action = LaunchOptions::Action::help;
        } else if (argument == "-v" || argument == "--version") {
            if (options.action == LaunchOptions::Action::run) {
                options.action = LaunchOptions::Action::version;
            }
        } else if (argument == "--encoding") {
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
                return refuse(Code::needs_a_value, "--encoding");
            }
            options.encoding = arguments[++i];
        } else if (argument.rfind("--encoding=", 0) == 0) {
            options.encoding = argument.substr(11);
            if (options.encoding.empty()) return refuse(Code::needs_a_value, "--encoding");
        } else if (argument.size() > 1 && argument[0] == '-') {
            return refuse(Code::unknown_option, argument);
        } else {
            return refuse(Code::unexpected_argument, argument);
        }
    }
    return options;
}

std::string launch_usage() {
    return "Usage: sipcrypt-gui [--encoding NAME]\n"
           "\n"
           "Opens the dialog that encrypts the four parameters of a SIP account under a\n"
           "password, for the program that decrypts them.\n"
           "\n"
           "Options:\n"
           "  --encoding NAME  the encoding the decrypting program reads, for example\n"
           "                   WINDOWS-1252 (" +
           how_the_encoding_is_chosen() +
           ";\n"
           "                   sipcrypt --list-encodings shows the names)\n"
           "  -h, --help       show this help and exit\n"
           "  -v, --version    show the version and exit\n"
           "\n"
           "For scripts and many accounts, use the command-line tool: sipcrypt --help\n";
}

}  // namespace sipcrypt::gui
