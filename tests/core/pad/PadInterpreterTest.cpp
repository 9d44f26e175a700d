#include "core/pad/PadInterpreter.h"
#include "core/pad/PadSettings.h"
#include "core/pad/VirtualPadLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using marlit::ButtonChord;
using marlit::PadAction;
using marlit::PadButton;
using marlit::PadInterpreter;
using marlit::PadSettings;
using marlit::VirtualPadLine;
using namespace std::chrono_literals;

namespace {

TEST(VirtualPadLineTest, ParsesButtonsAndHoldOrSaysWhy)
{
    struct Case
    {
        std::string line;
        std::string chord; // "" when the line is rejected or blank
        int holdMs;
        bool problem;
    };
    const std::vector<Case> cases = {
        {"a", "a", 100, false},
        {"back+start 1500", "back+start", 1500, false},
        {"  DpDown\t40\r", "dpdown", 40, false}, // CR of another system, case, tab
        {"lefttrigger+righttrigger 0", "lefttrigger+righttrigger", 0, false},
        {"", "", 0, false},
        {"   \r", "", 0, false},
        {"a+", "", 0, true},
        {"+a", "", 0, true},
        {"a+a", "", 0, true},
        {"jump", "", 0, true},
        {"a 12ms", "", 0, true},
        {"a -5", "", 0, true},
        {"a 60001", "", 0, true},
        {"a 99999999999999999999", "", 0, true},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.line);
        std::string why;
        const std::optional<VirtualPadLine> parsed = VirtualPadLine::parse(each.line, &why);
        EXPECT_EQ(parsed ? parsed->chord.text() : "", each.chord);
        if (parsed) {
            EXPECT_EQ(parsed->hold, std::chrono::milliseconds(each.holdMs));
        }
        EXPECT_EQ(!why.empty(), each.problem) << why;
    }
}

TEST(PadSettingsTest, EndGameLineReplacesTheDefaultAndBadLinesChangeNothing)
{
    EXPECT_EQ(PadSettings::parse("").endGame.text(), "back+start");
    const PadSettings set = PadSettings::parse("# mine\r\nend-game = guide+a  # both\r\n");
    EXPECT_EQ(set.endGame.text(), "guide+a");
    EXPECT_TRUE(set.problems.empty());
    const PadSettings bad = PadSettings::parse("end-game = back+nothing\nspeed = 3\njust words\n");
    EXPECT_EQ(bad.endGame.text(), "back+start");
    EXPECT_EQ(bad.problems, (std::vector<std::string>{"line 1: no button is called \"nothing\"",
                                                      "line 2: unknown setting \"speed\"", "line 3: no \"=\""}));
    EXPECT_EQ(PadSettings::load("/nonexistent/marlit-pad.txt").endGame.text(), "back+start");
}

// One step of a script: at a time (ms from the start), something happens; the actions it gives.
struct Step
{
    int atMs;
    enum { Press, Release, Axis, Advance } kind;
    PadButton button = PadButton::A;
    PadInterpreter::Axis axis = PadInterpreter::Axis::LeftX;
    int value = 0;
    std::vector<PadAction> expected = {};
};

void play(const std::vector<Step> &script, ButtonChord endGame = {{PadButton::Back, PadButton::Start}})
{
    PadInterpreter pad(std::move(endGame));
    const auto start = std::chrono::steady_clock::time_point{} + 1h;
    for (const Step &step : script) {
        SCOPED_TRACE("step at " + std::to_string(step.atMs) + " ms");
        const auto now = start + std::chrono::milliseconds(step.atMs);
        std::vector<PadAction> got;
        switch (step.kind) {
        case Step::Press:
            got = pad.press(step.button, now);
            break;
        case Step::Release:
            got = pad.release(step.button, now);
            break;
        case Step::Axis:
            got = pad.moveAxis(step.axis, step.value, now);
            break;
        case Step::Advance:
            got = pad.advance(now);
            break;
        }
        EXPECT_EQ(got, step.expected);
    }
}

