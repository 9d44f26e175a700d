#pragma once

#include "core/pad/PadButton.h"

#include <optional>

namespace marlit {

// What the program does for a pad button; the window turns each into the key or the action the
// keyboard would use for it.
enum class PadAction {
    Up,
    Down,
    Left,
    Right,
    Confirm,          // a: play, or the dialog's answer
    Back,             // b: back or cancel
    Favourite,        // y
    Search,           // x
    PreviousSystem,   // leftshoulder
    NextSystem,       // rightshoulder
    PreviousCategory, // lefttrigger
    NextCategory,     // righttrigger
    Menu,             // start
    EndGame,          // the end-game combination held long enough
};

// The fixed table of buttons to actions; back and guide have none of their own.
std::optional<PadAction> padActionOf(PadButton button);

// Whether the action is a direction, repeated while held.
bool isDirection(PadAction action);

} // namespace marlit
