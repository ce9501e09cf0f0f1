#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace sipcrypt::gui {
class SettingsForm;
}

namespace sipcrypt::gui::win32 {

// The settings dialog's Win32 view: the dialog manager builds it from the
// control table's template; its boxes are bound to the form's fields; a
// press goes through the form, and the view shows what it says.
class SettingsDialog {
  public:
    // Shows a message to the user. Replaceable, so that tests can read the
    // messages without a blocking message box.
    using MessageSink = std::function<void(HWND dialog, const std::wstring& text)>;

    SettingsDialog(SettingsForm& form, HINSTANCE instance);
    ~SettingsDialog();
    SettingsDialog(const SettingsDialog&) = delete;
    SettingsDialog& operator=(const SettingsDialog&) = delete;

    void set_message_sink(MessageSink sink) { message_sink_ = std::move(sink); }
    // Called once the dialog is up, with its window; for tests.
    void set_on_ready(std::function<void(HWND)> on_ready) { on_ready_ = std::move(on_ready); }

    // Runs the dialog until Enter in a box, Esc or the close box ends it:
    // IDOK or IDCANCEL.
    INT_PTR run_modal(HWND owner = nullptr);
    // Creates it without a loop of its own, for tests that drive it through
    // its window messages; null on failure.
    HWND create_modeless(HWND owner = nullptr);

  private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    INT_PTR handle(HWND window, UINT message, WPARAM w, LPARAM l);
    void initialise(HWND window);
    void press(HWND window);
    void end(HWND window, INT_PTR result);

    SettingsForm& form_;
    HINSTANCE instance_;
    std::vector<WORD> template_;
    MessageSink message_sink_;
    std::function<void(HWND)> on_ready_;
    bool modal_ = false;
};

}  // namespace sipcrypt::gui::win32
