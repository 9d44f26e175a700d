#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marlit {

// The buttons of a game controller as SDL's game-controller layout names them (an Xbox-style
// pad), the two analogue triggers counted as buttons.
enum class PadButton {
    A,
    B,
    X,
    Y,
    Back,
    Guide,
    Start,
    LeftShoulder,
    RightShoulder,
    DpadUp,
    DpadDown,
    DpadLeft,
    DpadRight,
    LeftTrigger,
    RightTrigger,
};

inline constexpr int kPadButtonCount = 15;

// SDL's own names ("a", "leftshoulder", "dpup", "lefttrigger"...), the ones mapping strings use.
const char *padButtonName(PadButton button);
// The button of that name, ignoring case; nothing for any other text.
std::optional<PadButton> padButtonNamed(std::string_view name);

// Buttons pressed together, written as names joined by '+' ("back+start").
struct ButtonChord
{
    std::vector<PadButton> buttons; // each once, in the order written

    // Nothing when a name is unknown, repeated, or the text is empty; error says why.
    static std::optional<ButtonChord> parse(std::string_view text, std::string *error = nullptr);
    std::string text() const;
    bool contains(PadButton button) const;
};

} // namespace marlit
