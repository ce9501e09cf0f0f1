#include "font_units.h"

#include <QFontMetrics>
#include <QString>

namespace sipcrypt::gui::qt {

DialogUnits dialog_units_of(const QFont& font) {
    const QFontMetrics metrics(font);
    return DialogUnits::from_font_measures(
        metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
        metrics.height());
}

}  // namespace sipcrypt::gui::qt
