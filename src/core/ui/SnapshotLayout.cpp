#include "core/ui/SnapshotLayout.h"

#include "core/catalogue/SystemEntry.h"

#include <algorithm>

namespace marlit {

namespace {

// Far beyond any screen, and small enough that no sum or product below can overflow.
constexpr int kSizeLimit = 1 << 24;

int clampSize(int value)
{
    return std::clamp(value, -kSizeLimit, kSizeLimit);
}

} // namespace

int SnapshotLayout::pictureCount(const SystemEntry *entry)
{
    if (!entry)
        return 0;
    int count = entry->snapshotDirA.empty() ? 0 : 1;
    if (!entry->snapshotDirB.empty())
        ++count;
    if (count < 2 && !entry->defaultSnapshot.empty())
        ++count;
    return count;
}

bool SnapshotLayout::singlePictureInSlotB(const SystemEntry *entry)
{
    return entry && entry->snapshotDirA.empty() && !entry->snapshotDirB.empty() && entry->defaultSnapshot.empty();
}

std::optional<int> SnapshotLayout::defaultSnapshotSlot(const SystemEntry *entry)
{
    if (!entry || entry->defaultSnapshot.empty())
        return std::nullopt;
    if (entry->snapshotDirA.empty())
        return kSlotA;
    if (entry->snapshotDirB.empty())
        return kSlotB;
    return std::nullopt;
}

SnapshotGeometry SnapshotLayout::compute(int width, int height, int mode, int pictureCount, bool singleInB,
                                         const SnapshotGeometry &previous)
{
    // Integer division in C++ truncates toward zero, which is what these formulas want even when
    // a small window makes the values negative.
    const int w = clampSize(width);
    const int h = clampSize(height);
    SnapshotGeometry g = previous;
    g.pictureCount = std::clamp(pictureCount, 0, 2);
    g.snapshotArea.right = w;
    g.snapshotArea.bottom = h;

    if (g.pictureCount == 0) {
        g.snapshotArea.left = w;
        g.snapshotArea.top = h;
        g.snapshotWidth = 0;
        g.snapshotHeight = 0;
        return g;
    }

    LayoutRect single; // the place of the first picture, or of the only one
    int &sw = g.snapshotWidth;
    int &sh = g.snapshotHeight;
    if (mode == 1) {
        // A band below the ROM list, the pictures side by side.
        sh = h / 3 - 10;
        sw = (sh / 3) * 4;
        if (2 * sw > w - 245) {
            sw = (w - 245) / 2;
            sh = (sw / 4) * 3;
        }
        g.snapshotArea.left = 235;
        g.snapshotArea.top = h - sh;
        single = LayoutRect{0, g.snapshotArea.top, sw, sh - 10};
        if (g.pictureCount == 1) {
            single.x = (w - 235) / 2 - sw / 2 + 235;
        } else {
            single.x = (w - 235) / 2 - sw + 230;
            g.rectB = LayoutRect{single.x + sw + 10, g.snapshotArea.top, sw, sh - 10};
        }
    } else {
        // A column right of the ROM list, the pictures one above the other. Mode 0 and unknown
        // modes get the same numbers; the caller decides whether anything is drawn.
        sw = w / 4;
        sh = (sw / 4) * 3;
        if (h < 2 * sh + 100) {
            sh = (h - 100) / 2;
            sw = (sh / 3) * 4;
        }
        g.snapshotArea.left = w - sw;
        g.snapshotArea.top = 50;
        single = LayoutRect{g.snapshotArea.left, 0, sw - 10, sh};
        if (g.pictureCount == 1) {
            single.y = (h - 50) / 2 - sh / 2 + 50;
        } else {
            single.y = (h - 100) / 2 - sh + 50;
            g.rectB = LayoutRect{g.snapshotArea.left, single.y + sh + 10, sw - 10, sh};
        }
    }

    // A lone picture that lives in slot B is drawn where a lone picture belongs.
    if (g.pictureCount == 1 && singleInB)
        g.rectB = single;
    else
        g.rectA = single;
    return g;
}

} // namespace marlit