TEST(PadInterpreterTest, ButtonsActOnPressAndDirectionsRepeatAfterTheDelay)
{
    using A = PadAction;
    play({
        {0, Step::Press, PadButton::A, {}, 0, {A::Confirm}},
        {50, Step::Release, PadButton::A},
        {100, Step::Press, PadButton::DpadDown, {}, 0, {A::Down}},
        {450, Step::Advance}, // the delay is not over
        {500, Step::Advance, {}, {}, 0, {A::Down}},
        {560, Step::Advance},
        {580, Step::Advance, {}, {}, 0, {A::Down}},
        {2000, Step::Advance, {}, {}, 0, {A::Down}},            // a late wake-up moves once, not in a burst
        {2010, Step::Press, PadButton::DpadUp, {}, 0, {A::Up}}, // the latest direction wins
        {2020, Step::Release, PadButton::DpadUp, {}, 0, {A::Down}},
        {2030, Step::Release, PadButton::DpadDown},
        {5000, Step::Advance},
        {5001, Step::Press, PadButton::RightTrigger, {}, 0, {A::NextCategory}},
    });
}

TEST(PadInterpreterTest, StickMovesPastItsDeadZoneAndTriggersPastHalfTheirTravel)
{
    using A = PadAction;
    using X = PadInterpreter::Axis;
    play({
        {0, Step::Axis, {}, X::LeftY, 9000}, // inside the dead zone
        {10, Step::Axis, {}, X::LeftY, 30000, {A::Down}},
        {20, Step::Axis, {}, X::LeftY, 31000}, // still down: no second move
        {30, Step::Axis, {}, X::LeftX, -32768, {A::Left}},
        {40, Step::Axis, {}, X::LeftX, 0, {A::Down}},
        {50, Step::Axis, {}, X::LeftY, -20000, {A::Up}},
        {60, Step::Press, PadButton::DpadRight, {}, 0, {A::Right}}, // the D-pad over the stick
        {70, Step::Release, PadButton::DpadRight, {}, 0, {A::Up}},
        {80, Step::Axis, {}, X::LeftY, 0},
        {500, Step::Advance},
        {510, Step::Axis, {}, X::LeftTrigger, 10000},
        {520, Step::Axis, {}, X::LeftTrigger, 32767, {A::PreviousCategory}},
        {530, Step::Axis, {}, X::LeftTrigger, 30000},
        {540, Step::Axis, {}, X::LeftTrigger, 0},
        {550, Step::Axis, {}, X::LeftTrigger, 20000, {A::PreviousCategory}},
    });
}

TEST(PadInterpreterTest, CombinationEndsTheGameOnceAfterASecondAndItsButtonsDoNothingElse)
{
    using A = PadAction;
    play({
        {0, Step::Press, PadButton::Back},
        {100, Step::Press, PadButton::Start}, // not the menu: Back is held
        {1050, Step::Advance},
        {1100, Step::Advance, {}, {}, 0, {A::EndGame}},
        {3000, Step::Advance}, // once
        {3100, Step::Release, PadButton::Start},
        {3200, Step::Press, PadButton::Start},
        {4100, Step::Advance},
        {4200, Step::Advance, {}, {}, 0, {A::EndGame}}, // again after a release
        {4300, Step::Release, PadButton::Back},
        {4400, Step::Release, PadButton::Start},
        {4500, Step::Press, PadButton::Start, {}, 0, {A::Menu}},
    });
    // Let go before the second is over: nothing.
    play({
        {0, Step::Press, PadButton::Start, {}, 0, {A::Menu}},
        {10, Step::Press, PadButton::Back},
        {900, Step::Release, PadButton::Back},
        {2000, Step::Advance},
    });
    // Another combination, configured: the old one is plain buttons again.
    play(
        {
            {0, Step::Press, PadButton::Guide},
            {10, Step::Press, PadButton::A},
            {20, Step::Press, PadButton::Start, {}, 0, {A::Menu}},
            {1010, Step::Advance, {}, {}, 0, {A::EndGame}},
        },
        {{PadButton::Guide, PadButton::A}});
}

} // namespace
