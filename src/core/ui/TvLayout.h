#pragma once

#include "core/ui/LayoutRect.h"

namespace marlit {

// Where the TV view puts its parts on a screen, and how large its type is: everything is
// scaled from one unit, a 720-line screen's pixel, so that the view reads the same from the
// sofa on a small and on a 4K television. The parts never overlap and all stay on the screen.
struct TvGeometry
{
    int unit100 = 100; // the unit in hundredths of a pixel
    int margin = 0;
    LayoutRect systems; // the row of every system of every category
    LayoutRect views;   // the row of the system's views ("Games", "Favourites", ...)
    LayoutRect games;   // the list of the shown games
    LayoutRect picture; // the selected game's pictures
    LayoutRect hints;   // what the buttons do
    int systemCardWidth = 0;
    int gameRowHeight = 0;
    int focusFrame = 0; // the width of the focus mark's frame
    // Type sizes in pixels.
    int titlePixels = 0; // a system's name, the views
    int gamePixels = 0;  // a game's name
    int smallPixels = 0; // a category above a system's name, the hints
    int letterCell = 0;  // a key of the on-screen letters
};

class TvLayout
{
public:
    // The layout for a screen of width x height pixels.
    static TvGeometry compute(int width, int height);
    // n units in pixels (at least 1 for n > 0).
    static int scaled(const TvGeometry &geometry, int n);
};

} // namespace marlit
