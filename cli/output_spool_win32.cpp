// Where whole output waits, and how it takes a file's place, on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "core/utf16.h"
#include "output_platform.h"

namespace sipcrypt::cli::output_platform {

namespace {

std::error_code windows_error(DWORD code = GetLastError()) {
    if (code == ERROR_ACCESS_DENIED) return std::make_error_code(std::errc::permission_denied);
    return {static_cast<int>(code), std::system_category()};
}

std::error_code crt_error(bool failed) {
    return {failed ? errno : 0, std::generic_category()};
}
// The spool beside a file target, to delete if Ctrl-C, Ctrl-Break or closing
// the console ends the tool. The spool is open with FILE_SHARE_DELETE, so
// that the deletion is not refused; the file goes when the tool ends.
wchar_t armed_name[MAX_PATH + 1];
volatile LONG armed = 0;

BOOL WINAPI remove_and_end(DWORD) {
    if (armed != 0) DeleteFileW(armed_name);
    return FALSE;
}

void disarm() {
    armed = 0;
    SetConsoleCtrlHandler(remove_and_end, FALSE);
}
}  // namespace

// A file with a name of the system's making, in the target's folder or,
// deleted when closed, in the temporary folder.
std::error_code open_spool(const Target& target, Spool& spool, std::string& where) {
    const bool beside = target.kind == Target::Kind::file;
    std::u16string folder(MAX_PATH + 1, u'\0');
    if (beside) {
        const std::string path = target.path.substr(0, target.path.find_last_of("\\/") + 1);
        utf8_to_utf16(path.empty() ? "." : path, folder);
    } else {
        folder.resize(GetTempPathW(MAX_PATH + 1, reinterpret_cast<wchar_t*>(folder.data())));
        utf16_to_utf8(folder, where);
    }
    wchar_t name[MAX_PATH + 1];
    if (GetTempFileNameW(reinterpret_cast<const wchar_t*>(folder.c_str()), L"sip", 0, name) == 0) {
        return windows_error();
    }
    const HANDLE file = CreateFileW(
        name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, TRUNCATE_EXISTING,
        beside ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
        nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const std::error_code error = windows_error();
        DeleteFileW(name);
        return error;
    }
    spool.fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (spool.fd < 0) CloseHandle(file);
    if (beside) {
        std::copy(name, name + wcslen(name) + 1, armed_name);
        armed = 1;
        SetConsoleCtrlHandler(remove_and_end, TRUE);
        utf16_to_utf8(reinterpret_cast<const char16_t*>(name), spool.name);
        if (spool.fd < 0) discard(spool);
    }
    return spool.fd < 0 ? std::make_error_code(std::errc::too_many_files_open) : std::error_code{};
}

// ReplaceFileW keeps the replaced file's ACL, which moving a file over it
// would lose; its attributes are set on the spool first, since not every
// system's ReplaceFileW keeps them.
std::error_code put_in_place(Spool& spool, const Target& target) {
    const bool synced = FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(spool.fd)));
    _close(spool.fd);
    spool.fd = -1;
    if (!synced) return windows_error();
    std::u16string name;
    utf8_to_utf16(target.path, name);
    const auto* path = reinterpret_cast<const wchar_t*>(name.c_str());
    const DWORD attributes = GetFileAttributesW(path);
    const bool replaced = attributes != INVALID_FILE_ATTRIBUTES
                              ? SetFileAttributesW(armed_name, attributes) &&
                                    ReplaceFileW(path, armed_name, nullptr, 0, nullptr, nullptr)
                              : MoveFileExW(armed_name, path, MOVEFILE_WRITE_THROUGH);
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
    return crt_error(end < 0 || _lseeki64(fd, 0, SEEK_SET) != 0);
}

std::error_code reserve(int fd, std::uint64_t) {
    return crt_error(_lseeki64(fd, 0, SEEK_SET));
}

std::error_code finish_in_place(int fd, std::uint64_t size) {
    return crt_error(_chsize_s(fd, static_cast<__int64>(size)) != 0 || _commit(fd) != 0);
}

}  // namespace sipcrypt::cli::output_platform
