#pragma once

#include "core/catalogue/EmulatorPreset.h"
#include "core/catalogue/SystemEntry.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marlit {

// Which files of a system's ROM folders are its games, as wildcard patterns ("*.cue *.m3u").
// The system's own "File Types:" text when it has one (kept in its values: empty lists every
// file), else what the known emulators say: the preset whose program the system starts, and of
// its systems the one with the system's parameters (and, among several, its description); where
// that does not tell one system, the types of all it could be. Unknown: every file.
class SystemFileTypes
{
public:
    static constexpr std::string_view kKey = "file-types";

    // The patterns of a "File Types:" text: words apart by blanks, commas or semicolons; a bare
    // extension ("cue", ".cue") stands for "*.cue".
    static std::vector<std::string> patterns(std::string_view text);
    // The text the known emulators give entry, or nothing when none of them starts it.
    static std::optional<std::string> fromPresets(const SystemEntry &entry, const std::vector<EmulatorPreset> &presets);
    // The text in force for entry: its own, else the presets', else empty (every file).
    static std::string text(const SystemEntry &entry, const std::vector<EmulatorPreset> &presets);
};

} // namespace marlit
