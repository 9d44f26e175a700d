#include "core/metadata/GameSearch.h"

#include "core/browse/WildcardMatch.h"
#include "core/metadata/GameCollection.h"
#include "core/metadata/MediaIndex.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace marlit {

namespace {

bool keepsText(const RomSearch &search, const std::string &pattern, std::string_view text)
{
    if (search.mode() == FilterMode::FilterOut)
        return search.keeps(std::string(text));
    return WildcardMatch::matches(pattern, text);
}

// The files of a described system that are no games, as the rows of a folder name them (relative
// to it): found once per list shown, so that a row is then told apart without building its path.
class NotGames
{
public:
    NotGames(const GameCollection &games, const std::string &folder)
    {
        const auto below = [&](std::string_view path) {
            return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0;
        };
        for (const std::string &file : games.foundFiles)
            if (below(file))
                m_files.push_back(std::string_view(file).substr(folder.size()));
        // Sorted by path: those below folder are one run.
        auto named = std::lower_bound(games.namedPictures.begin(), games.namedPictures.end(), folder);
        for (; named != games.namedPictures.end() && below(*named); ++named)
            m_files.push_back(named->substr(folder.size()));
        std::sort(m_files.begin(), m_files.end());
        for (const std::string &media : games.foundFolders)
            if (below(media))
                m_mediaFolders.push_back(std::string_view(media).substr(folder.size()));
    }

    bool empty() const { return m_files.empty() && m_mediaFolders.empty(); }

    bool holds(std::string_view name) const
    {
        if (std::binary_search(m_files.begin(), m_files.end(), name))
            return true;
        return std::any_of(m_mediaFolders.begin(), m_mediaFolders.end(), [&](std::string_view media) {
            return name.size() > media.size() && name.compare(0, media.size(), media) == 0 &&
                   MediaIndex::isPictureName(name.substr(name.rfind('/') + 1));
        });
    }

private:
    std::vector<std::string_view> m_files;        // game lists and named pictures
    std::vector<std::string_view> m_mediaFolders; // ending with the separator
};

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
    const NotGames notGames(*games, folder);
    bool listsShown = false;
    for (std::size_t row = 0; row < names.size() && !listsShown && !notGames.empty(); ++row)
        listsShown = notGames.holds(names[row]);
    if (!search.applied() && !listsShown)
        return names;
    const std::string pattern = search.pattern();
    const bool filterOut = search.mode() == FilterMode::FilterOut;
    RomNames kept;
    kept.reserve(names.size(), names.bytes().size());
    std::string path = folder;
    for (std::size_t row = 0; row < names.size(); ++row) {
        const std::string_view name = names[row];
        if (listsShown && notGames.holds(name))
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
