#include "core/pad/HoldCombination.h"

namespace marlit {

void HoldCombination::press(PadButton button, TimePoint now)
{
    if (!m_chord.contains(button) || !m_held.insert(button).second)
        return;
    if (m_held.size() == m_chord.buttons.size())
        m_completeAt = now + kHold;
}

void HoldCombination::release(PadButton button)
{
    if (m_held.erase(button) == 0)
        return;
    m_completeAt.reset();
    m_fired = false;
}

void HoldCombination::reset()
{
    m_held.clear();
    m_completeAt.reset();
    m_fired = false;
}

bool HoldCombination::due(TimePoint now)
{
    if (m_fired || !m_completeAt || now < *m_completeAt)
        return false;
    m_fired = true;
    return true;
}

bool HoldCombination::othersHeld(PadButton button) const
{
    for (const PadButton held : m_held)
        if (held != button)
            return true;
    return false;
}

} // namespace marlit
