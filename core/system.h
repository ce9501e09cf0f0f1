#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "converter.h"

// What the core asks of the system, behind one seam: system_posix.cpp or
// system_win32.cpp.
namespace sipcrypt {

// The system's converter for a name outside Windows' code pages: iconv on
// POSIX systems, none on Windows. Null when it does not know the name.
std::unique_ptr<Converter> open_system_converter(std::string_view name);

// The ANSI code page, which Windows' programs read; 0 where there is none.
std::uint16_t ansi_code_page();

// An environment variable as UTF-8 (a broken UTF-16 character on Windows
// stays broken, for the checks to find); false when it is not set.
bool environment_text(const std::string& name, std::string& value);

// The settings file: $XDG_CONFIG_HOME/sipcrypt/sipcrypt.conf (or under
// ~/.config), %APPDATA%\sipcrypt\sipcrypt.conf on Windows; empty if there
// is no folder for it.
std::string settings_file_path();

// A file opened to read, by its name in UTF-8; null, with errno set, when it
// cannot be.
std::FILE* open_file(const std::string& path);

}  // namespace sipcrypt
