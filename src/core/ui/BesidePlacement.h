#pragma once

#include "core/ui/LayoutRect.h"
#include "core/ui/WindowStartSize.h"

namespace marlit {

// Where a window that works beside the main window (an offer the user answers while using the
// main window) goes: on the screen, next to the main window without covering it, to the right,
// left, below or above, wherever it fits; else on the side with the most room, narrowed or
// lowered to that room down to minimum; only a screen with no such room lets it cover.
LayoutRect placeBeside(const LayoutRect &window, PixelSize wanted, PixelSize minimum, const LayoutRect &screen);

} // namespace marlit
