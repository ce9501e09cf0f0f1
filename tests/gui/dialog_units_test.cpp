#include "gui/dialog_units.h"

#include <gtest/gtest.h>

namespace sipcrypt::gui {
namespace {

TEST(DialogUnits, RoundLikeTheDialogManager) {
    const DialogUnits units(6, 13);
    EXPECT_EQ(units.to_pixels_x(251), 377);  // 376.5 rounds up
    EXPECT_EQ(units.to_pixels_y(329), 535);  // 534.6
    EXPECT_EQ(units.to_pixels(Rect{25, 143, 160, 26}), (Rect{38, 232, 240, 42}));
    EXPECT_EQ(units.to_pixels_x(2), 3);  // 3.0
    EXPECT_EQ(units.to_pixels_x(1), 2);  // 1.5, half away from zero
    EXPECT_EQ(units.to_pixels_y(3), 5);  // 4.875
    EXPECT_EQ(DialogUnits(7, 16).to_pixels(Rect{98, 35, 108, 12}), (Rect{172, 70, 189, 24}));
    // 52 letters 362 pixels wide: 362 / 26 = 13, (13 + 1) / 2 = 7.
    EXPECT_EQ(DialogUnits::from_font_measures(362, 13).base_x(), 7);
    EXPECT_EQ(DialogUnits::from_font_measures(337, 13).base_x(), 6);
}

}  // namespace
}  // namespace sipcrypt::gui
