#pragma once

#include <array>
#include <string_view>

namespace sipcrypt::gui {

// A rectangle, in dialog units in the template and in pixels once mapped.
struct Rect {
    int x, y, width, height;
    friend bool operator==(const Rect&, const Rect&) = default;
};

enum class ControlKind { label, group_box, push_button, edit };

enum ControlFlag : unsigned {
    tab_stop = 1u << 0,
    read_only = 1u << 1,
};

// Controls with no id of their own.
inline constexpr int no_id = -1;

struct ControlTemplate {
    ControlKind kind;
    int id;
    std::string_view text;
    Rect rect;
    unsigned flags;
    int buddy;  // for a label, the edit box it names
};

inline constexpr int generate_button_id = 1000;

struct DialogTemplate {
    std::string_view caption;
    std::string_view font_family;
    int font_point_size;
    int width, height;                         // of the client area
    std::array<ControlTemplate, 21> controls;  // in tab order
};

// The settings dialog, control by control: the one source of its layout
// for every view.
extern const DialogTemplate settings_dialog_template;

}  // namespace sipcrypt::gui
