#pragma once

#include "core/ui/LayoutRect.h"

#include <optional>

namespace marlit {

struct SystemEntry;

// Where the snapshot pictures go for a client size, a snapshot mode and the number of pictures.
struct SnapshotGeometry
{
    int pictureCount = 0; // n: 0, 1 or 2
    int snapshotWidth = 0;
    int snapshotHeight = 0;
    LayoutArea snapshotArea;
    LayoutRect rectA;
    LayoutRect rectB;
};

class SnapshotLayout
{
public:
    // The two picture slots, A and B.
    static constexpr int kSlotA = 0;
    static constexpr int kSlotB = 1;

    // n from the system's entry (not from the pictures loaded): one for snapshot folder A, one
    // for folder B, and while that makes fewer than two, one for the default picture. No entry: 0.
    static int pictureCount(const SystemEntry *entry);

    // True when the system's one picture is in slot B: folder B set, folder A and default empty.
    static bool singlePictureInSlotB(const SystemEntry *entry);

    // The slot that shows the system's default picture: the one whose snapshot folder is not
    // set, A before B. None when both folders are set, there is no default picture or no entry.
    static std::optional<int> defaultSnapshotSlot(const SystemEntry *entry);

    // The geometry for client size width x height. With one picture the single place is given
    // to rectA, or to rectB when singleInB is set; the other rectangle keeps its previous value.
    static SnapshotGeometry compute(int width, int height, int mode, int pictureCount, bool singleInB,
                                    const SnapshotGeometry &previous);
};

} // namespace marlit
