#pragma once

#include <string>
#include <string_view>
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

// What another front-end's game list says of one game. Text is kept as the file's bytes, and is
// held by the GameList the game is found in (views into the file read in place, or into text the
// list keeps): a description lives as long as its list, and a list of 50,000 games is not 400,000
// strings of its own.
struct GameDescription
{
    std::string_view title;
    std::string_view description;
    std::string_view developer;
    std::string_view publisher;
    std::string_view genre;
    std::string_view players;     // as written: "1", "1-2", "4"
    std::string_view releaseDate; // "YYYY-MM-DD", "YYYY-MM" or "YYYY"; empty when not known
    int releaseYear = 0;          // 0: not known
    int ratingPercent = -1;       // 0..100; -1: not rated
    int playCount = 0;
    std::string_view lastPlayed; // "YYYYMMDDTHHMMSS", which sorts as time does; empty: never
    bool favourite = false;
    std::vector<NamedPicture> pictures;

    friend bool operator==(const GameDescription &, const GameDescription &) = default;
};

} // namespace marlit
