#pragma once

#include "core/pad/PadButton.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace marlit {

// One line written to the virtual controller's FIFO: buttons pressed together, held for a time,
// then released. "dpdown", "back+start 1500", "a 40".
struct VirtualPadLine
{
    static constexpr std::chrono::milliseconds kDefaultHold{100};
    // Longer holds are a typing slip, not a wish to block the controller for hours.
    static constexpr std::chrono::milliseconds kLongestHold{60'000};

    ButtonChord chord;
    std::chrono::milliseconds hold = kDefaultHold;

    // A trailing CR (a file written on another system) and spaces around are ignored. Nothing for
    // a blank line or a malformed one; error says why for the latter.
    static std::optional<VirtualPadLine> parse(std::string_view line, std::string *error = nullptr);
};

} // namespace marlit
