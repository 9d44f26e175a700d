#include "core/ui/DialogUnits.h"

#include <cstdint>

namespace marlit {

namespace {

// value * numerator / denominator with the product in 64 bits, rounded to the nearest integer
// with halves away from zero. denominator > 0.
int scaleRounded(int value, int numerator, int denominator)
{
    const std::int64_t product = static_cast<std::int64_t>(value) * numerator;
    const std::int64_t half = denominator / 2;
    const std::int64_t result = product >= 0 ? (product + half) / denominator : (product - half) / denominator;
    return static_cast<int>(result);
}

} // namespace

DialogBaseUnits DialogBaseUnits::fromFont(int sampleWidth, int fontHeight)
{
    // Twice the average over 26 and halved again: the platform's rounding to the nearest pixel.
    return DialogBaseUnits{(sampleWidth / 26 + 1) / 2, fontHeight};
}

int DialogBaseUnits::toPixelsX(int x) const
{
    return scaleRounded(x, width, 4);
}

int DialogBaseUnits::toPixelsY(int y) const
{
    return scaleRounded(y, height, 8);
}

LayoutRect DialogBaseUnits::toPixels(const LayoutRect &dialogRect) const
{
    const int left = toPixelsX(dialogRect.x);
    const int top = toPixelsY(dialogRect.y);
    const int right = toPixelsX(dialogRect.x + dialogRect.width);
    const int bottom = toPixelsY(dialogRect.y + dialogRect.height);
    return LayoutRect{left, top, right - left, bottom - top};
}

} // namespace marlit
