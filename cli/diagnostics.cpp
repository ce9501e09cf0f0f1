#include "diagnostics.h"

#include <cstdio>
#include <string>

namespace sipcrypt::cli {

void report(std::string_view where, std::string_view what) {
    std::string message = "sipcrypt: ";
    if (!where.empty()) {
        message += where;
        message += ": ";
    }
    message += what;
    message += '\n';
    std::fwrite(message.data(), 1, message.size(), stderr);
}

void warn(std::string_view what) {
    std::string text = "warning: ";
    text += what;
    report({}, text);
}

}  // namespace sipcrypt::cli
