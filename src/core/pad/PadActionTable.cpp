#include "core/pad/PadActionTable.h"

namespace marlit {

std::optional<PadAction> padActionOf(PadButton button)
{
    switch (button) {
    case PadButton::A:
        return PadAction::Confirm;
    case PadButton::B:
        return PadAction::Back;
    case PadButton::X:
        return PadAction::Search;
    case PadButton::Y:
        return PadAction::Favourite;
    case PadButton::Start:
        return PadAction::Menu;
    case PadButton::LeftShoulder:
        return PadAction::PreviousSystem;
    case PadButton::RightShoulder:
        return PadAction::NextSystem;
    case PadButton::LeftTrigger:
        return PadAction::PreviousCategory;
    case PadButton::RightTrigger:
        return PadAction::NextCategory;
    case PadButton::DpadUp:
        return PadAction::Up;
    case PadButton::DpadDown:
        return PadAction::Down;
    case PadButton::DpadLeft:
        return PadAction::Left;
    case PadButton::DpadRight:
        return PadAction::Right;
    case PadButton::Back:
    case PadButton::Guide:
        break;
    }
    return std::nullopt;
}

bool isDirection(PadAction action)
{
    return action == PadAction::Up || action == PadAction::Down || action == PadAction::Left ||
           action == PadAction::Right;
}

} // namespace marlit
