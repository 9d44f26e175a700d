#include "core/ui/WindowLayout.h"

#include <algorithm>

namespace marlit {

namespace {

// Far beyond any screen, and small enough that no sum below can overflow.
constexpr int kSizeLimit = 1 << 24;

} // namespace

ControlGeometry WindowLayout::compute(int width, int height, int mode, const SnapshotGeometry &snapshots)
{
    const int cx = std::clamp(width, -kSizeLimit, kSizeLimit);
    const int cy = std::clamp(height, -kSizeLimit, kSizeLimit);
    // Without pictures the snapshot cells take no room, whatever sizes the geometry still holds.
    const bool pictures = snapshots.pictureCount != 0;
    const int sw = pictures ? std::clamp(snapshots.snapshotWidth, -kSizeLimit, kSizeLimit) : 0;
    const int sh = pictures ? std::clamp(snapshots.snapshotHeight, -kSizeLimit, kSizeLimit) : 0;
    // The gap around the three top buttons; negative in a window narrower than 605 pixels.
    const int s = (cx - 605) / 4;
    // The search row stands above the snapshot band in mode 1.
    const int row = cy - 30 - (mode == 1 ? sh : 0);

    ControlGeometry c;
    c.folderTree = LayoutRect{10, 294, 215, cy - 304};
    c.romList = LayoutRect{235, 50, cx - 245 - (mode == 2 ? sw : 0), cy - 90 - (mode == 1 ? sh : 0)};
    c.playButton = LayoutRect{235 + s, 10, 120, 30};
    c.setupButton = LayoutRect{355 + 2 * s, 10, 120, 30};
    c.configButton = LayoutRect{475 + 3 * s, 10, 120, 30};
    c.filterModeButton = LayoutRect{235, row, 80, 20};
    c.searchEdit = LayoutRect{325, row, cx - 405, 20};
    c.applyButton = LayoutRect{cx - 70, row, 60, 20};
    return c;
}

} // namespace marlit
