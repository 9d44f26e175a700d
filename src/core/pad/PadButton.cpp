#include "core/pad/PadButton.h"

#include <algorithm>
#include <cctype>

namespace marlit {

namespace {

constexpr std::array<const char *, kPadButtonCount> kNames = {
    "a",    "b",      "x",      "y",       "back",        "guide",        "start", "leftshoulder", "rightshoulder",
    "dpup", "dpdown", "dpleft", "dpright", "lefttrigger", "righttrigger",
};

bool sameIgnoringCase(std::string_view left, std::string_view right)
{
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace

const char *padButtonName(PadButton button)
{
    return kNames[static_cast<std::size_t>(button)];
}

std::optional<PadButton> padButtonNamed(std::string_view name)
{
    for (std::size_t index = 0; index < kNames.size(); ++index)
        if (sameIgnoringCase(name, kNames[index]))
            return static_cast<PadButton>(index);
    return std::nullopt;
}

std::optional<ButtonChord> ButtonChord::parse(std::string_view text, std::string *error)
{
    const auto fail = [error](std::string why) -> std::optional<ButtonChord> {
        if (error)
            *error = std::move(why);
        return std::nullopt;
    };
    ButtonChord chord;
    while (true) {
        const std::size_t plus = text.find('+');
        const std::string_view name = text.substr(0, plus);
        if (name.empty())
            return fail("a button name is missing");
        const std::optional<PadButton> button = padButtonNamed(name);
        if (!button)
            return fail("no button is called \"" + std::string(name) + "\"");
        if (chord.contains(*button))
            return fail("\"" + std::string(name) + "\" is named twice");
        chord.buttons.push_back(*button);
        if (plus == std::string_view::npos)
            return chord;
        text.remove_prefix(plus + 1);
    }
}

std::string ButtonChord::text() const
{
    std::string joined;
    for (const PadButton button : buttons)
        joined += (joined.empty() ? "" : "+") + std::string(padButtonName(button));
    return joined;
}

bool ButtonChord::contains(PadButton button) const
{
    return std::find(buttons.begin(), buttons.end(), button) != buttons.end();
}

} // namespace marlit
