#pragma once

#include "core/pad/DirectionRepeat.h"
#include "core/pad/HoldCombination.h"
#include "core/pad/PadActionTable.h"

#include <chrono>
#include <optional>
#include <vector>

namespace marlit {

// Turns what the controllers report into the program's actions: a button acts when pressed, a
// held direction (D-pad or left stick) repeats with delay and interval, the triggers count as
// pressed past half their travel, and the end-game combination acts once it has been held long
// enough. A button of the combination pressed while another of it is held does nothing of its own.
class PadInterpreter
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    enum class Axis { LeftX, LeftY, LeftTrigger, RightTrigger };
    static constexpr int kTriggerThreshold = 16384;

    explicit PadInterpreter(ButtonChord endGame);

    std::vector<PadAction> press(PadButton button, TimePoint now);
    std::vector<PadAction> release(PadButton button, TimePoint now);
    std::vector<PadAction> moveAxis(Axis axis, int value, TimePoint now);
    // What fell due by now: a repeat of the held direction, the completed combination.
    std::vector<PadAction> advance(TimePoint now);
    // When advance has something to give next, if ever.
    std::optional<TimePoint> nextWake() const;
    // Everything let go: a controller was unplugged, or the program stops listening for a while.
    void reset();

private:
    std::vector<PadAction> followDirection(TimePoint now);

    HoldCombination m_endGame;
    DirectionRepeat m_repeat;
    std::vector<PadAction> m_heldDirections; // of the D-pad, the latest last
    std::optional<PadAction> m_stick;
    int m_stickX = 0;
    int m_stickY = 0;
    bool m_leftTrigger = false;
    bool m_rightTrigger = false;
};

} // namespace marlit
