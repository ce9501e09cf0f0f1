// Runs a program on this console as a shell would, outlives a Ctrl-C that
// ends it, and then says whether the console echoes what is typed: what a
// user finds after pressing Ctrl-C at the program's password prompt.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

BOOL WINAPI keep_running(DWORD) {
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetConsoleCtrlHandler(keep_running, TRUE);
    std::wstring line;
    for (int i = 1; i < argc; ++i) line += std::wstring(i > 1 ? L" \"" : L"\"") + argv[i] + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD mode = 0;
    GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode);
    std::printf("probe: echo %s\n", (mode & ENABLE_ECHO_INPUT) != 0 ? "on" : "off");
    return 0;
}
