#include "core/pad/DirectionRepeat.h"

#include <cstdlib>

namespace marlit {

std::optional<PadAction> DirectionRepeat::stickDirection(int x, int y)
{
    if (std::abs(x) <= kStickDeadZone && std::abs(y) <= kStickDeadZone)
        return std::nullopt;
    if (std::abs(y) >= std::abs(x))
        return y < 0 ? PadAction::Up : PadAction::Down; // SDL's y grows downwards
    return x < 0 ? PadAction::Left : PadAction::Right;
}

bool DirectionRepeat::hold(std::optional<PadAction> direction, TimePoint now)
{
    if (direction == m_direction)
        return false;
    m_direction = direction;
    m_next = now + kDelay;
    return direction.has_value();
}

bool DirectionRepeat::repeatDue(TimePoint now)
{
    if (!m_direction || now < m_next)
        return false;
    m_next = std::max(m_next + kInterval, now);
    return true;
}

} // namespace marlit
