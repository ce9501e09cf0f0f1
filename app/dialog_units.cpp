#include "dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace sipcrypt::app {

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int multiply_divide(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogUnits DialogUnits::of_font(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The average of 52 letters, rounded the way the dialog manager does.
    return DialogUnits((letters / 26 + 1) / 2, metrics.height());
}

int DialogUnits::to_pixels_x(int units) const {
    return multiply_divide(units, base_x_, 4);
}

int DialogUnits::to_pixels_y(int units) const {
    return multiply_divide(units, base_y_, 8);
}

QRect DialogUnits::to_pixels(const DialogRect& rect) const {
    // Position and size each on their own, as the dialog manager creates controls.
    return QRect(to_pixels_x(rect.x), to_pixels_y(rect.y), to_pixels_x(rect.width),
                 to_pixels_y(rect.height));
}

QSize DialogUnits::to_pixels(int width, int height) const {
    return QSize(to_pixels_x(width), to_pixels_y(height));
}

}  // namespace sipcrypt::app
