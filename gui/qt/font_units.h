#pragma once

#include <QFont>
#include <QRect>

#include "gui/dialog_template.h"
#include "gui/dialog_units.h"

namespace sipcrypt::gui::qt {

// The dialog units of a font, measured as the dialog manager measures them.
DialogUnits dialog_units_of(const QFont& font);

inline QRect to_qrect(const Rect& rect) {
    return {rect.x, rect.y, rect.width, rect.height};
}

}  // namespace sipcrypt::gui::qt
