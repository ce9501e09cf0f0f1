// What the core asks of Windows: the ANSI code page, the environment and
// files in UTF-16. Windows' code pages have tables of their own, the same on
// every platform, so no other name has a converter here.
#include <windows.h>

#include <cstdio>
#include <memory>

#include "system.h"
#include "windows_text.h"

namespace sipcrypt {

std::unique_ptr<Converter> open_system_converter(std::string_view) {
    return nullptr;
}

std::uint16_t ansi_code_page() {
    return static_cast<std::uint16_t>(GetACP());
}

// The narrow environment holds the ANSI code page; the wide one, the text.
bool environment_text(const std::string& name, std::string& value) {
    const wchar_t* found = _wgetenv(wide(name).c_str());
    if (found != nullptr) value = narrow(found);
    return found != nullptr;
}

std::string settings_file_path() {
    std::string folder;
    if (!environment_text("APPDATA", folder) || folder.empty()) return {};
    return folder + "\\sipcrypt\\sipcrypt.conf";
}

std::FILE* open_file(const std::string& path) {
    return _wfopen(wide(path).c_str(), L"rb");
}

}  // namespace sipcrypt
