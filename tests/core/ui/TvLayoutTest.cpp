#include "core/ui/TvLayout.h"
#include "core/ui/TvLetterPad.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using marlit::LayoutRect;
using marlit::TvGeometry;
using marlit::TvLayout;
using marlit::TvLetterPad;

namespace {

bool inside(const LayoutRect &rect, int width, int height)
{
    return rect.x >= 0 && rect.y >= 0 && rect.width > 0 && rect.height > 0 && rect.x + rect.width <= width &&
           rect.y + rect.height <= height;
}

bool apart(const LayoutRect &a, const LayoutRect &b)
{
    return a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y || b.y + b.height <= a.y;
}

TEST(TvLayoutTest, PartsStayOnTheScreenApartAndScaleWithIt)
{
    struct Case
    {
        int width, height;
        int gamePixels; // read from three metres: 30 px on a 720-line screen, three times on 4K
    } const cases[] = {
        {1280, 720, 30}, {1920, 1080, 45}, {3840, 2160, 90}, {1024, 768, 24}, // narrower than 16:9: the width decides
        {640, 480, 15},
    };
    for (const Case &c : cases) {
        const TvGeometry g = TvLayout::compute(c.width, c.height);
        const LayoutRect parts[] = {g.systems, g.views, g.games, g.picture, g.hints};
        for (const LayoutRect &part : parts)
            EXPECT_TRUE(inside(part, c.width, c.height)) << c.width << "x" << c.height;
        for (std::size_t i = 0; i < std::size(parts); ++i)
            for (std::size_t j = i + 1; j < std::size(parts); ++j)
                EXPECT_TRUE(apart(parts[i], parts[j])) << c.width << "x" << c.height << " parts " << i << "," << j;
        EXPECT_EQ(g.gamePixels, c.gamePixels) << c.width << "x" << c.height;
        // Type and the focus frame fit their rows.
        EXPECT_LT(g.gamePixels, g.gameRowHeight);
        EXPECT_LT(g.titlePixels + g.smallPixels, g.systems.height);
        EXPECT_LT(g.titlePixels, g.views.height);
        EXPECT_GE(g.focusFrame, 1);
        // The letters' panel (ten keys and margins) fits across the screen.
        EXPECT_LE(g.letterCell * TvLetterPad::kColumns + 2 * g.margin, c.width);
        EXPECT_LE(g.letterCell * 6 + 3 * g.margin, c.height);
    }
}

TEST(TvLetterPadTest, ArrowsWrapAndKeepTheColumnAcrossWideKeys)
{
    struct Step
    {
        TvLetterPad::Move move;
        const char *key;
    } const steps[] = {
        {TvLetterPad::Move::Left, "J"},   // wraps to the row's end
        {TvLetterPad::Move::Right, "A"},  // and back
        {TvLetterPad::Move::Up, "Space"}, // wraps to the last row
        {TvLetterPad::Move::Right, "Delete"}, {TvLetterPad::Move::Right, "Clear"},
        {TvLetterPad::Move::Right, "Done"},   {TvLetterPad::Move::Right, "Space"},
        {TvLetterPad::Move::Left, "Done"},    {TvLetterPad::Move::Up, "8"}, // the wide key's first column
        {TvLetterPad::Move::Down, "Done"},    {TvLetterPad::Move::Down, "I"},
    };
    TvLetterPad pad;
    pad.reset("");
    for (const Step &step : steps) {
        pad.move(step.move);
        EXPECT_EQ(TvLetterPad::keyText(pad.current()), step.key);
    }
}

TEST(TvLetterPadTest, KeysTypeDeleteClearAndFinish)
{
    TvLetterPad pad;
    pad.reset("ZE");
    EXPECT_FALSE(pad.press()); // "A"
    pad.move(TvLetterPad::Move::Up);
    EXPECT_FALSE(pad.press()); // "Space"
    EXPECT_EQ(pad.text(), "ZEA ");
    pad.move(TvLetterPad::Move::Right);
    EXPECT_FALSE(pad.press()); // "Delete"
    EXPECT_FALSE(pad.press());
    EXPECT_EQ(pad.text(), "ZE");
    pad.type("lda");
    EXPECT_EQ(pad.text(), "ZElda");
    pad.move(TvLetterPad::Move::Right);
    EXPECT_FALSE(pad.press()); // "Clear"
    EXPECT_EQ(pad.text(), "");
    EXPECT_FALSE(pad.press()); // nothing to clear
    pad.move(TvLetterPad::Move::Right);
    EXPECT_TRUE(pad.press()); // "Done"
}

} // namespace
