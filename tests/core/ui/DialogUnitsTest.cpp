#include "core/ui/DialogUnits.h"

#include <gtest/gtest.h>

#include <cstring>

using marlit::DialogBaseUnits;
using marlit::LayoutRect;

namespace {

TEST(DialogUnits, AverageWidthIsTheSampleOver52RoundedToAPixel)
{
    ASSERT_EQ(std::strlen(DialogBaseUnits::kAverageWidthSample), 52u);
    EXPECT_EQ(DialogBaseUnits::fromFont(285, 13).width, 5); // 5.48
    EXPECT_EQ(DialogBaseUnits::fromFont(286, 13).width, 6); // 5.5
    EXPECT_EQ(DialogBaseUnits::fromFont(337, 13).width, 6); // 6.48
    EXPECT_EQ(DialogBaseUnits::fromFont(338, 13).width, 7); // 6.5
    EXPECT_EQ(DialogBaseUnits::fromFont(300, 15).height, 15);
}

// At the base units 6 x 13 of the font the templates were drawn with, the System Configuration
// dialog's icon preview stands at pixel (270, 255), and the dialog's 300 x 199 units are
// 450 x 323 pixels.
TEST(DialogUnits, TemplateRectanglesAtTheirOwnBaseUnits)
{
    const DialogBaseUnits units{6, 13};
    EXPECT_EQ(units.toPixelsX(180), 270);
    EXPECT_EQ(units.toPixelsY(157), 255);
    EXPECT_EQ(units.toPixelsX(300), 450);
    EXPECT_EQ(units.toPixelsY(199), 323);
    // Halves round away from zero: 7 * 6 / 4 = 10.5, 4 * 13 / 8 = 6.5.
    EXPECT_EQ(units.toPixelsX(7), 11);
    EXPECT_EQ(units.toPixelsY(4), 7);
    EXPECT_EQ(units.toPixelsX(-7), -11);
}

// Edges are converted, not sizes: controls that meet in the template meet on the screen, where
// converting each size alone would overlap them (2 units at width 7 are 3.5 pixels).
TEST(DialogUnits, RectanglesThatMeetStayMeeting)
{
    const DialogBaseUnits units{7, 15};
    const LayoutRect left = units.toPixels(LayoutRect{2, 3, 2, 5});
    const LayoutRect right = units.toPixels(LayoutRect{4, 3, 2, 5});
    EXPECT_EQ(left, (LayoutRect{4, 6, 3, 9})); // edges 3.5 -> 4, 7; 5.625 -> 6, 15
    EXPECT_EQ(left.x + left.width, right.x);
    const LayoutRect below = units.toPixels(LayoutRect{2, 8, 2, 5});
    EXPECT_EQ(left.y + left.height, below.y);
}

} // namespace
