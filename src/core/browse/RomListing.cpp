#include "core/browse/RomListing.h"

#include "core/browse/GameTitle.h"
#include "core/browse/NameOrder.h"
#include "core/browse/SheetFiles.h"
#include "core/browse/WildcardMatch.h"
#include "core/fs/AsciiCase.h"
#include "core/fs/DirectoryReader.h"

#include <algorithm>
#include <set>
#include <sys/stat.h>
#include <unordered_set>
#include <utility>

namespace marlit {

namespace {

// "*.*" and a pattern of stars alone take every name, so the match can be skipped.
bool matchesEverything(const std::string &pattern)
{
    return pattern == "*.*" || (!pattern.empty() && pattern.find_first_not_of('*') == std::string::npos);
}

// The game files of one folder's entries, unsorted; what a listed sheet names is left out.
// Each name kept goes to names with prefix before it.
void gamesOf(std::vector<DirectoryEntry> &entries, const RomSearch &search, const std::vector<std::string> &fileTypes,
             const std::string &folder, const std::string &prefix, std::vector<std::string> &names,
             MissingParts *missing)
{
    const std::string pattern = search.pattern();
    const bool matchAll = matchesEverything(pattern);
    const std::size_t first = names.size();
    for (DirectoryEntry &entry : entries) {
        if (entry.isDirectory || entry.name.starts_with('.'))
            continue;
        if (!fileTypes.empty() && std::none_of(fileTypes.begin(), fileTypes.end(), [&](const std::string &type) {
                return WildcardMatch::matches(type, entry.name);
            }))
            continue;
        if (!matchAll && !WildcardMatch::matches(pattern, entry.name))
            continue;
        if (!search.keeps(entry.name))
            continue;
        names.push_back(prefix + std::move(entry.name));
    }
    // A track is hidden only by a sheet that is listed: a search that drops the sheet shows it.
    std::unordered_set<std::string> named;
    MissingParts sheetsNamed; // each listed sheet with a file it names in its own folder
    for (std::size_t i = first; i < names.size(); ++i)
        if (const std::string name = names[i].substr(prefix.size()); SheetFiles::isSheet(name))
            for (std::string &file : SheetFiles::read(folder, name))
                if (file.find('/') == std::string::npos) {
                    named.insert(foldedAscii(file));
                    if (missing)
                        sheetsNamed.emplace_back(names[i], std::move(file));
                }
    if (!sheetsNamed.empty()) {
        // The folder's files: those not kept still hold their names, the kept ones are in names.
        std::unordered_set<std::string> there;
        for (const DirectoryEntry &entry : entries)
            if (!entry.isDirectory && !entry.name.empty())
                there.insert(foldedAscii(entry.name));
        for (std::size_t i = first; i < names.size(); ++i)
            there.insert(foldedAscii(std::string_view(names[i]).substr(prefix.size())));
        for (auto &part : sheetsNamed)
            if (!there.contains(foldedAscii(part.second)))
                missing->push_back(std::move(part));
    }
    if (!named.empty())
        names.erase(std::remove_if(names.begin() + static_cast<std::ptrdiff_t>(first), names.end(),
                                   [&](const std::string &name) {
                                       return named.contains(foldedAscii(std::string_view(name).substr(prefix.size())));
                                   }),
                    names.end());
}

// names in RomListing::before's order, each title found once rather than at every comparison.
std::vector<std::string> sortedByTitle(std::vector<std::string> names)
{
    std::vector<std::pair<std::string_view, std::size_t>> order;
    order.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        order.emplace_back(GameTitle::of(names[i]).title, i);
    std::sort(order.begin(), order.end(), [&](const auto &a, const auto &b) {
        if (const int byTitle = NameOrder::compare(a.first, b.first); byTitle != 0)
            return byTitle < 0;
        return NameOrder::less(names[a.second], names[b.second]);
    });
    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    for (const auto &[title, index] : order)
        sorted.push_back(std::move(names[index]));
    return sorted;
}

} // namespace

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
    std::vector<std::string> names;
    names.reserve(entries.size());
    gamesOf(entries, search, fileTypes, folder, {}, names, missing);
    return sortedByTitle(std::move(names));
}

int RomListing::listAll(const std::string &root, const RomSearch &search, const std::vector<std::string> &fileTypes,
                        std::vector<std::string> &names, const std::function<void(std::size_t)> &progress,
                        const std::function<void(const std::string &, const struct stat &)> &onFolderRead,
                        MissingParts *missing)
{
    std::vector<std::string> found;
    std::set<std::pair<dev_t, ino_t>> seen; // a link back to a folder above is followed once
    std::vector<std::string> pending{std::string()};
    int rootError = -1;
    while (!pending.empty()) {
        const std::string relative = std::move(pending.back());
        pending.pop_back();
        const std::string folder = root + relative;
        struct stat status
        {
        };
        const bool stated = ::stat(folder.empty() ? "." : folder.c_str(), &status) == 0;
        if (stated && !seen.emplace(status.st_dev, status.st_ino).second)
            continue;
        std::vector<DirectoryEntry> entries;
        const int error = DirectoryReader::read(folder, entries);
        if (stated && error == 0 && onFolderRead)
            onFolderRead(relative, status);
        if (rootError < 0)
            rootError = error;
        for (const DirectoryEntry &entry : entries)
            if (entry.isDirectory && !entry.name.starts_with('.'))
                pending.push_back(relative + entry.name + '/');
        gamesOf(entries, search, fileTypes, folder, relative, found, missing);
        if (progress)
            progress(found.size());
    }
    names = sortedByTitle(std::move(found));
    return rootError;
}

bool RomListing::before(std::string_view a, std::string_view b)
{
    if (const int byTitle = NameOrder::compare(GameTitle::of(a).title, GameTitle::of(b).title); byTitle != 0)
        return byTitle < 0;
    return NameOrder::less(a, b);
}

} // namespace marlit
