#include "dialog_units.h"
#include "dialog_template.h"

namespace sipcrypt::gui {

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int multiply_divide(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogUnits DialogUnits::from_font_measures(int width_of_52_letters, int height) {
    // The average of 52 letters, rounded the way the dialog manager does.
    return DialogUnits((width_of_52_letters / 26 + 1) / 2, height);
}

int DialogUnits::to_pixels_x(int units) const {
    return multiply_divide(units, base_x_, 4);
}

int DialogUnits::to_pixels_y(int units) const {
    return multiply_divide(units, base_y_, 8);
}

Rect DialogUnits::to_pixels(const Rect& rect) const {
    // Position and size each on their own, as the dialog manager creates controls.
    return {to_pixels_x(rect.x), to_pixels_y(rect.y), to_pixels_x(rect.width),
            to_pixels_y(rect.height)};
}

}  // namespace sipcrypt::gui
