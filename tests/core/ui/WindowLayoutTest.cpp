#include "core/ui/WindowLayout.h"
#include "core/catalogue/SystemEntry.h"
#include "core/ui/GameListLayout.h"
#include "core/ui/SnapshotLayout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <tuple>

#include <climits>
#include <optional>
#include <ostream>

namespace marlit {

// Failures print rectangles as x, y, width, height and areas as left, top, right, bottom.
void PrintTo(const LayoutRect &r, std::ostream *out)
{
    *out << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}

void PrintTo(const LayoutArea &a, std::ostream *out)
{
    *out << "[" << a.left << ", " << a.top << ", " << a.right << ", " << a.bottom << "]";
}

} // namespace marlit

namespace {

using marlit::ControlGeometry;
using marlit::LayoutArea;
using marlit::LayoutRect;
using marlit::SnapshotGeometry;
using marlit::SnapshotLayout;
using marlit::SystemEntry;
using marlit::WindowLayout;

// What the previous layout left, to see which rectangle a layout leaves alone.
SnapshotGeometry previousGeometry()
{
    SnapshotGeometry previous;
    previous.rectA = LayoutRect{-1, -2, -3, -4};
    previous.rectB = LayoutRect{-5, -6, -7, -8};
    return previous;
}

struct LayoutCase
{
    int width;
    int height;
    int mode;
    int pictures;
    int snapshotWidth;
    int snapshotHeight;
    LayoutArea area;
    std::optional<LayoutRect> rectA; // nullopt: keeps the previous value
    std::optional<LayoutRect> rectB;
    LayoutRect romList;
};

TEST(WindowLayoutTest, WorkedValues)
{
    const LayoutCase cases[] = {
        // Below the ROM list.
        {800,
         600,
         1,
         2,
         252,
         190,
         {235, 410, 800, 600},
         LayoutRect{260, 410, 252, 180},
         LayoutRect{522, 410, 252, 180},
         {235, 50, 555, 320}},
        {800,
         600,
         1,
         1,
         252,
         190,
         {235, 410, 800, 600},
         LayoutRect{391, 410, 252, 180},
         std::nullopt,
         {235, 50, 555, 320}},
        // Too narrow for two cells of a third of the height: the width decides.
        {640,
         900,
         1,
         2,
         197,
         147,
         {235, 753, 640, 900},
         LayoutRect{235, 753, 197, 137},
         LayoutRect{442, 753, 197, 137},
         {235, 50, 395, 663}},
        // Right of the ROM list.
        {800,
         600,
         2,
         2,
         200,
         150,
         {600, 50, 800, 600},
         LayoutRect{600, 150, 190, 150},
         LayoutRect{600, 310, 190, 150},
         {235, 50, 355, 510}},
        {800,
         600,
         2,
         1,
         200,
         150,
         {600, 50, 800, 600},
         LayoutRect{600, 250, 190, 150},
         std::nullopt,
         {235, 50, 355, 510}},
        // Too low for two cells of a quarter of the width: the height decides.
        {1200,
         500,
         2,
         2,
         264,
         200,
         {936, 50, 1200, 500},
         LayoutRect{936, 50, 254, 200},
         LayoutRect{936, 260, 254, 200},
         {235, 50, 691, 410}},
        // No snapshots: the column is computed but the ROM list keeps its full size.
        {800,
         600,
         0,
         2,
         200,
         150,
         {600, 50, 800, 600},
         LayoutRect{600, 150, 190, 150},
         LayoutRect{600, 310, 190, 150},
         {235, 50, 555, 510}},
        {800,
         600,
         0,
         1,
         200,
         150,
         {600, 50, 800, 600},
         LayoutRect{600, 250, 190, 150},
         std::nullopt,
         {235, 50, 555, 510}},
        // A mode from an edited settings file is treated like mode 0.
        {800,
         600,
         7,
         2,
         200,
         150,
         {600, 50, 800, 600},
         LayoutRect{600, 150, 190, 150},
         LayoutRect{600, 310, 190, 150},
         {235, 50, 555, 510}},
        {800,
         600,
         -1,
         1,
         200,
         150,
         {600, 50, 800, 600},
         LayoutRect{600, 250, 190, 150},
         std::nullopt,
         {235, 50, 555, 510}},
        // No pictures: an empty area, and the ROM list keeps its full size in every mode.
        {800, 600, 0, 0, 0, 0, {800, 600, 800, 600}, std::nullopt, std::nullopt, {235, 50, 555, 510}},
        {800, 600, 1, 0, 0, 0, {800, 600, 800, 600}, std::nullopt, std::nullopt, {235, 50, 555, 510}},
        {800, 600, 2, 0, 0, 0, {800, 600, 800, 600}, std::nullopt, std::nullopt, {235, 50, 555, 510}},
        // A tiny window makes values negative; division truncates toward zero, not down.
        {200,
         20,
         1,
         2,
         -22,
         -15,
         {235, 35, 200, 20},
         LayoutRect{235, 35, -22, -25},
         LayoutRect{223, 35, -22, -25},
         {235, 50, -45, -55}},
    };
    const SnapshotGeometry previous = previousGeometry();
    for (const LayoutCase &c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.width << "x" << c.height << " mode " << c.mode << " pictures " << c.pictures);
        const SnapshotGeometry g = SnapshotLayout::compute(c.width, c.height, c.mode, c.pictures, false, previous);
        EXPECT_EQ(g.pictureCount, c.pictures);
        EXPECT_EQ(g.snapshotWidth, c.snapshotWidth);
        EXPECT_EQ(g.snapshotHeight, c.snapshotHeight);
        EXPECT_EQ(g.snapshotArea, c.area);
        EXPECT_EQ(g.rectA, c.rectA.value_or(previous.rectA));
        EXPECT_EQ(g.rectB, c.rectB.value_or(previous.rectB));
        EXPECT_EQ(WindowLayout::compute(c.width, c.height, c.mode, g).romList, c.romList);
    }
}

