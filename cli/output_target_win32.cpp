// What -o names, on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "core/utf16.h"
#include "io.h"
#include "output_platform.h"
#include "windows_error.h"

namespace sipcrypt::cli::output_platform {

namespace {

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
    // CON opened for reading and writing is no console; CONOUT$ is the one
    // that shows output.
    const bool con = _wcsicmp(wide(path).c_str(), L"CON") == 0;
    const std::wstring name = con ? L"CONOUT$" : wide(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::make_error_code(std::errc::is_a_directory);
    }
    // Read-only is refused even where the system would let an administrator write.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return std::make_error_code(std::errc::permission_denied);
    }
    // DELETE, so that a file another program holds without letting it be
    // replaced is refused now; read, without which CON does not say it is a
    // console. A device refuses what it cannot give: then less is asked.
    HANDLE file = INVALID_HANDLE_VALUE;
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
    }
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

// Room first, so that a full disk fails here with the old content whole:
// zeros past the old end, cut off again if they do not fit (Wine has no
// FileAllocationInfo).
std::error_code reserve(int fd, std::uint64_t size) {
    static const char zeros[65536] = {};
    const __int64 old_end = _lseeki64(fd, 0, SEEK_END);
    std::error_code error = crt_error(old_end < 0);
    for (auto end = static_cast<std::uint64_t>(old_end); !error && end < size;
         end += sizeof zeros) {
        error = write_all(fd, {zeros, std::min<std::size_t>(size - end, sizeof zeros)});
    }
    if (error) _chsize_s(fd, old_end);
    return error ? error : crt_error(_lseeki64(fd, 0, SEEK_SET) != 0);
}

std::error_code finish_in_place(int fd, std::uint64_t size) {
    return crt_error(_chsize_s(fd, static_cast<__int64>(size)) != 0 || _commit(fd) != 0);
}

}  // namespace sipcrypt::cli::output_platform
