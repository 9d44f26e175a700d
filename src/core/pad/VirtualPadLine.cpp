#include "core/pad/VirtualPadLine.h"
#include "core/pad/PadText.h"

#include <charconv>

namespace marlit {

std::optional<VirtualPadLine> VirtualPadLine::parse(std::string_view line, std::string *error)
{
    if (error)
        error->clear();
    line = trimmedPadText(line);
    if (line.empty())
        return std::nullopt;
    const std::size_t space = line.find_first_of(" \t");
    VirtualPadLine parsed;
    std::optional<ButtonChord> chord = ButtonChord::parse(line.substr(0, space), error);
    if (!chord)
        return std::nullopt;
    parsed.chord = std::move(*chord);
    if (space != std::string_view::npos) {
        const std::string_view hold = trimmedPadText(line.substr(space));
        long long milliseconds = 0;
        const auto [end, status] = std::from_chars(hold.data(), hold.data() + hold.size(), milliseconds);
        if (status != std::errc() || end != hold.data() + hold.size() || milliseconds < 0 ||
            milliseconds > kLongestHold.count()) {
            if (error)
                *error = "the hold time \"" + std::string(hold) + "\" is not a number of milliseconds from 0 to " +
                         std::to_string(kLongestHold.count());
            return std::nullopt;
        }
        parsed.hold = std::chrono::milliseconds(milliseconds);
    }
    return parsed;
}

} // namespace marlit
