// Whole output on Windows: the output waits in a file beside the target
// that is to be deleted when its handle closes, whatever ends the tool,
// until it is put in place.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "command.h"
#include "core/windows_text.h"
#include "io.h"
#include "output_platform.h"

namespace sipcrypt::cli::output_platform {

namespace {

// While a file is rewritten in place, the console's signals wait.
BOOL WINAPI held(DWORD) {
    return TRUE;
}

bool delete_on_close(HANDLE file, bool on) {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = on;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

}  // namespace

Outcome open_target(const std::string& path, Target& target) {
    target = {};
    target.fd = standard_output;
    if (path.empty() || path == "-") return Code::done;
    // CON opened for reading and writing is no console; CONOUT$ is the one
    // that shows output.
    const std::wstring name = _wcsicmp(wide(path).c_str(), L"CON") == 0 ? L"CONOUT$" : wide(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    // Read-only is refused even where the system would let an administrator write.
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Code::is_a_folder
                                                            : Code::permission_denied;
    }
    // DELETE, without which a file cannot be replaced (another program holds
    // it, or its access list denies it); read, without which CON does not say
    // it is a console. What cannot be had is asked for no more.
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD refused = ERROR_SUCCESS, error = ERROR_SUCCESS;
    for (const DWORD access : {GENERIC_READ | GENERIC_WRITE | DELETE, GENERIC_READ | GENERIC_WRITE,
                               DWORD{GENERIC_WRITE}}) {
        file = CreateFileW(name.c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        error = GetLastError();
        if (file != INVALID_HANDLE_VALUE || error == ERROR_FILE_NOT_FOUND ||
            error == ERROR_PATH_NOT_FOUND || error == ERROR_SHARING_VIOLATION) {
            break;
        }
        if (refused == ERROR_SUCCESS) refused = error;
    }
    target.kind = Target::Kind::file;
    target.path = path;
    if (file == INVALID_HANDLE_VALUE && error != ERROR_FILE_NOT_FOUND)
        return windows_outcome(error);
    if (file == INVALID_HANDLE_VALUE) {
        // A new file: its folder must be there.
        const auto slash = path.find_last_of("\\/");
        const DWORD folder = GetFileAttributesW(
            wide(slash == std::string::npos ? "." : path.substr(0, slash + 1)).c_str());
        const bool there =
            folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return there ? Code::done : Code::no_such_folder;
    }
    target.exists = true;
    BY_HANDLE_FILE_INFORMATION info;
    const bool disk = GetFileType(file) == FILE_TYPE_DISK;
    if (!disk || refused == ERROR_ACCESS_DENIED ||
        (GetFileInformationByHandle(file, &info) && info.nNumberOfLinks > 1)) {
        // NUL, CON, a pipe; a file with several names, or one that may be
        // written but not replaced: written into.
        target.kind = disk ? Target::Kind::in_place : Target::Kind::stream;
        target.fd = descriptor_of(file, 0);
        target.own_fd = target.fd >= 0;
        return Outcome::from_errno(!target.own_fd ? errno : 0);
    }
    // The file that symbolic links lead to is the one replaced.
    std::wstring final(32768, L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
    CloseHandle(file);
    if (length > 0 && length < final.size()) target.path = narrow(final.substr(0, length));
    return Code::done;
}

void close_target(Target& target) {
    if (target.own_fd) _close(target.fd);
    target = {};
}

// Beside a file, within the 255 characters a name may have; else in the
// temporary folder.
Outcome open_spool(Target& target, Spool& spool) {
    const bool beside = target.kind == Target::Kind::file;
    std::wstring base(MAX_PATH + 1, L'\0');
    base.resize(GetTempPathW(MAX_PATH + 1, base.data()));
    const std::string temporary = narrow(base);
    if (beside) {
        const std::wstring path = wide(target.path);
        base = path.substr(0, path.find_last_of(L"\\/") + 1 + 230);
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned n = 0; file == INVALID_HANDLE_VALUE && n < 1000; ++n) {
        spool.name = narrow(base + L".sipcrypt-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(n));
        file =
            CreateFileW(wide(spool.name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                        FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE || !delete_on_close(file, true)) {
        Outcome failed = windows_outcome(GetLastError());
        failed.code = beside ? Code::no_file_beside : Code::no_spool_there;
        if (!beside) failed.subject = temporary;
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        return failed;
    }
    spool.named = beside;
    if (!beside) spool.name = temporary;
    spool.fd = descriptor_of(file, _O_RDWR);
    return Outcome::from_errno(spool.fd < 0 ? errno : 0);
}

// ReplaceFileW keeps the replaced file's ACL, which moving a file over it
// would lose; its attributes are set on the spool first, since not every
// system's ReplaceFileW keeps them.
Outcome put_in_place(Spool& spool, const Target& target) {
    const HANDLE file = handle_of(spool.fd);
    const bool kept = FlushFileBuffers(file) && delete_on_close(file, false);
    const DWORD error = GetLastError();
    _close(spool.fd);
    spool.fd = -1;
    if (!kept) return windows_outcome(error);
    const std::wstring path = wide(target.path), name = wide(spool.name);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool replaced =
        attributes != INVALID_FILE_ATTRIBUTES
            ? SetFileAttributesW(name.c_str(), attributes) &&
                  ReplaceFileW(path.c_str(), name.c_str(), nullptr, 0, nullptr, nullptr)
            : MoveFileExW(name.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
    if (!replaced) return windows_outcome(GetLastError());
    spool.named = false;
    return Code::done;
}

void discard(Spool& spool) {
    if (spool.fd >= 0) _close(spool.fd);
    if (spool.named && spool.fd < 0) DeleteFileW(wide(spool.name).c_str());
    spool = {};
}

void hold(const Target& target, bool on) {
    OVERLAPPED whole = {};
    const HANDLE file = handle_of(target.fd);
    if (on && !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                          MAXDWORD, &whole)) {
        report(Outcome(Code::waiting_for_lock).about(target.path));
        LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
    }
    SetConsoleCtrlHandler(held, on ? TRUE : FALSE);
    if (!on) UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
}

}  // namespace sipcrypt::cli::output_platform
