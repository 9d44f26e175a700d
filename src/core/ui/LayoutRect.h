#pragma once

namespace marlit {

// A rectangle by position and size, in client pixels.
struct LayoutRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const LayoutRect &) const = default;
};

// A region by its edges, in client pixels: right and bottom lie just outside it.
struct LayoutArea
{
    int left = 0, top = 0;
    int right = 0, bottom = 0;

    bool operator==(const LayoutArea &) const = default;
};

} // namespace marlit
