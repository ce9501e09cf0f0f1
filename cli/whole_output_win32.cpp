// Output that appears whole, on Windows: the file is made beside the target
// and moved into its place; standard output gets a copy of a temporary file
// that Windows deletes when it is closed.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/utf16.h"
#include "io.h"
#include "whole_output.h"

namespace sipcrypt::cli {

namespace {

std::error_code windows_error(DWORD code = GetLastError()) {
    return {static_cast<int>(code), std::system_category()};
}

std::wstring wide(const std::string& utf8) {
    std::u16string text;
    utf8_to_utf16(utf8, text);
    return {text.begin(), text.end()};
}

// A named temporary file to delete if Ctrl-C or Ctrl-Break ends the tool
// while it exists.
wchar_t pending_removal[MAX_PATH * 4];
volatile LONG removal_armed = 0;

BOOL WINAPI remove_on_break(DWORD) {
    if (removal_armed != 0) DeleteFileW(pending_removal);
    return FALSE;
}

}  // namespace

struct WholeOutput::State {
    std::string path;
    bool to_standard_output = false;
    int fd = -1;
    std::wstring temporary;  // the named file beside the target
    std::string written_to;
    std::string failure;
    std::error_code error;

    bool fail(std::string what, std::error_code why) {
        failure = std::move(what);
        error = why;
        if (fd >= 0) _close(fd);
        fd = -1;
        return false;
    }

    bool open_from(HANDLE file, const char* what) {
        if (file == INVALID_HANDLE_VALUE) return fail(what, windows_error());
        fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
        if (fd < 0) {
            CloseHandle(file);
            return fail(what, std::make_error_code(std::errc::too_many_files_open));
        }
        return true;
    }

    void remove_temporary() {
        if (temporary.empty()) return;
        DeleteFileW(temporary.c_str());
        removal_armed = 0;
        SetConsoleCtrlHandler(remove_on_break, FALSE);
        temporary.clear();
    }
};

WholeOutput::WholeOutput(std::string path) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.path = std::move(path);
    if (s.path.empty() || s.path == "-") {
        s.to_standard_output = true;
        wchar_t folder[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
        wchar_t name[MAX_PATH + 1];
        if (length == 0 || GetTempFileNameW(folder, L"sip", 0, name) == 0) {
            s.fail("cannot make a temporary file", windows_error());
            return;
        }
        std::u16string folder16(folder, folder + length);
        std::string folder8;
        utf16_to_utf8(folder16, folder8);
        s.written_to = "the temporary file in " + folder8;
        s.open_from(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr),
                    "cannot make a temporary file");
        return;
    }
    s.written_to = s.path;
    const std::wstring target = wide(s.path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        s.fail("cannot write", windows_error(ERROR_ACCESS_DENIED));
        return;
    }
    for (int attempt = 0; attempt < 100 && s.fd < 0; ++attempt) {
        const std::wstring name = target + L".sipcrypt-" + std::to_wstring(GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(attempt);
        const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
        if (!s.open_from(file, "cannot create a file beside it")) return;
        s.temporary = name;
        if (name.size() < std::size(pending_removal)) {
            std::copy(name.c_str(), name.c_str() + name.size() + 1, pending_removal);
            removal_armed = 1;
            SetConsoleCtrlHandler(remove_on_break, TRUE);
        }
    }
    if (s.fd < 0 && s.error == std::error_code{}) {
        s.fail("cannot create a file beside it", windows_error(ERROR_FILE_EXISTS));
    }
}

WholeOutput::~WholeOutput() {
    if (state_->fd >= 0) _close(state_->fd);
    state_->remove_temporary();
}

std::error_code WholeOutput::commit() {
    State& s = *state_;
    if (s.fd < 0) return s.error;
    if (s.to_standard_output) {
        s.failure = "cannot read the temporary file back";
        if (_lseek(s.fd, 0, SEEK_SET) != 0)
            return s.error = std::make_error_code(std::errc::io_error);
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            std::size_t got = 0;
            s.failure = "cannot read the temporary file back";
            if (const auto error = read_some(s.fd, buffer.data(), buffer.size(), got)) {
                return s.error = error;
            }
            if (got == 0) return {};
            s.failure = "cannot write";
            if (const auto error = write_all(standard_output, {buffer.data(), got})) {
                return s.error = error;
            }
        }
    }
    s.failure = "cannot write";
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(s.fd)))) {
        return s.error = windows_error();
    }
    _close(s.fd);
    s.fd = -1;
    s.failure = "cannot put the file in place";
    if (!MoveFileExW(s.temporary.c_str(), wide(s.path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return s.error = windows_error();
    }
    s.temporary.clear();
    removal_armed = 0;
    SetConsoleCtrlHandler(remove_on_break, FALSE);
    return {};
}

std::string WholeOutput::destination() const {
    return state_->to_standard_output ? "standard output" : state_->path;
}

int WholeOutput::fd() const noexcept {
    return state_->fd;
}

const std::string& WholeOutput::written_to() const noexcept {
    return state_->written_to;
}

const std::string& WholeOutput::failure() const noexcept {
    return state_->failure;
}

const std::error_code& WholeOutput::error() const noexcept {
    return state_->error;
}

}  // namespace sipcrypt::cli