TEST(WindowLayoutTest, SinglePictureInSlotBTakesTheSinglePlace)
{
    struct Case
    {
        int mode;
        LayoutRect single;
    };
    const Case cases[] = {{1, {391, 410, 252, 180}}, {2, {600, 250, 190, 150}}, {0, {600, 250, 190, 150}}};
    const SnapshotGeometry previous = previousGeometry();
    for (const Case &c : cases) {
        const SnapshotGeometry g = SnapshotLayout::compute(800, 600, c.mode, 1, true, previous);
        EXPECT_EQ(g.rectB, c.single) << "mode " << c.mode;
        EXPECT_EQ(g.rectA, previous.rectA) << "mode " << c.mode;
    }
    // With two pictures each slot keeps its own place.
    const SnapshotGeometry two = SnapshotLayout::compute(800, 600, 1, 2, true, previous);
    EXPECT_EQ(two.rectA, (LayoutRect{260, 410, 252, 180}));
    EXPECT_EQ(two.rectB, (LayoutRect{522, 410, 252, 180}));
}

TEST(WindowLayoutTest, ControlsAt800x600)
{
    struct Case
    {
        int mode;
        int pictures;
        int searchRow;
    };
    const Case cases[] = {{0, 2, 570}, {2, 2, 570}, {1, 2, 380}, {1, 1, 380}, {1, 0, 570}};
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " pictures " << c.pictures);
        const SnapshotGeometry g = SnapshotLayout::compute(800, 600, c.mode, c.pictures, false, SnapshotGeometry{});
        const ControlGeometry controls = WindowLayout::compute(800, 600, c.mode, g);
        EXPECT_EQ(controls.folderTree, (LayoutRect{10, 294, 215, 296}));
        EXPECT_EQ(controls.playButton, (LayoutRect{283, 10, 120, 30}));
        EXPECT_EQ(controls.setupButton, (LayoutRect{451, 10, 120, 30}));
        EXPECT_EQ(controls.configButton, (LayoutRect{619, 10, 120, 30}));
        EXPECT_EQ(controls.filterModeButton, (LayoutRect{235, c.searchRow, 80, 20}));
        EXPECT_EQ(controls.searchEdit, (LayoutRect{325, c.searchRow, 395, 20}));
        EXPECT_EQ(controls.applyButton, (LayoutRect{730, c.searchRow, 60, 20}));
    }
}

TEST(WindowLayoutTest, ButtonGapTruncatesTowardZeroInANarrowWindow)
{
    // (500 - 605) / 4 is -26 in the layout's arithmetic, not the -27 of rounding down.
    const ControlGeometry controls = WindowLayout::compute(500, 400, 0, SnapshotGeometry{});
    EXPECT_EQ(controls.playButton.x, 209);
    EXPECT_EQ(controls.setupButton.x, 303);
    EXPECT_EQ(controls.configButton.x, 397);
}

TEST(SnapshotLayoutTest, PictureCountFromTheSystemEntry)
{
    struct Case
    {
        const char *dirA;
        const char *dirB;
        const char *defaultSnapshot;
        int count;
        bool singleInB;
        std::optional<int> defaultSlot;
    };
    constexpr int A = SnapshotLayout::kSlotA;
    constexpr int B = SnapshotLayout::kSlotB;
    const std::optional<int> none;
    const Case cases[] = {
        {"", "", "", 0, false, none},      {"/a/", "", "", 1, false, none},         {"", "/b/", "", 1, true, none},
        {"", "", "d.png", 1, false, A},    {"/a/", "/b/", "", 2, false, none},      {"/a/", "", "d.png", 2, false, B},
        {"", "/b/", "d.png", 2, false, A}, {"/a/", "/b/", "d.png", 2, false, none},
    };
    for (const Case &c : cases) {
        SystemEntry entry;
        entry.snapshotDirA = c.dirA;
        entry.snapshotDirB = c.dirB;
        entry.defaultSnapshot = c.defaultSnapshot;
        EXPECT_EQ(SnapshotLayout::pictureCount(&entry), c.count) << c.dirA << "|" << c.dirB << "|" << c.defaultSnapshot;
        EXPECT_EQ(SnapshotLayout::singlePictureInSlotB(&entry), c.singleInB)
            << c.dirA << "|" << c.dirB << "|" << c.defaultSnapshot;
        EXPECT_EQ(SnapshotLayout::defaultSnapshotSlot(&entry), c.defaultSlot)
            << c.dirA << "|" << c.dirB << "|" << c.defaultSnapshot;
    }
    EXPECT_EQ(SnapshotLayout::defaultSnapshotSlot(nullptr), std::nullopt);
    EXPECT_EQ(SnapshotLayout::pictureCount(nullptr), 0);
    EXPECT_FALSE(SnapshotLayout::singlePictureInSlotB(nullptr));
}

