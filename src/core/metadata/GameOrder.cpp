#include "core/metadata/GameOrder.h"

#include "core/metadata/GameCollection.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace marlit {

const char *GameOrder::text(GameSort sort)
{
    switch (sort) {
    case GameSort::Name:
        return "Name";
    case GameSort::ReleaseYear:
        return "Release year";
    case GameSort::LastPlayed:
        return "Last played";
    case GameSort::MostPlayed:
        return "Most played";
    }
    return "Name";
}

RomNames GameOrder::sorted(RomNames names, const std::string &folder, const GameCollection *games, GameSort sort)
{
    if (sort == GameSort::Name || !games)
        return names;

    // One key per row, read once: a higher key goes first, and 0 is "not known", last.
    std::vector<long long> keys(names.size(), 0);
    std::string path = folder;
    for (std::size_t row = 0; row < names.size(); ++row) {
        path.resize(folder.size());
        path.append(names[row]);
        const GameDescription *game = games->describe(path);
        if (!game)
            continue;
        switch (sort) {
        case GameSort::ReleaseYear:
            keys[row] = game->releaseYear > 0 ? 100'000 - game->releaseYear : 0;
            break;
        case GameSort::LastPlayed: {
            // "YYYYMMDDTHHMMSS" as the number YYYYMMDDHHMMSS.
            long long stamp = 0;
            for (const char c : game->lastPlayed)
                if (c >= '0' && c <= '9')
                    stamp = stamp * 10 + (c - '0');
            keys[row] = stamp;
            break;
        }
        case GameSort::MostPlayed:
            keys[row] = game->playCount;
            break;
        case GameSort::Name:
            break;
        }
    }
    std::vector<std::size_t> order(names.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] > keys[b]; });

    RomNames result;
    result.reserve(names.size(), names.bytes().size());
    for (const std::size_t row : order)
        result.push_back(names[row]);
    return result;
}

} // namespace marlit
