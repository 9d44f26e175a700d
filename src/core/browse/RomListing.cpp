#include "core/browse/RomListing.h"

#include "core/browse/GameFiles.h"
#include "core/browse/GameTitle.h"
#include "core/browse/NameOrder.h"
#include "core/fs/DirectoryReader.h"

#include <utility>

namespace marlit {

std::vector<std::string> RomListing::list(const std::string &folder, const RomSearch &search,
                                          const std::vector<std::string> &fileTypes)
{
    std::vector<DirectoryEntry> entries;
    if (!DirectoryReader::list(folder, entries))
        return {};
    return fromEntries(std::move(entries), search, fileTypes, folder);
}

std::vector<std::string> RomListing::fromEntries(std::vector<DirectoryEntry> entries, const RomSearch &search,
                                                 const std::vector<std::string> &fileTypes, const std::string &folder,
                                                 MissingParts *missing)
{
    GameFiles games = GameFiles::of(entries, search, fileTypes, folder);
    games.hideBySheets(missing);
    return games.shown().toVector();
}

int RomListing::listAll(const std::string &root, const RomSearch &search, const std::vector<std::string> &fileTypes,
                        std::vector<std::string> &names, const std::function<void(std::size_t)> &progress,
                        const std::function<void(const std::string &, const struct stat &)> &onFolderRead,
                        MissingParts *missing)
{
    GameFiles games;
    const int error = GameFiles::ofTree(root, search, fileTypes, games, progress, onFolderRead);
    games.hideBySheets(missing);
    names = games.shown().toVector();
    return error;
}

bool RomListing::before(std::string_view a, std::string_view b)
{
    if (const int byTitle = NameOrder::compare(GameTitle::of(a).title, GameTitle::of(b).title); byTitle != 0)
        return byTitle < 0;
    return NameOrder::less(a, b);
}

} // namespace marlit
