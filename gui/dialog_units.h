#pragma once

#include "dialog_template.h"

namespace sipcrypt::gui {

// Dialog units to pixels, as the Windows dialog manager computes them: a
// horizontal unit is a quarter of the font's average letter width (base x),
// a vertical unit an eighth of its height (base y), each result rounded to
// nearest.
class DialogUnits {
  public:
    DialogUnits(int base_x, int base_y) : base_x_(base_x), base_y_(base_y) {}

    // The base units from a font's measures: the width of the 52 letters
    // A-Z a-z together, and the height.
    static DialogUnits from_font_measures(int width_of_52_letters, int height);

    int base_x() const { return base_x_; }
    int base_y() const { return base_y_; }
    int to_pixels_x(int units) const;
    int to_pixels_y(int units) const;
    Rect to_pixels(const Rect& rect) const;

  private:
    int base_x_;
    int base_y_;
};

}  // namespace sipcrypt::gui
