#include "core/metadata/GameListChoice.h"

#include "core/catalogue/SystemEntry.h"

namespace marlit {

GameListChoice GameListChoice::of(const SystemEntry &entry)
{
    GameListChoice choice;
    choice.file = entry.values.value(kFileKey);
    choice.mediaFolder = entry.values.value(kMediaKey);
    for (std::size_t slot = 0; slot < kSlotKeys.size(); ++slot)
        choice.slotKinds[slot] = entry.values.value(kSlotKeys[slot]);
    return choice;
}

void GameListChoice::storeInto(SystemEntry &entry) const
{
    // An empty choice leaves no key behind: the values file stays as small as it was.
    const auto store = [&entry](const char *key, const std::string &value) {
        if (value.empty())
            entry.values.erase(key);
        else
            entry.values.set(key, value);
    };
    store(kFileKey, file);
    store(kMediaKey, mediaFolder);
    for (std::size_t slot = 0; slot < kSlotKeys.size(); ++slot)
        store(kSlotKeys[slot], slotKinds[slot]);
}

std::vector<std::string> GameListChoice::kindsFor(int slot) const
{
    if (slot < 0 || slot > 1)
        return {};
    const std::string &chosen = slotKinds[static_cast<std::size_t>(slot)];
    if (!chosen.empty())
        return {chosen};
    // The kinds that stand in for a missing one are the nearest in look.
    if (slot == 0)
        return {"covers", "3dboxes", "miximages"};
    return {"screenshots", "titlescreens", "images"};
}

const std::vector<std::pair<std::string, std::string>> &GameListChoice::offeredKinds()
{
    static const std::vector<std::pair<std::string, std::string>> kinds{
        {"covers", "Covers"},        {"screenshots", "Screenshots"}, {"titlescreens", "Title Screens"},
        {"marquees", "Marquees"},    {"3dboxes", "3D Boxes"},        {"backcovers", "Back Covers"},
        {"miximages", "Mix Images"}, {"fanart", "Fan Art"},          {"physicalmedia", "Physical Media"},
    };
    return kinds;
}

} // namespace marlit
