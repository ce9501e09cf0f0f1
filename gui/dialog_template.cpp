#include "dialog_template.h"

namespace sipcrypt::gui {

namespace {
constexpr unsigned edit_flags = tab_stop;
constexpr unsigned output_flags = tab_stop | read_only;
}  // namespace

// clang-format off
const DialogTemplate settings_dialog_template = {
    "Encrypt SIP Settings. ", "Verdana", 8, 251, 329,
    {{
        {ControlKind::label,       no_id, "Encryption Password:",          {23, 37, 71, 8},    0,            1002},
        {ControlKind::group_box,   no_id, " SIP Settings ",                {23, 57, 183, 79},  0,            no_id},
        {ControlKind::label,       no_id, "SIP Login:",                    {64, 72, 35, 8},    0,            1003},
        {ControlKind::label,       no_id, "SIP Password:",                 {51, 88, 48, 8},    0,            1004},
        {ControlKind::label,       no_id, "SIP Proxy:",                    {63, 104, 36, 8},   0,            1005},
        {ControlKind::label,       no_id, "SIP Outbound Proxy:",           {29, 120, 70, 8},   0,            1006},
        {ControlKind::push_button, 1000,  "Generate Encrypted Parameters", {25, 143, 160, 26}, tab_stop,     no_id},
        {ControlKind::edit,        1002,  "",                              {98, 35, 108, 12},  edit_flags,   no_id},
        {ControlKind::edit,        1003,  "",                              {102, 70, 96, 12},  edit_flags,   no_id},
        {ControlKind::edit,        1004,  "",                              {102, 86, 96, 12},  edit_flags,   no_id},
        {ControlKind::edit,        1005,  "",                              {102, 102, 96, 12}, edit_flags,   no_id},
        {ControlKind::edit,        1006,  "",                              {102, 118, 96, 12}, edit_flags,   no_id},
        {ControlKind::group_box,   no_id, " Encrypted SIP Settings ",      {25, 205, 183, 79}, 0,            no_id},
        {ControlKind::label,       no_id, "SIP Login:",                    {66, 220, 35, 8},   0,            1007},
        {ControlKind::label,       no_id, "SIP Password:",                 {53, 236, 48, 8},   0,            1008},
        {ControlKind::label,       no_id, "SIP Proxy:",                    {65, 252, 36, 8},   0,            1009},
        {ControlKind::label,       no_id, "SIP Outbound Proxy:",           {31, 268, 70, 8},   0,            1010},
        {ControlKind::edit,        1007,  "",                              {104, 218, 96, 12}, output_flags, no_id},
        {ControlKind::edit,        1008,  "",                              {104, 234, 96, 12}, output_flags, no_id},
        {ControlKind::edit,        1009,  "",                              {104, 250, 96, 12}, output_flags, no_id},
        {ControlKind::edit,        1010,  "",                              {104, 266, 96, 12}, output_flags, no_id},
    }},
};
// clang-format on

}  // namespace sipcrypt::gui
