#pragma once

#include "core/metadata/GameList.h"

#include <string>
#include <string_view>

namespace marlit {

// Reads Pegasus' "metadata.pegasus.txt" (or "metadata.txt"): "key: value" lines, a value going on
// over the indented lines after it (a line of only "." is a blank line), "#" comments. "game:"
// starts a game, whose "file:"/"files:" name its ROMs (one per line); "developer:",
// "publisher:", "genre:", "release:" (YYYY-MM-DD), "players:", "rating:" (a percent),
// "summary:", "description:" and "assets.<kind>:" (or "asset.<kind>:") describe it. A game without
// files is matched by its title to a ROM of that file name. The older form, whose games start
// with "file:" and are named by "title:", is read too. Paths are read from the file's folder (ending with
// the separator), "~/" from home.
class PegasusMetadata
{
public:
    static GameList read(std::string_view bytes, const std::string &fileFolder, const std::string &home);

    // The media folders' kind for one of Pegasus' asset names ("box_front", "boxFront",
    // "screenshot", ...); empty for one that is no picture (videos, music).
    static std::string mediaKind(std::string_view assetName);
};

} // namespace marlit
