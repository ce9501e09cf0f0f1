// The password prompt on the Windows console.
#include <windows.h>

#include <string>
#include <string_view>

#include "cipher/secret_memory.h"
#include "core/unicode.h"
#include "core/windows_text.h"
#include "io.h"
#include "line_reader.h"
#include "terminal_prompt.h"

namespace sipcrypt::cli {

namespace {

// What the Ctrl-C and Ctrl-Break handler needs to give the console its echo
// back before the tool ends.
HANDLE echo_off_input = INVALID_HANDLE_VALUE;
DWORD saved_mode = 0;

BOOL WINAPI restore_echo(DWORD) {
    if (echo_off_input != INVALID_HANDLE_VALUE) SetConsoleMode(echo_off_input, saved_mode);
    return FALSE;  // and on to the default handler, which ends the tool
}

HANDLE open_console(const wchar_t* name) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

void write_console(HANDLE output, const std::wstring& text) {
    DWORD written = 0;
    WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

Outcome ask_on(HANDLE input, HANDLE output, std::string_view prompt, SecretBytes& answer) {
    answer.clear();
    DWORD mode = 0;
    if (!GetConsoleMode(input, &mode)) return Code::echo_stays_on;
    saved_mode = mode;
    echo_off_input = input;
    SetConsoleCtrlHandler(restore_echo, TRUE);
    const DWORD quiet = (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT |
                        ENABLE_PROCESSED_INPUT;
    DWORD now = 0;
    // Never read a secret unless echo is known to be off.
    if (!SetConsoleMode(input, quiet) || !GetConsoleMode(input, &now) ||
        (now & ENABLE_ECHO_INPUT) != 0) {
        SetConsoleMode(input, saved_mode);
        SetConsoleCtrlHandler(restore_echo, FALSE);
        echo_off_input = INVALID_HANDLE_VALUE;
        return Code::echo_stays_on;
    }
    write_console(output, wide(prompt));

    std::u16string line;
    Outcome error;
    for (;;) {
        wchar_t c;
        DWORD got = 0;
        if (!ReadConsoleW(input, &c, 1, &got, nullptr) || got == 0) {
            if (line.empty()) error = Code::nothing_entered;
            break;
        }
        if (c == L'\n') break;
        if (c == 26 && line.empty()) {  // Ctrl-Z at the start: the end of input
            error = Code::nothing_entered;
            break;
        }
        if (line.size() == LineReader::max_line_length + 2) {
            error = Outcome::over_limit(Code::line_too_long, LineReader::max_line_length);
            break;
        }
        line.push_back(static_cast<char16_t>(c));
    }
    SetConsoleMode(input, saved_mode);
    SetConsoleCtrlHandler(restore_echo, FALSE);
    echo_off_input = INVALID_HANDLE_VALUE;
    write_console(output, L"\r\n");
    if (error.ok()) {
        // Half of a surrogate pair stays broken, for the checks to refuse.
        std::string utf8;
        utf16_to_utf8_as_is(line, utf8);
        answer.assign(utf8.begin(), utf8.end());
        error = finish_typed_line(answer);
        wipe_string(utf8);
    }
    wipe_string(line);
    if (!error.ok()) answer.clear();
    return error;
}

}  // namespace

bool has_terminal() {
    const HANDLE input = open_console(L"CONIN$");
    DWORD mode;
    const bool console = input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode);
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    return console;
}

Outcome ask_secret(int fd, std::string_view prompt, SecretBytes& answer) {
    DWORD mode;
    if (fd >= 0 && !GetConsoleMode(handle_of(fd), &mode)) return Code::no_terminal;
    const HANDLE input = open_console(L"CONIN$"), output = open_console(L"CONOUT$");
    const bool console = input != INVALID_HANDLE_VALUE && output != INVALID_HANDLE_VALUE &&
                         GetConsoleMode(input, &mode);
    const Outcome asked = console ? ask_on(input, output, prompt, answer) : Code::no_terminal;
    for (const HANDLE handle : {input, output}) {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    return asked;
}

}  // namespace sipcrypt::cli
