#pragma once

#include "core/pad/PadButton.h"

#include <chrono>
#include <optional>
#include <set>

namespace marlit {

// Buttons held together for a while, once: it is due when the last of them has been held for the
// hold time, and again only after one of them was let go.
class HoldCombination
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds kHold{1000};

    explicit HoldCombination(ButtonChord chord) : m_chord(std::move(chord)) {}

    void press(PadButton button, TimePoint now);
    void release(PadButton button);
    void reset();
    // Whether the combination completed by now; true once per completion.
    bool due(TimePoint now);
    std::optional<TimePoint> nextDue() const { return m_fired ? std::nullopt : m_completeAt; }
    // Whether a button of it other than button is held: a press then belongs to the combination.
    bool othersHeld(PadButton button) const;
    const ButtonChord &chord() const { return m_chord; }

private:
    ButtonChord m_chord;
    std::set<PadButton> m_held;
    std::optional<TimePoint> m_completeAt;
    bool m_fired = false;
};

} // namespace marlit
