#pragma once

#include "core/ui/LayoutRect.h"
#include "core/ui/SnapshotLayout.h"

namespace marlit {

// Positions of the controls that follow the client size.
struct ControlGeometry
{
    LayoutRect folderTree;
    LayoutRect romList;
    LayoutRect playButton;
    LayoutRect setupButton;
    LayoutRect configButton;
    LayoutRect filterModeButton;
    LayoutRect searchEdit;
    LayoutRect applyButton;
};

class WindowLayout
{
public:
    // The controls for client size width x height, snapshot mode and the snapshot geometry just
    // computed for them.
    static ControlGeometry compute(int width, int height, int mode, const SnapshotGeometry &snapshots);
};

} // namespace marlit
