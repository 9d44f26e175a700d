#pragma once

#include "core/pad/PadButton.h"

#include <string>
#include <string_view>
#include <vector>

namespace marlit {

// The workspace's pad settings, "marlit-pad.txt": lines "name = value", '#' starts a comment.
// Today one name: "end-game", the buttons held together for a second to end the running game
// ("back+start" when not set). A line that cannot be used is named in problems and changes
// nothing; a missing file gives the defaults.
struct PadSettings
{
    static constexpr const char *kFileName = "marlit-pad.txt";
    // The controller mappings of the workspace, in SDL's own format and file (one controller a line).
    static constexpr const char *kMappingFileName = "gamecontrollerdb.txt";

    ButtonChord endGame{{PadButton::Back, PadButton::Start}};
    std::vector<std::string> problems; // "line N: why"

    static PadSettings parse(std::string_view text);
    // At most 64 KB are read: the file is a handful of lines.
    static PadSettings load(const std::string &path);
};

} // namespace marlit
