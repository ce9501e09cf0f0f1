#include "diagnostics.h"

#include <string>

#include "io.h"
namespace sipcrypt::cli {

void report(std::string_view where, std::string_view what) {
    std::string message = "sipcrypt: ";
    if (!where.empty()) {
        message += where;
        message += ": ";
    }
    message += what;
    message += '\n';
    // Nowhere left to report a failure to report.
    (void)write_all(standard_error, message);
}

void warn(std::string_view what) {
    std::string text = "warning: ";
    text += what;
    report({}, text);
}

}  // namespace sipcrypt::cli
