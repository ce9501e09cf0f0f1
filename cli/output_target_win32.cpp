// What -o names, on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "core/utf16.h"
#include "output_platform.h"

namespace sipcrypt::cli::output_platform {

namespace {

// The causes a user can mend as generic codes, the rest as Windows says them.
std::error_code windows_error(DWORD code = GetLastError()) {
    switch (code) {
        case ERROR_ACCESS_DENIED:
            return std::make_error_code(std::errc::permission_denied);
        case ERROR_PATH_NOT_FOUND:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        default:
            return {static_cast<int>(code), std::system_category()};
    }
}

std::wstring wide(const std::string& utf8) {
    std::u16string text;
    utf8_to_utf16(utf8, text);
    return {text.begin(), text.end()};
}

std::string utf8(const std::wstring& text) {
    std::string out;
    utf16_to_utf8(std::u16string(text.begin(), text.end()), out);
    return out;
}

}  // namespace

std::error_code examine(const std::string& path, Target& target) {
    target = {};
    target.fd = 1;
    if (path.empty() || path == "-") return {};
    target.path = path;
    const std::wstring name = wide(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::make_error_code(std::errc::is_a_directory);
    }
    // Read-only is refused even where the system would let an administrator write.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return std::make_error_code(std::errc::permission_denied);
    }
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    target.kind = Target::Kind::file;
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) return windows_error(error);
        // A new file: its folder is checked when the spool is made in it.
        const auto slash = path.find_last_of("\\/");
        target.folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        const DWORD folder = GetFileAttributesW(wide(target.folder).c_str());
        return folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_DIRECTORY) != 0
                   ? std::error_code{}
                   : std::make_error_code(std::errc::no_such_file_or_directory);
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool disk = GetFileType(file) == FILE_TYPE_DISK;
    if (!disk || (GetFileInformationByHandle(file, &info) && info.nNumberOfLinks > 1)) {
        // NUL, CON, a pipe, or a file with several names: written into.
        target.kind = disk ? Target::Kind::in_place : Target::Kind::stream;
        target.fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
        target.own_fd = target.fd >= 0;
        if (!target.own_fd) CloseHandle(file);
        return target.own_fd ? std::error_code{} : std::make_error_code(std::errc::io_error);
    }
    // The file that symbolic links lead to is the one replaced.
    std::wstring final(32768, L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
    CloseHandle(file);
    if (length > 0 && length < final.size()) target.path = utf8(final.substr(0, length));
    return {};
}

void close_target(Target& target) {
    if (target.own_fd) _close(target.fd);
    target = {};
}

}  // namespace sipcrypt::cli::output_platform
