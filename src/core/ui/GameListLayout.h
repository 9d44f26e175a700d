#pragma once

#include "core/ui/LayoutRect.h"
#include "core/ui/WindowLayout.h"

#include <optional>

namespace marlit {

// Where the controls of a system described by game lists go: the details panel at the right of
// the ROM list, which gives up that room, and the "Sort by" choice at the right end of the search
// row, which the search box gives up. Neither is placed where it would crowd the list or the
// search box below a usable size; the other controls then stay where WindowLayout put them.
struct GameListGeometry
{
    std::optional<LayoutRect> detailsPanel;
    std::optional<LayoutRect> sortLabel;
    std::optional<LayoutRect> sortChoice;
};

class GameListLayout
{
public:
    static constexpr int kMinimumListWidth = 200;
    static constexpr int kMinimumSearchWidth = 60;
    static constexpr int kGap = 10;

    // labelWidth, choiceWidth: what "Sort by" and its choice need to show whole (their longest
    // text in the window's font).
    static GameListGeometry apply(ControlGeometry &controls, int width, int labelWidth, int choiceWidth);
};

} // namespace marlit
