#include "core/metadata/GameSearch.h"

#include "core/browse/WildcardMatch.h"
#include "core/metadata/GameCollection.h"

namespace marlit {

namespace {

bool keepsText(const RomSearch &search, const std::string &pattern, std::string_view text)
{
    if (search.mode() == FilterMode::FilterOut)
        return search.keeps(std::string(text));
    return WildcardMatch::matches(pattern, text);
}

} // namespace

RomSearch GameSearch::forReaders(const RomSearch &search, const GameCollection *games)
{
    return games && !games->games.empty() ? RomSearch() : search;
}

RomNames GameSearch::filtered(RomNames names, const std::string &folder, const GameCollection *games,
                              const RomSearch &search)
{
    if (!search.applied() || !games || games->games.empty())
        return names;
    const std::string pattern = search.pattern();
    const bool filterOut = search.mode() == FilterMode::FilterOut;
    RomNames kept;
    kept.reserve(names.size(), names.bytes().size());
    std::string path = folder;
    for (std::size_t row = 0; row < names.size(); ++row) {
        const std::string_view name = names[row];
        path.resize(folder.size());
        path.append(name);
        const GameDescription *game = games->describe(path);
        const bool byName = keepsText(search, pattern, name);
        const bool byTitle = game && !game->title.empty() && keepsText(search, pattern, game->title);
        const bool keep = filterOut ? byName && (!game || game->title.empty() || byTitle) : byName || byTitle;
        if (keep)
            kept.push_back(name);
    }
    return kept;
}

} // namespace marlit
