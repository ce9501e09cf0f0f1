// Where whole output waits, and how it takes a file's place, on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "core/utf16.h"
#include "output_platform.h"
#include "windows_error.h"

namespace sipcrypt::cli::output_platform {

namespace {

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
}  // namespace

// A new file beside the target or, deleted when closed, in the temporary
// folder; named here, since GetTempFileNameW takes no folder near MAX_PATH.
std::error_code open_spool(const Target& target, Spool& spool, std::string& where) {
    const bool beside = target.kind == Target::Kind::file;
    std::u16string base;
    if (beside) {
        utf8_to_utf16(target.path + ".sipcrypt-", base);
    } else {
        base.resize(MAX_PATH + 1);
        base.resize(GetTempPathW(MAX_PATH + 1, reinterpret_cast<wchar_t*>(base.data())));
        utf16_to_utf8(base, where);
        base += u"sipcrypt-";
    }
    std::u16string name;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned n = 0; file == INVALID_HANDLE_VALUE && n < 1000; ++n) {
        const std::string number = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n);
        name = base + std::u16string(number.begin(), number.end());
        if (name.size() >= std::size(armed_name)) return windows_error(ERROR_FILENAME_EXCED_RANGE);
        file = CreateFileW(
            reinterpret_cast<const wchar_t*>(name.c_str()), GENERIC_READ | GENERIC_WRITE,
            FILE_SHARE_DELETE, nullptr, CREATE_NEW,
            beside ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
            nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) return windows_error();
    spool.fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (spool.fd < 0) CloseHandle(file);
    if (beside) {
        std::copy(name.c_str(), name.c_str() + name.size() + 1, armed_name);
        armed = 1;
        SetConsoleCtrlHandler(remove_and_end, TRUE);
        utf16_to_utf8(name, spool.name);
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

}  // namespace sipcrypt::cli::output_platform
