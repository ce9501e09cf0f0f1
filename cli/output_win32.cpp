// Whole output on Windows: the output waits in a file beside the target
// that the system deletes when the tool ends, unless it was put in place.
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

HANDLE handle_of(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

Outcome last_error() {
    return windows_outcome(GetLastError());
}

Outcome crt_error(bool failed) {
    return failed ? Outcome::from_system({errno, std::generic_category()}) : Outcome();
}

// The spool's name, to delete if Ctrl-C, Ctrl-Break or closing the console
// ends the tool before it is put in place.
wchar_t armed_name[32768];
volatile LONG armed = 0;

BOOL WINAPI remove_and_end(DWORD) {
    if (armed != 0) DeleteFileW(armed_name);
    return FALSE;
}

// While a file is rewritten in place, the console's signals wait.
BOOL WINAPI hold(DWORD) {
    return TRUE;
}

bool set_delete_on_close(HANDLE file, bool on) {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = on;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

int descriptor_of(HANDLE file, int flags) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), flags | _O_BINARY);
    if (fd < 0) CloseHandle(file);
    return fd;
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
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Outcome::from_system(std::make_error_code(std::errc::is_a_directory));
    }
    // Read-only is refused even where the system would let an administrator write.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return Outcome::from_system(std::make_error_code(std::errc::permission_denied));
    }
    // DELETE, without which a file cannot be replaced (another program
    // holds it, or its access list denies it); read, without which CON does
    // not say it is a console. What cannot be had is asked for no more.
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD refused = ERROR_SUCCESS;
    for (const DWORD access : {GENERIC_READ | GENERIC_WRITE | DELETE, GENERIC_READ | GENERIC_WRITE,
                               DWORD{GENERIC_WRITE}}) {
        file = CreateFileW(name.c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = GetLastError();
        if (file != INVALID_HANDLE_VALUE || error == ERROR_FILE_NOT_FOUND ||
            error == ERROR_PATH_NOT_FOUND || error == ERROR_SHARING_VIOLATION) {
            break;
        }
        if (refused == ERROR_SUCCESS) refused = error;
    }
    target.kind = Target::Kind::file;
    target.path = path;
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) return windows_outcome(error);
        // A new file: its folder must be there.
        const auto slash = path.find_last_of("\\/");
        const DWORD folder = GetFileAttributesW(
            wide(slash == std::string::npos ? "." : path.substr(0, slash + 1)).c_str());
        return folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_DIRECTORY) != 0
                   ? Outcome()
                   : Outcome::from_system(
                         std::make_error_code(std::errc::no_such_file_or_directory));
    }
    target.exists = true;
    BY_HANDLE_FILE_INFORMATION info;
    const bool disk = GetFileType(file) == FILE_TYPE_DISK;
    const bool links = disk && GetFileInformationByHandle(file, &info) && info.nNumberOfLinks > 1;
    if (!disk || links || refused == ERROR_ACCESS_DENIED) {
        // NUL, CON, a pipe; a file with several names, or one that may be
        // written but not replaced: written into.
        target.kind = disk ? Target::Kind::in_place : Target::Kind::stream;
        target.fd = descriptor_of(file, 0);
        target.own_fd = target.fd >= 0;
        return crt_error(!target.own_fd);
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

// Beside a file, a new file that is deleted when the tool ends, whatever
// ends it, until it is put in place; else one in the temporary folder.
Outcome open_spool(Target& target, Spool& spool) {
    if (target.kind == Target::Kind::in_place) return Code::done;
    const bool beside = target.kind == Target::Kind::file;
    std::wstring base;
    if (beside) {
        // Within the 255 characters a name may have, with the suffix.
        const std::wstring path = wide(target.path);
        const std::size_t start = path.find_last_of(L"\\/") + 1;
        base =
            path.substr(0, start + std::min<std::size_t>(path.size() - start, 230)) + L".sipcrypt-";
    } else {
        base.resize(MAX_PATH + 1);
        base.resize(GetTempPathW(MAX_PATH + 1, base.data()));
        base += L"sipcrypt-";
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned n = 0; file == INVALID_HANDLE_VALUE && n < 1000; ++n) {
        spool.name =
            narrow(base + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(n));
        file = CreateFileW(
            wide(spool.name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
            nullptr, CREATE_NEW,
            beside ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
            nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        Outcome failed = last_error();
        failed.code = beside ? Code::no_file_beside : Code::no_spool_there;
        if (!beside) failed.subject = narrow(base.substr(0, base.size() - 9));
        return failed;
    }
    if (!beside) spool.name = "the temporary file in " + narrow(base.substr(0, base.size() - 9));
    if (beside) {
        set_delete_on_close(file, true);
        const std::wstring name = wide(spool.name);
        std::copy(name.c_str(), name.c_str() + name.size() + 1, armed_name);
        armed = 1;
        spool.named = true;
        SetConsoleCtrlHandler(remove_and_end, TRUE);
    }
    spool.fd = descriptor_of(file, _O_RDWR);
    return crt_error(spool.fd < 0);
}

// ReplaceFileW keeps the replaced file's ACL, which moving a file over it
// would lose; its attributes are set on the spool first, since not every
// system's ReplaceFileW keeps them.
Outcome put_in_place(Spool& spool, const Target& target) {
    const HANDLE file = handle_of(spool.fd);
    const bool kept = FlushFileBuffers(file) && set_delete_on_close(file, false);
    _close(spool.fd);
    spool.fd = -1;
    if (!kept) return last_error();
    const std::wstring path = wide(target.path);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool replaced =
        attributes != INVALID_FILE_ATTRIBUTES
            ? SetFileAttributesW(armed_name, attributes) &&
                  ReplaceFileW(path.c_str(), armed_name, nullptr, 0, nullptr, nullptr)
            : MoveFileExW(armed_name, path.c_str(), MOVEFILE_WRITE_THROUGH);
    if (!replaced) return last_error();
    spool.named = false;
    armed = 0;
    SetConsoleCtrlHandler(remove_and_end, FALSE);
    return Code::done;
}

void discard(Spool& spool) {
    if (spool.fd >= 0) _close(spool.fd);
    if (spool.named) DeleteFileW(armed_name);
    spool = {};
    armed = 0;
    SetConsoleCtrlHandler(remove_and_end, FALSE);
}

Outcome rewind(int fd, std::uint64_t& size) {
    const __int64 end = _lseeki64(fd, 0, SEEK_END);
    size = static_cast<std::uint64_t>(end);
    return crt_error(end < 0 || _lseeki64(fd, 0, SEEK_SET) != 0);
}

// Room first, so that a full disk fails here with the old content whole:
// zeros past the old end, cut off again if they do not fit (Wine has no
// FileAllocationInfo).
Outcome begin_in_place(const Target& target, std::uint64_t size) {
    OVERLAPPED whole = {};
    const HANDLE file = handle_of(target.fd);
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                    MAXDWORD, &whole)) {
        report(Outcome(Code::waiting_for_lock).about(target.path));
        LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
    }
    SetConsoleCtrlHandler(hold, TRUE);
    static const char zeros[65536] = {};
    const __int64 old_end = _lseeki64(target.fd, 0, SEEK_END);
    Outcome error = crt_error(old_end < 0);
    for (auto end = static_cast<std::uint64_t>(old_end); error.ok() && end < size;
         end += sizeof zeros) {
        error = write_all(target.fd, {zeros, std::min<std::size_t>(size - end, sizeof zeros)});
    }
    if (!error.ok()) _chsize_s(target.fd, old_end);
    return error.ok() ? crt_error(_lseeki64(target.fd, 0, SEEK_SET) != 0) : error;
}

Outcome end_in_place(const Target& target, std::optional<std::uint64_t> size) {
    const bool failed =
        size && (_chsize_s(target.fd, static_cast<__int64>(*size)) != 0 || _commit(target.fd) != 0);
    Outcome error = crt_error(failed);
    SetConsoleCtrlHandler(hold, FALSE);
    OVERLAPPED whole = {};
    UnlockFileEx(handle_of(target.fd), 0, MAXDWORD, MAXDWORD, &whole);
    return error;
}

}  // namespace sipcrypt::cli::output_platform
