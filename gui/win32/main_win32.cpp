// sipcrypt-gui on Windows: the native dialog, started from the desktop or a
// console, with no console of its own. What it has to say before the dialog
// (help, version, a usage error) goes to a redirected output, else shows in
// a message box.
#include <windows.h>  // first: the headers below need its types

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "core/codec.h"
#include "core/encoding_choice.h"
#include "core/messages.h"
#include "core/windows_text.h"
#include "gui/launch_options.h"
#include "gui/settings_form.h"
#include "settings_dialog_win32.h"

namespace {

// On standard output (standard error for a usage error) when that goes to a
// file or a pipe, as when a script asks; else in a message box.
int tell(const std::string& text, UINT icon, int status) {
    const HANDLE to = GetStdHandle(status == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    const DWORD type =
        to == nullptr || to == INVALID_HANDLE_VALUE ? FILE_TYPE_UNKNOWN : GetFileType(to);
    const std::string line = text.back() == '\n' ? text : text + "\n";
    DWORD written = 0;
    if ((type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) &&
        WriteFile(to, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
        return status;
    }
    MessageBoxW(nullptr, sipcrypt::wide(text).c_str(), L"sipcrypt-gui", MB_OK | icon);
    return status;
}

std::vector<std::string> arguments() {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> utf8;
    for (int i = 1; i < count; ++i) {
        utf8.push_back(sipcrypt::narrow(argv[i]));
    }
    LocalFree(argv);
    return utf8;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using sipcrypt::gui::LaunchOptions;
    const LaunchOptions options = sipcrypt::gui::read_launch_options(arguments());
    switch (options.action) {
        case LaunchOptions::Action::usage_error:
            return tell(sipcrypt::message(options.error, sipcrypt::Audience::dialog) + "\n\n" +
                            sipcrypt::gui::launch_usage(),
                        MB_ICONERROR, 2);
        case LaunchOptions::Action::help:
            return tell(sipcrypt::gui::launch_usage(), MB_ICONINFORMATION, 0);
        case LaunchOptions::Action::version:
            return tell("sipcrypt-gui " SIPCRYPT_VERSION, MB_ICONINFORMATION, 0);
        case LaunchOptions::Action::run:
            break;
    }
    std::unique_ptr<sipcrypt::TextEncoding> encoding;
    if (const auto chosen = sipcrypt::choose_encoding(options.encoding, encoding); !chosen.ok()) {
        return tell(sipcrypt::message(chosen, sipcrypt::Audience::dialog), MB_ICONERROR, 2);
    }
    sipcrypt::Codec codec(std::move(encoding));

    // Themed controls, as the manifest asks for.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    sipcrypt::gui::SettingsForm form(codec);
    sipcrypt::gui::win32::SettingsDialog dialog(form, instance);
    // OK, Cancel and the close box all end the program.
    return dialog.run_modal() == -1 ? 1 : 0;
}
