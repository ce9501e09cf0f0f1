// The tool's reads and writes on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>

#include "cipher/secret_memory.h"
#include "core/windows_text.h"
#include "io.h"

namespace sipcrypt::cli {

Outcome windows_outcome(unsigned long code) {
    switch (code) {
        case ERROR_SUCCESS:
            return Code::done;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return Outcome::from_system(std::make_error_code(std::errc::no_such_file_or_directory));
        case ERROR_ACCESS_DENIED:
            return Outcome::from_system(std::make_error_code(std::errc::permission_denied));
        case ERROR_SHARING_VIOLATION:
            return Outcome::from_system(std::make_error_code(std::errc::device_or_resource_busy));
        default:
            return Outcome::from_system({static_cast<int>(code), std::system_category()});
    }
}

namespace {

// Why a file could not be opened, a folder named as one.
Outcome open_error(const wchar_t* path) {
    const DWORD code = GetLastError();
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Outcome::from_system(std::make_error_code(std::errc::is_a_directory));
    }
    return windows_outcome(code);
}

bool is_console(int fd) {
    DWORD mode;
    return GetConsoleMode(handle_of(fd), &mode) != 0;
}

// A console shows text given to it as UTF-16, whatever its code page. The
// start of a character that a write leaves unfinished waits for the next;
// bytes that are not UTF-8 (a file in a code page) show as the characters
// of their numbers, which for Windows-1252 letters are the right ones.
Outcome write_console(int fd, std::string_view data) {
    static std::string waiting;
    static int waiting_fd = -1;
    std::string bytes = fd == waiting_fd ? waiting : std::string();
    bytes.append(data);
    wipe_string(waiting);
    waiting_fd = fd;
    std::size_t end = bytes.size();
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, bytes.size()); ++back) {
        const auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((c & 0xC0) == 0x80) continue;
        if (c >= 0xC0 && utf8_length(c) > back) end -= back;
        break;
    }
    waiting.assign(bytes, end);
    bytes.resize(end);
    std::u16string text;
    if (!utf8_to_utf16(bytes, text)) {
        text.clear();
        for (const char c : bytes) text += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
    const auto* units = reinterpret_cast<const wchar_t*>(text.data());
    Outcome error;
    for (std::size_t done = 0; done < text.size() && error.ok();) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 16384));
        if (!WriteConsoleW(handle_of(fd), units + done, chunk, &written, nullptr) || written == 0) {
            error = Outcome::from_system(std::make_error_code(std::errc::io_error));
        }
        done += written;
    }
    wipe_string(bytes);  // decrypted values pass here
    wipe_string(text);
    return error;
}

}  // namespace

Outcome read_some(int fd, char* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    const int n = _read(fd, buffer, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
    if (n < 0) return Outcome::from_errno(errno);
    got = static_cast<std::size_t>(n);
    return Code::done;
}

Outcome write_all(int fd, std::string_view data) {
    if (is_console(fd)) return write_console(fd, data);
    // WriteFile, whose errors say what went wrong (a full disk), where
    // _write's errno may not.
    while (!data.empty()) {
        DWORD n = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        if (!WriteFile(handle_of(fd), data.data(), want, &n, nullptr)) {
            return windows_outcome(GetLastError());
        }
        data.remove_prefix(n);
    }
    return Code::done;
}

Outcome open_for_reading(const std::string& path, int& fd) {
    // Shared for deletion too, so that -o may replace the file being read.
    const std::wstring name = wide(path);
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return open_error(name.c_str());
    fd = descriptor_of(file, _O_RDONLY);
    return fd < 0 ? Outcome::from_system(std::make_error_code(std::errc::too_many_files_open))
                  : Outcome();
}

Outcome size_of(int fd, std::uint64_t& size) {
    const __int64 end = _lseeki64(fd, 0, SEEK_END);
    size = static_cast<std::uint64_t>(end);
    return Outcome::from_errno(end < 0 ? errno : 0);
}

Outcome seek(int fd, std::uint64_t offset) {
    return Outcome::from_errno(_lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) < 0 ? errno
                                                                                         : 0);
}

Outcome cut(int fd, std::uint64_t size) {
    const bool done = _chsize_s(fd, static_cast<__int64>(size)) == 0 && _commit(fd) == 0;
    return Outcome::from_errno(done ? 0 : errno);
}

void* handle_of(int fd) {
    return reinterpret_cast<void*>(_get_osfhandle(fd));
}

int descriptor_of(void* handle, int flags) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) CloseHandle(handle);
    return fd;
}

void close_file(int fd) {
    _close(fd);
}

bool is_terminal(int fd) {
    return is_console(fd);
}

bool is_standard_input(const std::string& path) {
    return path == "-" || _wcsicmp(wide(path).c_str(), L"CONIN$") == 0;
}

bool is_standard_input(int fd) {
    return fd == standard_input;
}

// Bytes go in and out as they are: no CRLF translation, no end at Ctrl-Z.
void hold_closed_standard_descriptors() {
    for (const int fd : {standard_input, standard_output, standard_error}) {
        if (_get_osfhandle(fd) != -1) _setmode(fd, _O_BINARY);
    }
}

std::string where_the_documentation_is() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    const std::string folder = narrow(path.substr(0, path.find_last_of(L'\\') + 1));
    return "all of it is in sipcrypt.txt and README.txt in " + folder +
           " (and in the Start menu, once installed)";
}

// Other programs read the command line from the process's own memory;
// clearing it there hides the arguments, as far as Windows allows. The
// program's name stays.
void hide_arguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) secure_wipe(argv[i], std::strlen(argv[i]));
    wchar_t* line = GetCommandLineW();
    if (line == nullptr) return;
    wchar_t* rest = line;
    if (*rest == L'"') {
        for (++rest; *rest != L'\0' && *rest != L'"'; ++rest) {
        }
        if (*rest == L'"') ++rest;
    } else {
        while (*rest != L'\0' && *rest != L' ' && *rest != L'\t') ++rest;
    }
    secure_wipe(rest, wcslen(rest) * sizeof(wchar_t));
}

}  // namespace sipcrypt::cli
