#pragma once

#include <array>
#include <string_view>

namespace sipcrypt::app {

// Positions and sizes in dialog units, which scale with the dialog font.
struct DialogRect {
    int x, y, width, height;
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
    DialogRect rect;
    unsigned flags;
    int buddy;  // for a label, the edit box it names
};

inline constexpr int generate_button_id = 1000;
inline constexpr int password_edit_id = 1002;
inline constexpr std::array<int, 4> input_edit_ids = {1003, 1004, 1005, 1006};
inline constexpr std::array<int, 4> output_edit_ids = {1007, 1008, 1009, 1010};

struct DialogTemplate {
    std::string_view caption;
    std::string_view font_family;
    int font_point_size;
    int width, height;                         // of the client area
    std::array<ControlTemplate, 21> controls;  // in tab order
};

// The settings dialog, control by control.
extern const DialogTemplate settings_dialog_template;

}  // namespace sipcrypt::app
