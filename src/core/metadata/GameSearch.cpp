#include "core/metadata/GameSearch.h"

#include "core/browse/WildcardMatch.h"
#include "core/metadata/GameCollection.h"
#include "core/metadata/MediaIndex.h"

#include <algorithm>
#include <bitset>
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
// to it): found once per list shown, so that each of tens of thousands of rows is told apart by a
// look at its length, as a rule, without building its path.
class NotGames
{
public:
    NotGames(const GameCollection &games, const std::string &folder)
    {
        const auto below = [&](std::string_view path) {
            return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0;
        };
        std::vector<std::string_view> files;
        for (const std::string &file : games.foundFiles)
            if (below(file))
                files.push_back(std::string_view(file).substr(folder.size()));
        // Sorted by path: those below folder are one run.
        auto named = std::lower_bound(games.namedPictures.begin(), games.namedPictures.end(), folder);
        for (; named != games.namedPictures.end() && below(*named); ++named)
            files.push_back(named->substr(folder.size()));
        for (const std::string_view file : files) {
            const std::string_view in = folderOf(file);
            auto group = std::find_if(m_groups.begin(), m_groups.end(), [&](const Group &g) { return g.folder == in; });
            if (group == m_groups.end())
                group = m_groups.insert(m_groups.end(), Group{in, {}});
            group->files.push_back(file);
            m_lengths.set(file.size() % m_lengths.size());
        }
        for (Group &group : m_groups)
            std::sort(group.files.begin(), group.files.end());
        for (const std::string &media : games.foundFolders)
            if (below(media))
                m_mediaFolders.push_back(std::string_view(media).substr(folder.size()));
    }

    bool empty() const { return m_groups.empty() && m_mediaFolders.empty(); }

    bool holds(std::string_view name) const
    {
        if (m_lengths.test(name.size() % m_lengths.size())) {
            const std::string_view in = folderOf(name);
            for (const Group &group : m_groups)
                if (group.folder == in && std::binary_search(group.files.begin(), group.files.end(), name))
                    return true;
        }
        return std::any_of(m_mediaFolders.begin(), m_mediaFolders.end(), [&](std::string_view media) {
            return name.size() > media.size() && name.compare(0, media.size(), media) == 0 &&
                   MediaIndex::isPictureName(name.substr(name.rfind('/') + 1));
        });
    }

    // The rows of names it holds, ascending.
    std::vector<std::size_t> rowsIn(const RomNames &names) const
    {
        std::vector<std::size_t> rows;
        if (empty())
            return rows;
        for (std::size_t row = 0; row < names.size(); ++row)
            if (holds(names[row]))
                rows.push_back(row);
        return rows;
    }

private:
    // The files of one folder: a game list beside the ROMs, the pictures a list names in "images/".
    struct Group
    {
        std::string_view folder;
        std::vector<std::string_view> files; // sorted
    };

    // "sub/x.png" is in "sub/", "x.png" in "".
    static std::string_view folderOf(std::string_view name)
    {
        const std::size_t slash = name.rfind('/');
        return slash == std::string_view::npos ? std::string_view() : name.substr(0, slash + 1);
    }

    std::vector<Group> m_groups;
    std::bitset<256> m_lengths;                   // of the files, modulo its size: most rows have none of them
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
    if (!search.applied()) {
        names.erase(notGames.rowsIn(names));
        return names;
    }
    const std::string pattern = search.pattern();
    const bool filterOut = search.mode() == FilterMode::FilterOut;
    RomNames kept;
    kept.reserve(names.size(), names.bytes().size());
    std::string path = folder;
    for (std::size_t row = 0; row < names.size(); ++row) {
        const std::string_view name = names[row];
        if (!notGames.empty() && notGames.holds(name))
            continue;
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
