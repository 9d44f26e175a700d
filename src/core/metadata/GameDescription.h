#pragma once

#include <string>
#include <vector>

namespace marlit {

// One picture a game list names outright for a game: its kind, in the media folders' names
// ("covers", "screenshots", "titlescreens", "marquees", ...), and its absolute path.
struct NamedPicture
{
    std::string kind;
    std::string path;

    friend bool operator==(const NamedPicture &, const NamedPicture &) = default;
};

// What another front-end's game list says of one game. Text is kept as the file's bytes.
struct GameDescription
{
    std::string title;
    std::string description;
    std::string developer;
    std::string publisher;
    std::string genre;
    std::string players;     // as written: "1", "1-2", "4"
    std::string releaseDate; // "YYYY-MM-DD", "YYYY-MM" or "YYYY"; empty when not known
    int releaseYear = 0;     // 0: not known
    int ratingPercent = -1;  // 0..100; -1: not rated
    int playCount = 0;
    std::string lastPlayed; // "YYYYMMDDTHHMMSS", which sorts as time does; empty: never
    bool favourite = false;
    std::vector<NamedPicture> pictures;

    friend bool operator==(const GameDescription &, const GameDescription &) = default;
};

} // namespace marlit
