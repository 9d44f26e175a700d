#pragma once

#include <cstdint>
#include <string>

namespace marlit {

// The system a ROM was played or starred from: the catalogue file of its category and the
// system's name, as the catalogue holds them. Two categories may hold systems of one name.
// With its ROM folder given, a system's views are the ROMs inside that folder, whatever the
// system is called: a renamed system keeps them, two systems of one folder share them.
struct SystemKey
{
    std::string category; // "console.ini"
    std::string name;
    std::string romFolder = {}; // absolute, ending with the separator; empty: by category and name

    bool operator==(const SystemKey &) const = default;
};

// What the history keeps of one ROM, keyed by its absolute path (the bytes the launch gives).
struct RomHistory
{
    std::string path;
    SystemKey system;
    bool favourite = false;
    std::int64_t plays = 0;
    std::int64_t playedMs = 0;     // time played in all, in milliseconds
    std::int64_t lastPlayedMs = 0; // when the last play started, milliseconds since the epoch; 0: never

    bool operator==(const RomHistory &) const = default;
};

} // namespace marlit
