// Where whole output waits, and how it takes a file's place, on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "core/utf16.h"
#include "output_platform.h"

namespace sipcrypt::cli::output_platform {

namespace {

std::error_code windows_error(DWORD code = GetLastError()) {
    if (code == ERROR_ACCESS_DENIED) return std::make_error_code(std::errc::permission_denied);
    return {static_cast<int>(code), std::system_category()};
}

std::wstring wide(const std::string& utf8) {
    std::u16string text;
    utf8_to_utf16(utf8, text);
    return {text.begin(), text.end()};
}

// The spool beside a file target, to delete if Ctrl-C, Ctrl-Break or closing
// the console ends the tool. The spool is open with FILE_SHARE_DELETE, so
// that the deletion is not refused; the file goes when the tool ends.
wchar_t armed_name[32768];
volatile LONG armed = 0;

BOOL WINAPI remove_and_end(DWORD) {
    if (armed != 0) DeleteFileW(armed_name);
    return FALSE;
}

void disarm() {
    armed = 0;
    SetConsoleCtrlHandler(remove_and_end, FALSE);
}

int fd_of(HANDLE file) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (fd < 0) CloseHandle(file);
    return fd;
}

}  // namespace

std::error_code open_spool(const Target& target, Spool& spool, std::string& where) {
    if (target.kind != Target::Kind::file) {
        wchar_t folder[MAX_PATH + 1];
        wchar_t name[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
        std::u16string folder16(folder, folder + length);
        utf16_to_utf8(folder16, where);
        if (length == 0 || GetTempFileNameW(folder, L"sip", 0, name) == 0) return windows_error();
        const HANDLE file =
            CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE) return windows_error();
        spool.fd = fd_of(file);
        return spool.fd < 0 ? std::make_error_code(std::errc::too_many_files_open)
                            : std::error_code{};
    }
    const std::wstring target_name = wide(target.path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = target_name + L".sipcrypt-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(attempt);
        if (name.size() >= std::size(armed_name)) return windows_error(ERROR_FILENAME_EXCED_RANGE);
        const HANDLE file =
            CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
        if (file == INVALID_HANDLE_VALUE) return windows_error();
        std::copy(name.c_str(), name.c_str() + name.size() + 1, armed_name);
        armed = 1;
        SetConsoleCtrlHandler(remove_and_end, TRUE);
        utf16_to_utf8(std::u16string(name.begin(), name.end()), spool.name);
        spool.fd = fd_of(file);
        return spool.fd < 0 ? std::make_error_code(std::errc::too_many_files_open)
                            : std::error_code{};
    }
    return windows_error(ERROR_FILE_EXISTS);
}

// ReplaceFileW keeps the replaced file's ACL, which moving a file over it
// would lose; its attributes are set on the spool first, since not every
// system's ReplaceFileW keeps them.
std::error_code put_in_place(Spool& spool, const Target& target) {
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(spool.fd)))) {
        return windows_error();
    }
    _close(spool.fd);
    spool.fd = -1;
    const std::wstring name = wide(target.path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    const bool replaced =
        attributes != INVALID_FILE_ATTRIBUTES
            ? SetFileAttributesW(armed_name, attributes) &&
                  ReplaceFileW(name.c_str(), armed_name, nullptr, 0, nullptr, nullptr) != 0
            : MoveFileExW(armed_name, name.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    if (!replaced) return windows_error();
    spool.name.clear();
    disarm();
    return {};
}

void discard(Spool& spool) {
    if (spool.fd >= 0) _close(spool.fd);
    if (!spool.name.empty()) DeleteFileW(armed_name);
    spool = {};
    disarm();
}

std::error_code rewind(int fd, std::uint64_t& size) {
    const __int64 end = _lseeki64(fd, 0, SEEK_END);
    size = static_cast<std::uint64_t>(end);
    return end < 0 || _lseeki64(fd, 0, SEEK_SET) != 0
               ? std::error_code{errno, std::generic_category()}
               : std::error_code{};
}

std::error_code reserve(int fd, std::uint64_t) {
    return _lseeki64(fd, 0, SEEK_SET) == 0 ? std::error_code{}
                                           : std::error_code{errno, std::generic_category()};
}

std::error_code finish_in_place(int fd, std::uint64_t size) {
    const bool done = _chsize_s(fd, static_cast<__int64>(size)) == 0 && _commit(fd) == 0;
    return done ? std::error_code{} : std::error_code{errno, std::generic_category()};
}

}  // namespace sipcrypt::cli::output_platform
