#include "core/pad/PadInterpreter.h"

#include <algorithm>

namespace marlit {

PadInterpreter::PadInterpreter(ButtonChord endGame) : m_endGame(std::move(endGame))
{
}

std::vector<PadAction> PadInterpreter::press(PadButton button, TimePoint now)
{
    const bool partOfCombination = m_endGame.othersHeld(button) && m_endGame.chord().contains(button);
    m_endGame.press(button, now);
    const std::optional<PadAction> action = padActionOf(button);
    if (!action || partOfCombination)
        return {};
    if (isDirection(*action)) {
        std::erase(m_heldDirections, *action);
        m_heldDirections.push_back(*action);
        return followDirection(now);
    }
    return {*action};
}

std::vector<PadAction> PadInterpreter::release(PadButton button, TimePoint now)
{
    m_endGame.release(button);
    const std::optional<PadAction> action = padActionOf(button);
    if (action && isDirection(*action)) {
        std::erase(m_heldDirections, *action);
        return followDirection(now);
    }
    return {};
}

std::vector<PadAction> PadInterpreter::moveAxis(Axis axis, int value, TimePoint now)
{
    const auto trigger = [&](bool &pressed, PadButton button) -> std::vector<PadAction> {
        const bool nowPressed = value >= kTriggerThreshold;
        if (nowPressed == pressed)
            return {};
        pressed = nowPressed;
        return nowPressed ? press(button, now) : release(button, now);
    };
    switch (axis) {
    case Axis::LeftTrigger:
        return trigger(m_leftTrigger, PadButton::LeftTrigger);
    case Axis::RightTrigger:
        return trigger(m_rightTrigger, PadButton::RightTrigger);
    case Axis::LeftX:
        m_stickX = value;
        break;
    case Axis::LeftY:
        m_stickY = value;
        break;
    }
    m_stick = DirectionRepeat::stickDirection(m_stickX, m_stickY);
    return followDirection(now);
}

std::vector<PadAction> PadInterpreter::followDirection(TimePoint now)
{
    const std::optional<PadAction> held = m_heldDirections.empty() ? m_stick : std::optional(m_heldDirections.back());
    if (m_repeat.hold(held, now))
        return {*held};
    return {};
}

std::vector<PadAction> PadInterpreter::advance(TimePoint now)
{
    std::vector<PadAction> due;
    if (m_repeat.repeatDue(now))
        due.push_back(*m_repeat.direction());
    if (m_endGame.due(now))
        due.push_back(PadAction::EndGame);
    return due;
}

std::optional<PadInterpreter::TimePoint> PadInterpreter::nextWake() const
{
    const std::optional<TimePoint> repeat = m_repeat.nextDue();
    const std::optional<TimePoint> combination = m_endGame.nextDue();
    if (repeat && combination)
        return std::min(*repeat, *combination);
    return repeat ? repeat : combination;
}

void PadInterpreter::reset()
{
    m_endGame.reset();
    m_repeat.hold(std::nullopt, {});
    m_heldDirections.clear();
    m_stick.reset();
    m_stickX = m_stickY = 0;
    m_leftTrigger = m_rightTrigger = false;
}

} // namespace marlit
