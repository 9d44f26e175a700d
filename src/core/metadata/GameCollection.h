#pragma once

#include "core/metadata/GameList.h"
#include "core/metadata/MediaIndex.h"

#include <string>
#include <string_view>
#include <vector>

namespace marlit {

// Everything other front-ends' files say of one system's games: the descriptions of its game
// lists merged (earlier places first), the pictures of its media folders, which files and folders
// were found and what was wrong with them. Made once on a worker and then only read.
struct GameCollection
{
    std::string romFolder; // the system's ROM folder, ending with the separator
    GameList games;
    MediaIndex media;
    std::vector<std::string> foundFiles;   // the game lists read, in the order of their places
    std::vector<std::string> foundFolders; // the media folders read
    std::vector<std::string> problems;     // "<file>: <what was wrong>", for the user
    bool hasPictures = false;              // a media folder has some, or a game names one
    // Every picture a game names, sorted: in a ROM folder too (Batocera's "./images/"), where
    // they are no games.
    std::vector<std::string_view> namedPictures;

    bool empty() const { return games.empty() && media.size() == 0; }
    const GameDescription *describe(std::string_view romPath) const { return games.find(romPath); }
    // The picture of the ROM at romPath for the first of kinds that has one: from the media
    // folders, else one its game list names. Empty when none has one.
    std::string picture(const std::string &romPath, const std::vector<std::string> &kinds) const;
};

} // namespace marlit
