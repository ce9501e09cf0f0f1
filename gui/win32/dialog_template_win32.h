#pragma once

#include <windows.h>

#include <vector>

#include "gui/dialog_template.h"

namespace sipcrypt::gui::win32 {

// The dialog as an in-memory template for DialogBoxIndirectParamW: a
// DLGTEMPLATEEX and one DLGITEMTEMPLATEEX a control, in the table's order,
// with the table's caption, font, styles, ids, texts and rectangles in dialog
// units. The Windows dialog manager lays it out.
std::vector<WORD> build_dialog_template(const DialogTemplate& dialog);

}  // namespace sipcrypt::gui::win32
