#include "core/browse/RomListing.h"

#include "core/browse/GameTitle.h"
#include "core/browse/NameOrder.h"
#include "core/browse/SheetFiles.h"
#include "core/browse/WildcardMatch.h"
#include "core/fs/AsciiCase.h"
#include "core/fs/DirectoryReader.h"

#include <algorithm>
#include <cstdint>
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

// names in RomListing::before's order. Each title is found and folded once, into one block of
// keys; the sort compares the first eight folded bytes held beside each row, then the keys, and
// turns to the names' own bytes only for titles equal ignoring case.
std::vector<std::string> sortedByTitle(std::vector<std::string> names)
{
    struct Row
    {
        std::uint64_t head;     // the key's first eight bytes, big-endian, zero-padded
        std::uint32_t keyBegin; // the folded title in keys
        std::uint32_t keyLength;
        std::uint32_t index;      // in names
        std::uint32_t titleBegin; // the title in its name
    };
    std::string keys;
    std::size_t bytes = 0;
    for (const std::string &name : names)
        bytes += name.size();
    keys.reserve(bytes);
    std::vector<Row> rows;
    rows.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string_view title = GameTitle::of(names[i]).title;
        Row row{0, static_cast<std::uint32_t>(keys.size()), static_cast<std::uint32_t>(title.size()),
                static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(title.data() - names[i].data())};
        for (std::size_t at = 0; at < title.size(); ++at) {
            const auto folded = static_cast<unsigned char>(foldAscii(title[at]));
            keys.push_back(static_cast<char>(folded));
            if (at < 8)
                row.head |= std::uint64_t(folded) << (56 - 8 * at);
        }
        rows.push_back(row);
    }
    const std::string_view keyBytes(keys);
    std::sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
        if (a.head != b.head)
            return a.head < b.head;
        const int byKey = keyBytes.substr(a.keyBegin, a.keyLength).compare(keyBytes.substr(b.keyBegin, b.keyLength));
        if (byKey != 0)
            return byKey < 0;
        // Equal ignoring case: ordered by the titles' bytes, then by the names, as before() does.
        const std::string_view nameA = names[a.index];
        const std::string_view nameB = names[b.index];
        if (const int byTitle =
                nameA.substr(a.titleBegin, a.keyLength).compare(nameB.substr(b.titleBegin, b.keyLength));
            byTitle != 0)
            return byTitle < 0;
        return NameOrder::less(nameA, nameB);
    });
    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    for (const Row &row : rows)
        sorted.push_back(std::move(names[row.index]));
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
