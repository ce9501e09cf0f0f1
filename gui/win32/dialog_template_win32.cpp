#include "dialog_template_win32.h"

#include <string>
#include <string_view>

#include "core/windows_text.h"

namespace sipcrypt::gui::win32 {

namespace {

// The predefined window classes, by their atoms.
constexpr WORD button_class = 0x0080;
constexpr WORD edit_class = 0x0081;
constexpr WORD static_class = 0x0082;

// Writes the template's fields, word by word, in the layout the dialog
// manager reads.
class TemplateWriter {
  public:
    void word(WORD value) { words_.push_back(value); }
    void dword(DWORD value) {
        word(static_cast<WORD>(value & 0xFFFF));
        word(static_cast<WORD>(value >> 16));
    }
    void signed_word(int value) { word(static_cast<WORD>(static_cast<short>(value))); }
    // A zero-terminated UTF-16 string.
    void text(std::string_view utf8) {
        for (const wchar_t unit : wide(utf8)) word(static_cast<WORD>(unit));
        word(0);
    }
    // Each item starts on a DWORD boundary.
    void align() {
        if (words_.size() % 2 != 0) word(0);
    }
    std::vector<WORD> take() { return std::move(words_); }

  private:
    std::vector<WORD> words_;
};

struct ItemStyle {
    WORD window_class;
    DWORD style;
};

ItemStyle style_of(const ControlTemplate& control) {
    DWORD style = WS_CHILD | WS_VISIBLE;
    if ((control.flags & tab_stop) != 0) style |= WS_TABSTOP;
    switch (control.kind) {
        case ControlKind::label:
            return {static_class, style | SS_LEFT};
        case ControlKind::group_box:
            return {button_class, style | BS_GROUPBOX};
        case ControlKind::push_button:
            // Never the default button: Enter in a box is OK, and ends the dialog.
            return {button_class, style | BS_PUSHBUTTON};
        case ControlKind::edit:
            style |= WS_BORDER | ES_LEFT | ES_AUTOHSCROLL;
            if ((control.flags & read_only) != 0) style |= ES_READONLY;
            return {edit_class, style};
    }
    return {static_class, style};
}

}  // namespace

std::vector<WORD> build_dialog_template(const DialogTemplate& dialog) {
    TemplateWriter out;
    out.word(1);       // dlgVer
    out.word(0xFFFF);  // signature: a DLGTEMPLATEEX
    out.dword(0);      // helpID
    out.dword(WS_EX_APPWINDOW);
    // A visible pop-up with a caption, a system menu and a minimise box, no
    // maximise box, and a modal frame; the font is the template's own.
    out.dword(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |
              DS_SETFONT | DS_CENTER);
    out.word(static_cast<WORD>(dialog.controls.size()));
    out.signed_word(0);
    out.signed_word(0);
    out.signed_word(dialog.width);
    out.signed_word(dialog.height);
    out.word(0);  // no menu
    out.word(0);  // the dialog class
    out.text(dialog.caption);
    out.word(static_cast<WORD>(dialog.font_point_size));
    out.word(FW_NORMAL);
    out.word(static_cast<WORD>(DEFAULT_CHARSET << 8));  // italic 0, then the character set
    out.text(dialog.font_family);

    for (const ControlTemplate& control : dialog.controls) {
        out.align();
        const ItemStyle item = style_of(control);
        out.dword(0);  // helpID
        out.dword(0);  // extended style
        out.dword(item.style);
        out.signed_word(control.rect.x);
        out.signed_word(control.rect.y);
        out.signed_word(control.rect.width);
        out.signed_word(control.rect.height);
        out.dword(static_cast<DWORD>(control.id));  // no_id is -1, as IDC_STATIC
        out.word(0xFFFF);
        out.word(item.window_class);
        out.text(control.text);
        out.word(0);  // no creation data
    }
    return out.take();
}

}  // namespace sipcrypt::gui::win32
