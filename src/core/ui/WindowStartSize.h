#pragma once

#include <optional>

namespace marlit {

// A width and a height in pixels.
struct PixelSize
{
    int width = 0;
    int height = 0;

    bool operator==(const PixelSize &) const = default;
};

// The client size the window opens at, and the least it may be made, for the screen it opens on.
struct WindowStartSize
{
    PixelSize client;
    PixelSize minimum;

    bool operator==(const WindowStartSize &) const = default;

    // remembered: the stored client size, none on a first start or when it is not remembered.
    // available: the screen's area that windows may take (without panels and docks); frame:
    // what the window manager adds around the client area; minimum: the least client size the
    // window is laid out for.
    //
    // A remembered size is kept where it fits and cut to the available area where it does not
    // (a damaged or hand-edited file may hold 65535 x 65535); a first start takes three quarters
    // of the area each way. Neither goes below the minimum, nor the minimum beyond the area: on
    // a screen smaller than the minimum the whole window still fits.
    static WindowStartSize choose(std::optional<PixelSize> remembered, PixelSize available, PixelSize frame,
                                  PixelSize minimum);
};

} // namespace marlit
