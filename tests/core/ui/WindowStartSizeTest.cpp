#include "core/ui/WindowStartSize.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

namespace marlit {

void PrintTo(const PixelSize &size, std::ostream *out)
{
    *out << size.width << " x " << size.height;
}

void PrintTo(const WindowStartSize &size, std::ostream *out)
{
    *out << "client ";
    PrintTo(size.client, out);
    *out << ", minimum ";
    PrintTo(size.minimum, out);
}

} // namespace marlit

namespace {

using marlit::PixelSize;
using marlit::WindowStartSize;

constexpr PixelSize kMinimum{640, 480};
constexpr PixelSize kFrame{2, 24}; // a thin border and a caption

struct StartCase
{
    const char *what;
    std::optional<PixelSize> remembered;
    PixelSize available;
    WindowStartSize expected;
};

TEST(WindowStartSize, RememberedSizeFitsTheScreenAndAFirstStartSuitsIt)
{
    const StartCase cases[] = {
        {"remembered, fits", PixelSize{800, 600}, {1024, 740}, {{800, 600}, kMinimum}},
        {"remembered, exactly the room", PixelSize{1022, 716}, {1024, 740}, {{1022, 716}, kMinimum}},
        {"remembered from a damaged file", PixelSize{65535, 65535}, {1024, 740}, {{1022, 716}, kMinimum}},
        {"remembered, too wide only", PixelSize{3000, 500}, {1920, 1050}, {{1918, 500}, kMinimum}},
        {"remembered below the minimum (closed minimised)", PixelSize{0, 0}, {1024, 740}, {{640, 480}, kMinimum}},
        // At twice the pixels a 1600 x 1000 screen is 800 x 500 to the window, a 1024 x 768 one
        // 512 x 384: the window and its minimum shrink to the room there is.
        {"doubled pixels, size from a single-density run", PixelSize{1600, 960}, {800, 500}, {{798, 476}, {640, 476}}},
        {"doubled pixels, screen below the minimum", PixelSize{800, 600}, {512, 384}, {{510, 360}, {510, 360}}},
        {"first start", std::nullopt, {1024, 740}, {{765, 537}, kMinimum}},
        {"first start, large screen", std::nullopt, {2560, 1400}, {{1917, 1032}, kMinimum}},
        {"first start, small screen", std::nullopt, {800, 570}, {{640, 480}, kMinimum}},
        {"first start, tiny screen", std::nullopt, {320, 240}, {{318, 216}, {318, 216}}},
        {"no room at all", PixelSize{800, 600}, {0, 0}, {{1, 1}, {1, 1}}},
    };
    for (const StartCase &c : cases)
        EXPECT_EQ(WindowStartSize::choose(c.remembered, c.available, kFrame, kMinimum), c.expected) << c.what;
}

} // namespace

#include "core/ui/BesidePlacement.h"

namespace {

// The first-start offer beside the window: never over it while a side of the screen has room.
TEST(BesidePlacement, GoesWhereItFitsWithoutCoveringTheWindow)
{
    using marlit::LayoutRect;
    const LayoutRect screen{0, 0, 1920, 1080};
    const marlit::PixelSize wanted{600, 400};
    const marlit::PixelSize minimum{320, 200};
    struct Case
    {
        const char *name;
        LayoutRect window;
        LayoutRect expected;
    } cases[] = {
        {"room on the right", {100, 100, 800, 600}, {908, 100, 600, 400}},
        {"room on the left only", {700, 100, 1200, 600}, {92, 100, 600, 400}},
        {"room below only", {0, 0, 1920, 500}, {0, 508, 600, 400}},
        {"narrowed to the roomiest side", {400, 0, 1150, 1080}, {0, 0, 392, 400}},
        {"maximised: at the screen's edge", {0, 0, 1920, 1080}, {1320, 0, 600, 400}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(marlit::placeBeside(c.window, wanted, minimum, screen), c.expected) << c.name;
    EXPECT_EQ(marlit::placeBeside({100, 100, 200, 200}, {3000, 2000}, minimum, screen),
              (LayoutRect{308, 0, 1612, 1080}));
}

} // namespace
