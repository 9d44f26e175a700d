#include "core/metadata/GameOrder.h"

#include "core/browse/GameTitle.h"
#include "core/browse/NameOrder.h"
#include "core/fs/AsciiCase.h"
#include "core/metadata/GameCollection.h"

#include <algorithm>
#include <ctime>
#include <iterator>
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

long long GameOrder::stampOf(std::string_view lastPlayed)
{
    long long stamp = 0;
    for (const char c : lastPlayed)
        if (c >= '0' && c <= '9')
            stamp = stamp * 10 + (c - '0');
    return stamp;
}

long long GameOrder::stampOf(std::int64_t epochMs)
{
    if (epochMs <= 0)
        return 0;
    const std::time_t seconds = static_cast<std::time_t>(epochMs / 1000);
    std::tm local{};
    if (!::localtime_r(&seconds, &local))
        return 0;
    long long stamp = local.tm_year + 1900LL;
    for (const int part : {local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec})
        stamp = stamp * 100 + part;
    return stamp;
}

RomNames GameOrder::sorted(RomNames names, const std::string &folder, const GameCollection *games, GameSort sort,
                           const OwnPlaysByPath *own)
{
    if (sort == GameSort::Name || !games)
        return names;
    if (own && own->empty())
        own = nullptr;

    // One key per row, read once: a higher key goes first, and 0 is "not known", last.
    std::vector<long long> keys(names.size(), 0);
    std::string path = folder;
    for (std::size_t row = 0; row < names.size(); ++row) {
        path.resize(folder.size());
        path.append(names[row]);
        const GameDescription *game = games->describe(path);
        const OwnPlays *mine = nullptr;
        if (own && usesOwnPlays(sort)) {
            const auto found = own->find(path);
            mine = found == own->end() ? nullptr : &found->second;
        }
        if (!game && !mine)
            continue;
        switch (sort) {
        case GameSort::ReleaseYear:
            keys[row] = game && game->releaseYear > 0 ? 100'000 - game->releaseYear : 0;
            break;
        case GameSort::LastPlayed:
            keys[row] = std::max(game ? stampOf(game->lastPlayed) : 0, mine ? stampOf(mine->lastPlayedMs) : 0);
            break;
        case GameSort::MostPlayed:
            keys[row] = (game ? game->playCount : 0) + (mine ? mine->plays : 0);
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

RomNames GameOrder::byTitle(RomNames names, const std::string &folder, const GameCollection &games)
{
    // Each title folded once into one block of keys; the rows sorted on them.
    struct Row
    {
        std::size_t keyBegin;
        std::string_view title;
        std::uint32_t index;
    };
    std::string keys;
    keys.reserve(names.bytes().size());
    std::vector<Row> rows;
    rows.reserve(names.size());
    std::string path = folder;
    for (std::size_t row = 0; row < names.size(); ++row) {
        const std::string_view name = names[row];
        path.resize(folder.size());
        path.append(name);
        const GameDescription *game = games.describe(path);
        const std::string_view title = game && !game->title.empty() ? game->title : GameTitle::of(name).title;
        rows.push_back({keys.size(), title, static_cast<std::uint32_t>(row)});
        std::transform(title.begin(), title.end(), std::back_inserter(keys), foldAscii);
    }
    const std::string_view folded(keys);
    std::sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
        if (const int byKey =
                folded.substr(a.keyBegin, a.title.size()).compare(folded.substr(b.keyBegin, b.title.size()));
            byKey != 0)
            return byKey < 0;
        if (const int byTitle = a.title.compare(b.title); byTitle != 0)
            return byTitle < 0;
        return NameOrder::less(names[a.index], names[b.index]);
    });

    RomNames result;
    result.reserve(names.size(), names.bytes().size());
    for (const Row &row : rows)
        result.push_back(names[row.index]);
    return result;
}

RomNames GameOrder::ordered(RomNames names, const std::string &folder, const GameCollection &games, GameSort sort,
                            const OwnPlaysByPath *own)
{
    // sorted keeps the order it is given where its keys tie: rows the lists say nothing of, or
    // of one year, read by their titles as under "Name".
    return sorted(byTitle(std::move(names), folder, games), folder, &games, sort, own);
}

} // namespace marlit
