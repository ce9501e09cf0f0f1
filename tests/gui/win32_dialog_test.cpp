// The native Windows dialog, driven through its window messages as a user's
// keyboard and mouse would drive it (under Wine on Xvfb in CI).
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/codec.h"
#include "gui/dialog_template.h"
#include "gui/settings_form.h"
#include "gui/win32/settings_dialog_win32.h"
#include "tests/codec_for.h"

namespace sipcrypt::gui::win32 {
namespace {

constexpr int password_box = 1002;
constexpr int input_boxes[] = {1003, 1004, 1005, 1006};
constexpr int output_boxes[] = {1007, 1008, 1009, 1010};

struct Fixture {
    std::unique_ptr<Codec> codec;
    SettingsForm form;
    SettingsDialog view;
    std::vector<std::wstring> messages;
    HWND dialog = nullptr;

    explicit Fixture(const char* encoding = "UTF-8")
        : codec(codec_for(encoding)), form(*codec), view(form, GetModuleHandleW(nullptr)) {
        view.set_message_sink([this](HWND, const std::wstring& text) { messages.push_back(text); });
    }
    ~Fixture() {
        if (dialog != nullptr && IsWindow(dialog)) DestroyWindow(dialog);
    }
    HWND open() { return dialog = view.create_modeless(); }
    HWND box(int id) const { return GetDlgItem(dialog, id); }
    void type(int id, const std::wstring& text) const {
        SendMessageW(box(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    std::wstring text(int id) const {
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(box(id))) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(box(id), text.data(), static_cast<int>(text.size()))));
        return text;
    }
    void click() const { SendMessageW(GetDlgItem(dialog, generate_button_id), BM_CLICK, 0, 0); }
    std::vector<std::wstring> outputs() const {
        std::vector<std::wstring> texts;
        for (const int id : output_boxes) texts.push_back(text(id));
        return texts;
    }
};

TEST(Win32Dialog, APressShowsTheGoldenTextsAndKeepsThoseOfEmptiedInputs) {
    Fixture f;
    ASSERT_NE(f.open(), nullptr);
    f.type(password_box, L"secret");
    f.type(1003, L"sip:alice@example.com");
    f.type(1004, L"a");
    f.click();
    EXPECT_EQ(f.text(1007), L"0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ");
    const std::wstring a_text = f.text(1008);
    EXPECT_EQ(a_text.size(), 12u);
    EXPECT_TRUE(f.messages.empty());

    f.type(password_box, L"password");
    f.type(1003, L"12345678");
    f.type(1004, L"");
    f.click();
    EXPECT_EQ(f.text(1007), L"FL/3uVtBnz4=");
    EXPECT_EQ(f.text(1008), a_text);

    Fixture windows("WINDOWS-1252");
    ASSERT_NE(windows.open(), nullptr);
    windows.type(password_box, L"p\u00E4ssw\u00F6rd");
    windows.type(1005, L"proxy.example.net:5060");
    windows.click();
    EXPECT_EQ(windows.text(1009), L"4q5+6v/qpNquJI6cFw9T5sp2ObtsHG7N");
}

TEST(Win32Dialog, RefusalsShowAMessageAndChangeNothing) {
    Fixture f;
    ASSERT_NE(f.open(), nullptr);
    f.type(password_box, L"secret");
    for (const int id : input_boxes) f.type(id, L"value");
    f.click();
    const auto before = f.outputs();

    f.type(password_box, L"");
    f.type(1003, L"changed");
    f.click();
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_NE(f.messages.back().find(L"Type an encryption password first"), std::wstring::npos);
    EXPECT_EQ(f.outputs(), before);
    EXPECT_EQ(GetFocus(), f.box(password_box));

    // Longer than an edit box takes by default: the box holds it all, and the
    // press refuses it.
    f.type(password_box, L"secret");
    f.type(1005, std::wstring(40000, L'x'));
    EXPECT_EQ(GetWindowTextLengthW(f.box(1005)), 40000);
    f.click();
    ASSERT_EQ(f.messages.size(), 2u);
    EXPECT_NE(f.messages.back().find(L"SIP Proxy: the value is longer than 3744 bytes"),
              std::wstring::npos);
    EXPECT_EQ(f.outputs(), before);
}

// Every control where the dialog manager put it: the template's rectangle,
// mapped by MapDialogRect for this dialog; so the template is built right.
// The dialog manager maps a control's position and its size each on their
// own, and so does this.
TEST(Win32Dialog, ControlsSitWhereTheTemplateSays) {
    Fixture f;
    ASSERT_NE(f.open(), nullptr);
    const auto mapped = [&](const Rect& rect) {
        RECT origin = {rect.x, rect.y, rect.x, rect.y};
        RECT size = {0, 0, rect.width, rect.height};
        MapDialogRect(f.dialog, &origin);
        MapDialogRect(f.dialog, &size);
        return RECT{origin.left, origin.top, origin.left + size.right, origin.top + size.bottom};
    };
    RECT client;
    GetClientRect(f.dialog, &client);
    const RECT size =
        mapped({0, 0, settings_dialog_template.width, settings_dialog_template.height});
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    HWND control = GetWindow(f.dialog, GW_CHILD);
    for (const ControlTemplate& c : settings_dialog_template.controls) {
        ASSERT_NE(control, nullptr);
        SCOPED_TRACE(std::string(c.text) + " " + std::to_string(c.id));
        EXPECT_EQ(GetDlgCtrlID(control), c.id);
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(HWND_DESKTOP, f.dialog, reinterpret_cast<POINT*>(&r), 2);
        const RECT expected = mapped(c.rect);
        EXPECT_EQ(r.left, expected.left);
        EXPECT_EQ(r.top, expected.top);
        EXPECT_EQ(r.right, expected.right);
        EXPECT_EQ(r.bottom, expected.bottom);
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        EXPECT_EQ((style & WS_TABSTOP) != 0, (c.flags & tab_stop) != 0);
        if (c.kind == ControlKind::edit) {
            EXPECT_EQ((style & ES_READONLY) != 0, (c.flags & read_only) != 0);
            EXPECT_NE(style & ES_AUTOHSCROLL, 0);
        }
        wchar_t text[64] = {};
        GetWindowTextW(control, text, 64);
        if (c.kind != ControlKind::edit) {
            EXPECT_EQ(std::wstring(text), std::wstring(c.text.begin(), c.text.end()));
        }
        control = GetWindow(control, GW_HWNDNEXT);
    }
    wchar_t caption[64] = {};
    GetWindowTextW(f.dialog, caption, 64);
    EXPECT_EQ(std::wstring(caption), L"Encrypt SIP Settings. ");
    const LONG style = GetWindowLongW(f.dialog, GWL_STYLE);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_NE(GetWindowLongW(f.dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    EXPECT_NE(SendMessageW(f.dialog, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(f.dialog, WM_GETICON, ICON_SMALL, 0), 0);
}

// The keyboard, through the dialog's own modal loop: keys are posted to a
// control once the dialog is up, as typing would put them there.
struct Keys {
    int control_id;
    std::vector<WPARAM> keys;
};

INT_PTR run_with_keys(Fixture& f, std::vector<Keys> typing) {
    f.view.set_on_ready([=](HWND dialog) {
        const auto type = [&](int id, const wchar_t* text) {
            SendDlgItemMessageW(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        };
        type(password_box, L"secret");
        type(1003, L"sip:alice@example.com");
        // A dialog that does not end fails the test rather than hanging it.
        SetTimer(dialog, 1, 10000,
                 [](HWND window, UINT, UINT_PTR, DWORD) { EndDialog(window, -2); });
        for (const Keys& k : typing) {
            const HWND target = GetDlgItem(dialog, k.control_id);
            // The focus first, as a click or Tab would move it.
            PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
            for (const WPARAM key : k.keys) {
                PostMessageW(target, WM_KEYDOWN, key, 0);
                PostMessageW(target, WM_KEYUP, key, 0xC0000001);
            }
        }
    });
    return f.view.run_modal();
}

TEST(Win32Dialog, EnterInABoxAndEscEndTheDialogAndOnTheButtonPressIt) {
    {
        Fixture f;
        EXPECT_EQ(run_with_keys(f, {{1004, {VK_RETURN}}}), IDOK);
        EXPECT_EQ(f.form.text(Field::encrypted_sip_login), u"");
    }
    {
        Fixture f;
        EXPECT_EQ(run_with_keys(f, {{1009, {VK_RETURN}}}), IDOK);
    }
    {
        Fixture f;
        EXPECT_EQ(run_with_keys(f, {{1003, {VK_ESCAPE}}}), IDCANCEL);
    }
    // The button starts with the focus: Enter or Space presses it, and the
    // dialog stays until Esc.
    for (const WPARAM key : {VK_RETURN, VK_SPACE}) {
        Fixture f;
        EXPECT_EQ(run_with_keys(f, {{generate_button_id, {key}}, {1003, {VK_ESCAPE}}}), IDCANCEL);
        EXPECT_EQ(f.form.text(Field::encrypted_sip_login), u"0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ");
    }
}

}  // namespace
}  // namespace sipcrypt::gui::win32

namespace sipcrypt::gui::win32 {
namespace {

// What the .rc gives the program: the icon group with its four images, the
// version, and the manifest.
TEST(Win32Dialog, TheResourcesAreThere) {
    const HMODULE self = GetModuleHandleW(nullptr);
    const HRSRC icons = FindResourceW(self, MAKEINTRESOURCEW(128), RT_GROUP_ICON);
    ASSERT_NE(icons, nullptr);
    const auto* directory = static_cast<const WORD*>(LockResource(LoadResource(self, icons)));
    ASSERT_NE(directory, nullptr);
    EXPECT_EQ(directory[1], 1);  // an icon
    EXPECT_EQ(directory[2], 4);  // of four images
    EXPECT_NE(FindResourceW(self, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION), nullptr);
    EXPECT_NE(FindResourceW(self, MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
}

}  // namespace
}  // namespace sipcrypt::gui::win32
