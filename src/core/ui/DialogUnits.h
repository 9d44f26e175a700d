#pragma once

#include "core/ui/LayoutRect.h"

namespace marlit {

// Dialog templates give positions in dialog units: a quarter of the dialog font's average
// character width across, an eighth of its height down. The base units are those two sizes in
// pixels; converting with them lays a dialog out for whatever font it gets.
struct DialogBaseUnits
{
    // The text whose width gives the average character width.
    static constexpr const char *kAverageWidthSample = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

    int width = 0;  // average character width, pixels
    int height = 0; // character height, pixels

    // From the pixel width of kAverageWidthSample in the dialog font and the font's height. The
    // width is the sample's width over its 52 characters, rounded to the nearest pixel.
    static DialogBaseUnits fromFont(int sampleWidth, int fontHeight);

    // x * width / 4 and y * height / 8, rounded to the nearest pixel (halves away from zero).
    int toPixelsX(int x) const;
    int toPixelsY(int y) const;

    // A rectangle in dialog units as pixels. Its edges are converted, not its size, so controls
    // that meet in the template meet on the screen.
    LayoutRect toPixels(const LayoutRect &dialogRect) const;
};

} // namespace marlit
