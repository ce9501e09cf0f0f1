#pragma once

#include <windows.h>

#include <cerrno>
#include <system_error>

namespace sipcrypt::cli {

// Windows' error codes as the tool reports them: the causes a user can mend
// as the generic codes the rest of the tool knows (and words them as the C
// library does), the others in Windows' own words.
inline std::error_code windows_error(DWORD code = GetLastError()) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_ACCESS_DENIED:
            return std::make_error_code(std::errc::permission_denied);
        case ERROR_SHARING_VIOLATION:
            return std::make_error_code(std::errc::device_or_resource_busy);
        default:
            return {static_cast<int>(code), std::system_category()};
    }
}

// What the C runtime's errno says, when `failed`.
inline std::error_code crt_error(bool failed) {
    return {failed ? errno : 0, std::generic_category()};
}

}  // namespace sipcrypt::cli
