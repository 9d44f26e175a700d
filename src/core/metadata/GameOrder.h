#pragma once

#include "core/browse/RomNames.h"

#include <array>
#include <string>

namespace marlit {

struct GameCollection;

// The orders the ROM list offers, beside the file names' own.
enum class GameSort {
    Name,        // as the folder readers sort: by name, ignoring case
    ReleaseYear, // oldest first
    LastPlayed,  // most recent first
    MostPlayed,  // most plays first
};

class GameOrder
{
public:
    static constexpr std::array<GameSort, 4> kAll{GameSort::Name, GameSort::ReleaseYear, GameSort::LastPlayed,
                                                  GameSort::MostPlayed};
    // "Name", "Release year", "Last played", "Most played".
    static const char *text(GameSort sort);

    // names (of the ROMs in folder, ending with the separator) in the order sort gives from what
    // the game lists say. ROMs they say nothing of go last; ties keep the order given.
    static RomNames sorted(RomNames names, const std::string &folder, const GameCollection *games, GameSort sort);
};

} // namespace marlit
