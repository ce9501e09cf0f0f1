// The tool's entry point on Windows: the command line arrives as the user
// typed it, in UTF-16, whatever the console's code page, and becomes UTF-8
// inside.
#include <string>
#include <vector>

#include "cipher/secret_memory.h"
#include "core/utf16.h"
#include "tool.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments(static_cast<std::size_t>(argc));
    std::vector<char*> pointers;
    for (int i = 0; i < argc; ++i) {
        const std::u16string_view wide(reinterpret_cast<const char16_t*>(argv[i]));
        // Half of a surrogate pair stays broken, for the checks to refuse.
        sipcrypt::utf16_to_utf8_as_is(wide, arguments[i]);
        pointers.push_back(arguments[i].data());
    }
    pointers.push_back(nullptr);
    const int status = sipcrypt::cli::run_tool(argc, pointers.data());
    for (auto& argument : arguments) sipcrypt::wipe_string(argument);
    return status;
}