TEST(SnapshotLayoutTest, OutOfRangeInputsGiveASafeResult)
{
    // A count beyond two is laid out as two; a negative one as none.
    EXPECT_EQ(SnapshotLayout::compute(800, 600, 1, 5, false, {}).rectB, (LayoutRect{522, 410, 252, 180}));
    EXPECT_EQ(SnapshotLayout::compute(800, 600, 1, -3, false, {}).snapshotArea, (LayoutArea{800, 600, 800, 600}));
    // Extreme sizes are clamped before any arithmetic, so nothing overflows: every coordinate
    // stays within a few times the clamp (2^24) instead of wrapping to the far end of int.
    constexpr long long kBound = 8LL << 24;
    const auto bounded = [&](const LayoutRect &r) {
        return std::llabs(r.x) <= kBound && std::llabs(r.y) <= kBound && std::llabs(r.width) <= kBound &&
               std::llabs(r.height) <= kBound;
    };
    for (const auto &[width, height, mode] :
         {std::tuple{INT_MAX, INT_MIN, 1}, {INT_MIN, INT_MAX, 2}, {INT_MAX, INT_MAX, 1}, {INT_MAX, INT_MAX, 2}}) {
        SCOPED_TRACE(::testing::Message() << width << " x " << height << " mode " << mode);
        const SnapshotGeometry g = SnapshotLayout::compute(width, height, mode, 2, false, {});
        EXPECT_TRUE(bounded(g.rectA) && bounded(g.rectB));
        const ControlGeometry c = WindowLayout::compute(width, height, mode, g);
        for (const LayoutRect &r : {c.folderTree, c.romList, c.playButton, c.setupButton, c.configButton,
                                    c.filterModeButton, c.searchEdit, c.applyButton})
            EXPECT_TRUE(bounded(r)) << r.x << "," << r.y << " " << r.width << "x" << r.height;
    }
}

} // namespace

// The details panel and "Sort by" of a described system: in each snapshot mode and size the panel
// stands right of the narrowed list and left of the picture column, and what would crowd the list
// or the search box below a usable size is left out.
TEST(GameListLayoutTest, PanelAndSortChoiceStayClearInEveryModeAndSize)
{
    using marlit::GameListLayout;
    const struct
    {
        int mode, width, height;
        bool panel, sort;
    } cases[] = {
        {0, 1000, 700, true, true}, {1, 1000, 700, true, true}, {2, 1000, 700, true, true},
        {2, 640, 480, false, true}, {0, 640, 480, true, true},  {1, 400, 300, false, false},
    };
    for (const auto &test : cases) {
        const marlit::SnapshotGeometry snapshots =
            marlit::SnapshotLayout::compute(test.width, test.height, test.mode, 2, false, {});
        const marlit::ControlGeometry before =
            marlit::WindowLayout::compute(test.width, test.height, test.mode, snapshots);
        marlit::ControlGeometry controls = before;
        const marlit::GameListGeometry placed = GameListLayout::apply(controls, test.width, 45, 100);
        const std::string what = std::to_string(test.mode) + " " + std::to_string(test.width);
        ASSERT_EQ(placed.detailsPanel.has_value(), test.panel) << what;
        ASSERT_EQ(placed.sortChoice.has_value(), test.sort) << what;
        if (placed.detailsPanel) {
            const marlit::LayoutRect &panel = *placed.detailsPanel;
            EXPECT_GE(controls.romList.width, GameListLayout::kMinimumListWidth) << what;
            EXPECT_EQ(controls.romList.x + controls.romList.width + GameListLayout::kGap, panel.x) << what;
            EXPECT_EQ(panel.x + panel.width, before.romList.x + before.romList.width) << what;
            if (test.mode == 2) {
                EXPECT_LE(panel.x + panel.width, snapshots.snapshotArea.left) << what;
            } else if (test.mode == 1) {
                EXPECT_LE(panel.y + panel.height, snapshots.snapshotArea.top) << what;
            }
        } else {
            EXPECT_EQ(controls.romList.width, before.romList.width) << what;
        }
        if (placed.sortChoice) {
            EXPECT_GE(controls.searchEdit.width, GameListLayout::kMinimumSearchWidth) << what;
            EXPECT_LT(controls.applyButton.x + controls.applyButton.width, placed.sortLabel->x) << what;
            EXPECT_EQ(placed.sortChoice->x + placed.sortChoice->width, test.width - GameListLayout::kGap) << what;
        } else {
            EXPECT_EQ(controls.searchEdit.width, before.searchEdit.width) << what;
        }
    }
}
