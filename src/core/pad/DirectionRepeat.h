#pragma once

#include "core/pad/PadActionTable.h"

#include <chrono>
#include <optional>

namespace marlit {

// The delay and repeat of a held direction, as a keyboard repeats a held arrow: one move at the
// press, the next after a delay, then one every interval until it is let go.
class DirectionRepeat
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds kDelay{400};
    static constexpr std::chrono::milliseconds kInterval{80};
    // Of the stick's 32767 either way: worn sticks rest well away from their centre.
    static constexpr int kStickDeadZone = 12000;

    // The direction a stick points to: its farther axis, when past the dead zone.
    static std::optional<PadAction> stickDirection(int x, int y);

    // The direction now held (nothing: none). Gives whether it moves now (a new direction).
    bool hold(std::optional<PadAction> direction, TimePoint now);
    // Whether a repeat is due by now; each call gives at most one, so a late wake-up never
    // moves in a burst.
    bool repeatDue(TimePoint now);
    std::optional<TimePoint> nextDue() const { return m_direction ? std::optional(m_next) : std::nullopt; }
    std::optional<PadAction> direction() const { return m_direction; }

private:
    std::optional<PadAction> m_direction;
    TimePoint m_next;
};

} // namespace marlit
