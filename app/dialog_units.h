#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include "dialog_template.h"

namespace sipcrypt::app {

// Dialog units to pixels, as the Windows dialog manager computes them: a
// horizontal unit is a quarter of the font's average letter width, a
// vertical unit an eighth of its height.
class DialogUnits {
  public:
    DialogUnits(int base_x, int base_y) : base_x_(base_x), base_y_(base_y) {}
    static DialogUnits of_font(const QFont& font);

    int base_x() const { return base_x_; }
    int base_y() const { return base_y_; }
    int to_pixels_x(int units) const;
    int to_pixels_y(int units) const;
    QRect to_pixels(const DialogRect& rect) const;
    QSize to_pixels(int width, int height) const;

  private:
    int base_x_;
    int base_y_;
};

}  // namespace sipcrypt::app
