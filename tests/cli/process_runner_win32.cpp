// Runs a program the way the Windows shell does, for the tests that run the
// real tool under Windows (or Wine): CreateProcessW with pipes for its
// standard streams and its own environment block.
#include <windows.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "process_runner.h"

namespace sipcrypt::testing {

namespace {

// UTF-8 to UTF-16, where the form of a lone surrogate stands for it: the
// tests hand the tool broken text, as Windows can.
std::wstring wide(const std::string& utf8) {
    std::wstring text;
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length = s[i] < 0x80 ? 1 : s[i] < 0xE0 ? 2 : s[i] < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? s[i] : s[i] & (0x7F >> length);
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
            c = c << 6 | (s[i + k] & 0x3F);
        i += length;
        if (c < 0x10000) {
            text += static_cast<wchar_t>(c);
        } else {
            text += static_cast<wchar_t>(0xD7C0 + (c >> 10));
            text += static_cast<wchar_t>(0xDC00 | (c & 0x3FF));
        }
    }
    return text;
}

// One argument as the C runtime's parser reads it back.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

void read_all(HANDLE pipe, std::string& into) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        into.append(buffer, got);
}

}  // namespace

ProcessResult run_process(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& input,
                          const std::map<std::string, std::string>& given_environment,
                          const std::map<int, std::string>& fd_inputs) {
    if (!fd_inputs.empty()) throw std::runtime_error("Windows passes no descriptors");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE in_read, in_write, out_read, out_write, err_read, err_write;
    if (!CreatePipe(&in_read, &in_write, &inherit, 0) ||
        !CreatePipe(&out_read, &out_write, &inherit, 0) ||
        !CreatePipe(&err_read, &err_write, &inherit, 0)) {
        throw std::runtime_error("CreatePipe failed");
    }
    for (const HANDLE ours : {in_write, out_read, err_read}) {
        SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
    }
    std::wstring command_line = quoted(wide(program));
    for (const auto& argument : arguments) command_line += L" " + quoted(wide(argument));

    // The test's own environment with `environment` over it, but no encoding
    // setting of the user's.
    std::map<std::string, std::string> environment = {{"SIPCRYPT_ENCODING", ""}};
    for (const auto& [key, value] : given_environment) environment[key] = value;
    std::wstring block;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* entry = own; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring line = entry;
        const std::wstring name = line.substr(0, line.find(L'=', 1));
        bool replaced = false;
        for (const auto& [key, value] : environment) replaced |= wide(key) == name;
        if (!replaced) block += line + L'\0';
    }
    FreeEnvironmentStringsW(own);
    for (const auto& [key, value] : environment) block += wide(key) + L"=" + wide(value) + L'\0';
    block += L'\0';

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in_read;
    startup.hStdOutput = out_write;
    startup.hStdError = err_write;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE,
                        CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(), nullptr,
                        &startup, &process)) {
        throw std::runtime_error("cannot start " + program);
    }
    for (const HANDLE theirs : {in_read, out_write, err_write}) CloseHandle(theirs);

    ProcessResult result;
    std::thread out_reader([&] { read_all(out_read, result.out); });
    std::thread err_reader([&] { read_all(err_read, result.err); });
    DWORD written = 0;
    if (!input.empty()) {
        WriteFile(in_write, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    }
    CloseHandle(in_write);
    out_reader.join();
    err_reader.join();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    result.exit_status = static_cast<int>(status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(out_read);
    CloseHandle(err_read);
    return result;
}

}  // namespace sipcrypt::testing
