#include "core/ui/BesidePlacement.h"

#include <algorithm>
#include <array>

namespace marlit {

namespace {

constexpr int kGap = 8;

int clampInto(int position, int size, int start, int length)
{
    return std::max(start, std::min(position, start + length - size));
}

} // namespace

LayoutRect placeBeside(const LayoutRect &window, PixelSize wanted, PixelSize minimum, const LayoutRect &screen)
{
    const int width = std::min(wanted.width, screen.width);
    const int height = std::min(wanted.height, screen.height);
    const int screenRight = screen.x + screen.width;
    const int screenBottom = screen.y + screen.height;
    // The room on each side of the window, and where the placed window would start there.
    struct Side
    {
        int room;
        bool horizontal;
        bool before;
    };
    const std::array<Side, 4> sides{{
        {screenRight - (window.x + window.width) - kGap, true, false},
        {window.x - screen.x - kGap, true, true},
        {screenBottom - (window.y + window.height) - kGap, false, false},
        {window.y - screen.y - kGap, false, true},
    }};
    const auto placeOn = [&](const Side &side, int length) {
        if (side.horizontal) {
            const int x = side.before ? window.x - kGap - length : window.x + window.width + kGap;
            return LayoutRect{x, clampInto(window.y, height, screen.y, screen.height), length, height};
        }
        const int y = side.before ? window.y - kGap - length : window.y + window.height + kGap;
        return LayoutRect{clampInto(window.x, width, screen.x, screen.width), y, width, length};
    };
    for (const Side &side : sides)
        if (side.room >= (side.horizontal ? width : height))
            return placeOn(side, side.horizontal ? width : height);
    const Side &roomiest =
        *std::max_element(sides.begin(), sides.end(), [](const Side &a, const Side &b) { return a.room < b.room; });
    if (roomiest.room >= (roomiest.horizontal ? minimum.width : minimum.height))
        return placeOn(roomiest, roomiest.room);
    // No side has room: the screen's right edge, over the window's.
    return LayoutRect{screenRight - width, clampInto(window.y, height, screen.y, screen.height), width, height};
}

} // namespace marlit
