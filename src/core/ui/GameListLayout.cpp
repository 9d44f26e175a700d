#include "core/ui/GameListLayout.h"

#include <algorithm>

namespace marlit {

GameListGeometry GameListLayout::apply(ControlGeometry &controls, int width, int labelWidth, int choiceWidth)
{
    GameListGeometry geometry;

    // A third of the list, between 180 and 340 pixels.
    LayoutRect &list = controls.romList;
    const int panelWidth = std::clamp(list.width / 3, 180, 340);
    if (list.width - panelWidth - kGap >= kMinimumListWidth) {
        list.width -= panelWidth + kGap;
        geometry.detailsPanel = LayoutRect{list.x + list.width + kGap, list.y, panelWidth, list.height};
    }

    // "Sort by" and its choice, then the Apply button, then what is left for the search box.
    const int row = controls.searchEdit.y;
    const LayoutRect choice{width - kGap - choiceWidth, row, choiceWidth, controls.searchEdit.height};
    const LayoutRect label{choice.x - 5 - labelWidth, row, labelWidth, controls.searchEdit.height};
    const int applyX = label.x - kGap - controls.applyButton.width;
    const int searchWidth = applyX - kGap - controls.searchEdit.x;
    if (searchWidth >= kMinimumSearchWidth) {
        controls.applyButton.x = applyX;
        controls.searchEdit.width = searchWidth;
        geometry.sortLabel = label;
        geometry.sortChoice = choice;
    }
    return geometry;
}

} // namespace marlit
