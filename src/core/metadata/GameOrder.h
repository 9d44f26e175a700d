#pragma once

#include "core/browse/RomNames.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace marlit {

struct GameCollection;

// The orders the ROM list offers, beside the file names' own.
enum class GameSort {
    Name,        // by the title shown, ignoring case (byTitle)
    ReleaseYear, // oldest first
    LastPlayed,  // most recent first
    MostPlayed,  // most plays first
};

// What Marlit's own play history holds of a ROM, beside what the game lists say: the two are
// weighed together for the order and never written into one another.
struct OwnPlays
{
    std::int64_t plays = 0;
    std::int64_t lastPlayedMs = 0; // milliseconds since the epoch; 0: never
};
using OwnPlaysByPath = std::unordered_map<std::string, OwnPlays>; // by the ROM's absolute path

class GameOrder
{
public:
    static constexpr std::array<GameSort, 4> kAll{GameSort::Name, GameSort::ReleaseYear, GameSort::LastPlayed,
                                                  GameSort::MostPlayed};
    // "Name", "Release year", "Last played", "Most played".
    static const char *text(GameSort sort);

    // Whether sort weighs Marlit's own plays too.
    static bool usesOwnPlays(GameSort sort) { return sort == GameSort::LastPlayed || sort == GameSort::MostPlayed; }

    // names (of the ROMs in folder, ending with the separator) in the order sort gives from what
    // the game lists say and, for the plays, what Marlit's own history says (own, when given):
    // the later of the two last plays, the sum of the two counts (each front-end counts only its
    // own launches). ROMs neither says anything of go last; ties keep the order given.
    static RomNames sorted(RomNames names, const std::string &folder, const GameCollection *games, GameSort sort,
                           const OwnPlaysByPath *own = nullptr);
    // names (as above) by the titles shown: a game list's title where one gives it, else the
    // file's title; ignoring case, then by the titles' bytes and the names, as the folder readers
    // order the files' titles. A set named by short names (an arcade set's "sf2.zip") reads in
    // the order of its games' names.
    static RomNames byTitle(RomNames names, const std::string &folder, const GameCollection &games);
    // names (as above) in the order sort gives, ties by the titles shown: byTitle, then sorted.
    static RomNames ordered(RomNames names, const std::string &folder, const GameCollection &games, GameSort sort,
                            const OwnPlaysByPath *own = nullptr);

    // "YYYYMMDDTHHMMSS" (a game list's last play, local time) as the number YYYYMMDDHHMMSS; a
    // time since the epoch in milliseconds as the same number in local time. 0 for none.
    static long long stampOf(std::string_view lastPlayed);
    static long long stampOf(std::int64_t epochMs);
};

} // namespace marlit
