#include "settings_dialog_win32.h"

#include <string>

#include "cipher/secret_memory.h"
#include "core/windows_text.h"
#include "dialog_template_win32.h"
#include "gui/dialog_template.h"
#include "gui/fields.h"
#include "gui/settings_form.h"

namespace sipcrypt::gui::win32 {

namespace {

constexpr int application_icon = 128;

std::u16string text_of(HWND box) {
    const int length = GetWindowTextLengthW(box);
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const int got = GetWindowTextW(box, reinterpret_cast<wchar_t*>(text.data()), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

HICON icon_of_size(HINSTANCE instance, int metric_x, int metric_y) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(application_icon), IMAGE_ICON,
                                         GetSystemMetrics(metric_x), GetSystemMetrics(metric_y),
                                         LR_DEFAULTCOLOR));
}

}  // namespace

SettingsDialog::SettingsDialog(SettingsForm& form, HINSTANCE instance)
    : form_(form), instance_(instance), template_(build_dialog_template(settings_dialog_template)) {
    message_sink_ = [](HWND dialog, const std::wstring& text) {
        wchar_t caption[256] = {};
        GetWindowTextW(dialog, caption, 256);
        MessageBoxW(dialog, text.c_str(), caption, MB_OK | MB_ICONWARNING);
    };
}

SettingsDialog::~SettingsDialog() = default;

INT_PTR SettingsDialog::run_modal(HWND owner) {
    modal_ = true;
    return DialogBoxIndirectParamW(instance_, reinterpret_cast<LPCDLGTEMPLATEW>(template_.data()),
                                   owner, procedure, reinterpret_cast<LPARAM>(this));
}

HWND SettingsDialog::create_modeless(HWND owner) {
    modal_ = false;
    return CreateDialogIndirectParamW(instance_,
                                      reinterpret_cast<LPCDLGTEMPLATEW>(template_.data()), owner,
                                      procedure, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK SettingsDialog::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, l);
    auto* view = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return view == nullptr ? FALSE : view->handle(window, message, w, l);
}

INT_PTR SettingsDialog::handle(HWND window, UINT message, WPARAM w, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            initialise(window);
            // The focus starts on the first tab stop, the button, given the
            // way the dialog manager gives it when tabbing: so the button is
            // the default while it has the focus, and Enter presses it.
            SendMessageW(window, WM_NEXTDLGCTL,
                         reinterpret_cast<WPARAM>(GetDlgItem(window, generate_button_id)), TRUE);
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(w)) {
                case generate_button_id:
                    if (HIWORD(w) == BN_CLICKED) press(window);
                    return TRUE;
                case IDOK:      // Enter in a box: there is no default button
                case IDCANCEL:  // Esc, or the close box
                    end(window, LOWORD(w));
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

void SettingsDialog::initialise(HWND window) {
    SendMessageW(window, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(icon_of_size(instance_, SM_CXICON, SM_CYICON)));
    SendMessageW(window, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(icon_of_size(instance_, SM_CXSMICON, SM_CYSMICON)));
    // No box has a length limit: 0 lifts the edit control's default one.
    for (std::size_t i = 0; i < field_count; ++i) {
        SendDlgItemMessageW(window, control_id(static_cast<Field>(i)), EM_SETLIMITTEXT, 0, 0);
    }
    if (on_ready_) on_ready_(window);
}

// The boxes' texts go to the form, the form presses, and its texts come back
// to the boxes: one exchange each way over all nine, the read-only ones too.
void SettingsDialog::press(HWND window) {
    for (std::size_t i = 0; i < field_count; ++i) {
        const auto field = static_cast<Field>(i);
        std::u16string text = text_of(GetDlgItem(window, control_id(field)));
        form_.set_text(field, text);
        wipe_string(text);
    }
    const SettingsForm::Notice notice = form_.press();
    for (std::size_t i = 0; i < field_count; ++i) {
        const auto field = static_cast<Field>(i);
        const HWND box = GetDlgItem(window, control_id(field));
        std::u16string shown = text_of(box);
        if (shown != form_.text(field)) {
            SetWindowTextW(box, reinterpret_cast<const wchar_t*>(form_.text(field).c_str()));
        }
        wipe_string(shown);
    }
    if (notice.text.empty()) return;
    message_sink_(window, wide(notice.text));
    if (notice.focus) {
        SendMessageW(window, WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(GetDlgItem(window, control_id(*notice.focus))), TRUE);
    }
}

void SettingsDialog::end(HWND window, INT_PTR result) {
    if (modal_) {
        EndDialog(window, result);
    } else {
        DestroyWindow(window);
    }
}

}  // namespace sipcrypt::gui::win32
