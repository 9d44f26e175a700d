#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marlit {

struct SystemEntry;

// What the user chose for a system's game lists in System Configuration, kept in the system's
// values beside the catalogue: a game list file and a media folder to read before the usual
// places, and the kind of picture each snapshot slot takes. Empty values: what is found, covers
// in slot A and screenshots in slot B.
struct GameListChoice
{
    static constexpr const char *kFileKey = "game-list";
    static constexpr const char *kMediaKey = "game-list-media";
    static constexpr std::array<const char *, 2> kSlotKeys{"game-list-picture-a", "game-list-picture-b"};

    std::string file;
    std::string mediaFolder;
    std::array<std::string, 2> slotKinds; // a media kind ("covers"), or empty for the default

    static GameListChoice of(const SystemEntry &entry);
    void storeInto(SystemEntry &entry) const;

    // The kinds slot takes, best first: the chosen one, else the default's.
    std::vector<std::string> kindsFor(int slot) const;

    // The kinds offered, with their names for the user: ("covers", "Covers"), ...
    static const std::vector<std::pair<std::string, std::string>> &offeredKinds();

    friend bool operator==(const GameListChoice &, const GameListChoice &) = default;
};

} // namespace marlit
