#include "core/metadata/GameSearch.h"

#include "core/browse/WildcardMatch.h"
#include "core/metadata/GameCollection.h"

#include <algorithm>

namespace marlit {

namespace {

bool keepsText(const RomSearch &search, const std::string &pattern, std::string_view text)
{
    if (search.mode() == FilterMode::FilterOut)
        return search.keeps(std::string(text));
    return WildcardMatch::matches(pattern, text);
}

// Whether a game list was read from the file named name in folder: rows of the list's folder
// (or of all its sub-folders) name it as it lies under the folder shown.
bool isListFile(const GameCollection &games, const std::string &folder, std::string_view name)
{
    return std::any_of(games.foundFiles.begin(), games.foundFiles.end(), [&](const std::string &file) {
        return file.size() == folder.size() + name.size() && file.compare(0, folder.size(), folder) == 0 &&
               file.compare(folder.size(), name.size(), name) == 0;
    });
}

} // namespace

RomSearch GameSearch::forReaders(const RomSearch &search, const GameCollection *games)
{
    return games && !games->games.empty() ? RomSearch() : search;
}

RomNames GameSearch::filtered(RomNames names, const std::string &folder, const GameCollection *games,
                              const RomSearch &search)
{
    if (!games || games->games.empty())
        return names;
    bool listsShown = false;
    for (std::size_t row = 0; row < names.size() && !listsShown; ++row)
        listsShown = isListFile(*games, folder, names[row]);
    if (!search.applied() && !listsShown)
        return names;
    const std::string pattern = search.pattern();
    const bool filterOut = search.mode() == FilterMode::FilterOut;
    RomNames kept;
    kept.reserve(names.size(), names.bytes().size());
    std::string path = folder;
    for (std::size_t row = 0; row < names.size(); ++row) {
        const std::string_view name = names[row];
        if (listsShown && isListFile(*games, folder, name))
            continue;
        if (!search.applied()) {
            kept.push_back(name);
            continue;
        }
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
