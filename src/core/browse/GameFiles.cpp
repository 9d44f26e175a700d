#include "core/browse/GameFiles.h"

#include "core/browse/FolderHandOff.h"
#include "core/browse/SheetFiles.h"
#include "core/browse/TitleOrder.h"
#include "core/browse/WildcardMatch.h"
#include "core/fs/AsciiCase.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <set>
#include <span>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace marlit {

namespace {

// "*.*" and a pattern of stars alone take every name, so the match can be skipped.
bool matchesEverything(const std::string &pattern)
{
    return pattern == "*.*" || (!pattern.empty() && pattern.find_first_not_of('*') == std::string::npos);
}

// The kinds of file that a disc's sheet names as its tracks.
bool isTrackFile(std::string_view extension)
{
    for (const std::string_view track : {"bin", "img", "iso", "raw", "wav", "sub", "mp3", "ogg", "flac", "ape"})
        if (extension == track)
            return true;
    return false;
}

// The part of a folded stem before marker ("game" of "game (track 2)" and " (track "); none
// when the stem does not hold it.
std::string_view before(std::string_view stem, std::string_view marker)
{
    const std::size_t at = stem.find(marker);
    return at == std::string_view::npos || at == 0 ? std::string_view() : stem.substr(0, at);
}

// The stems of a folder's sheets (or lists): views into its folded names in a table of their
// own, so that a folder of 20,000 sheets is looked through without a node allocated per stem.
class StemSet
{
public:
    // Empties the set for at most count stems.
    void reset(std::size_t count)
    {
        m_slots.assign(std::bit_ceil(2 * count + 2), std::string_view());
        m_mask = m_slots.size() - 1;
    }
    // stem is never empty (a sheet's name is more than its extension).
    void insert(std::string_view stem)
    {
        std::size_t slot = std::hash<std::string_view>()(stem) & m_mask;
        while (m_slots[slot].data() != nullptr && m_slots[slot] != stem)
            slot = (slot + 1) & m_mask;
        m_slots[slot] = stem;
    }
    bool contains(std::string_view stem) const
    {
        if (stem.empty())
            return false;
        for (std::size_t slot = std::hash<std::string_view>()(stem) & m_mask; m_slots[slot].data() != nullptr;
             slot = (slot + 1) & m_mask)
            if (m_slots[slot] == stem)
                return true;
        return false;
    }

private:
    std::vector<std::string_view> m_slots; // a null view is a free slot
    std::size_t m_mask = 0;
};

// A folder's entries read either way, alike.
std::size_t entryCount(const std::vector<DirectoryEntry> &entries)
{
    return entries.size();
}
std::string_view entryName(const std::vector<DirectoryEntry> &entries, std::size_t index)
{
    return entries[index].name;
}
bool isFolder(const std::vector<DirectoryEntry> &entries, std::size_t index)
{
    return entries[index].isDirectory;
}
std::size_t entryCount(const DirectoryNames &entries)
{
    return entries.size();
}
std::string_view entryName(const DirectoryNames &entries, std::size_t index)
{
    return entries.name(index);
}
bool isFolder(const DirectoryNames &entries, std::size_t index)
{
    return entries.folders[index] != 0;
}

} // namespace

template <typename Entries>
void GameFiles::add(const Entries &entries, const RomSearch &search, const std::vector<std::string> &fileTypes,
                    const std::string &folder, const std::string &prefix)
{
    const std::string pattern = search.pattern();
    const bool matchAll = matchesEverything(pattern);
    const std::size_t first = m_names.size();
    bool sheets = false;
    std::string name;
    // Whether an entry is a game file the search keeps.
    const auto listed = [&](std::size_t entry) {
        const std::string_view file = entryName(entries, entry);
        if (isFolder(entries, entry) || file.starts_with('.'))
            return false;
        if (!fileTypes.empty() && std::none_of(fileTypes.begin(), fileTypes.end(), [&](const std::string &type) {
                return WildcardMatch::matches(type, file);
            }))
            return false;
        return (matchAll || WildcardMatch::matches(pattern, file)) && search.keeps(file);
    };
    std::size_t others = 0;
    for (std::size_t entry = 0; entry < entryCount(entries); ++entry) {
        if (!listed(entry)) {
            others += isFolder(entries, entry) ? 0 : 1;
            continue;
        }
        sheets = sheets || SheetFiles::isSheet(entryName(entries, entry));
        name.assign(prefix).append(entryName(entries, entry));
        m_names.push_back(name);
    }
    m_hidden.resize(m_names.size(), 0);
    if (!sheets)
        return;
    // The folder's files, listed or not, tell which of what its sheets name are missing.
    Folder held{folder, prefix.size(), first, m_names.size(), {}};
    if (others > 0)
        for (std::size_t entry = 0; entry < entryCount(entries); ++entry)
            if (!isFolder(entries, entry) && !entryName(entries, entry).empty() && !listed(entry))
                held.unlisted.push_back(entryName(entries, entry));
    m_folders.push_back(std::move(held));
}

GameFiles GameFiles::of(const std::vector<DirectoryEntry> &entries, const RomSearch &search,
                        const std::vector<std::string> &fileTypes, const std::string &folder)
{
    GameFiles games;
    std::size_t bytes = 0;
    for (const DirectoryEntry &entry : entries)
        bytes += entry.name.size();
    games.m_names.reserve(entries.size(), bytes);
    games.add(entries, search, fileTypes, folder, {});
    return games;
}

int GameFiles::ofTree(const std::string &root, const RomSearch &search, const std::vector<std::string> &fileTypes,
                      GameFiles &games, const std::function<void(std::size_t)> &progress,
                      const std::function<void(const std::string &, const struct stat &)> &onFolderRead)
{
    constexpr std::size_t kNamesPerRun = 4096;
    games = GameFiles();
    TitleOrder order;
    std::atomic<std::size_t> listed = 0;
    // The files are listed, and ordered by their titles a run at a time, beside the walk: the
    // order is nearly made by the time the last folder is read.
    FolderHandOff handOff([&](const std::vector<FolderHandOff::Folder> &folders) {
        for (const FolderHandOff::Folder &folder : folders)
            games.add(folder.entries, search, fileTypes, folder.path, folder.relative);
        games.guessFrom(games.m_guessed);
        listed = games.m_names.size();
        if (games.m_names.size() - order.size() >= kNamesPerRun)
            order.addRun(games.m_names);
    });
    std::set<std::pair<dev_t, ino_t>> seen; // a link back to a folder above is followed once
    std::vector<std::string> pending{std::string()};
    DirectoryNames entries;
    int rootError = -1;
    while (!pending.empty()) {
        std::string relative = std::move(pending.back());
        pending.pop_back();
        std::string folder = root + relative;
        struct stat status
        {
        };
        const int error = DirectoryReader::read(folder, entries, &status);
        if (error == 0 && !seen.emplace(status.st_dev, status.st_ino).second)
            continue;
        if (error == 0 && onFolderRead)
            onFolderRead(relative, status);
        if (rootError < 0)
            rootError = error;
        for (std::size_t entry = 0; entry < entries.size(); ++entry)
            if (entries.folders[entry] != 0 && !entries.name(entry).starts_with('.'))
                pending.push_back(relative + std::string(entries.name(entry)) + '/');
        handOff.handOn(std::move(folder), std::move(relative), entries);
        if (progress)
            progress(listed);
    }
    handOff.finish();
    games.m_order = order.finish(games.m_names);
    if (progress)
        progress(games.m_names.size());
    return rootError;
}

void GameFiles::hideByName()
{
    guessFrom(m_guessed);
}

void GameFiles::guessFrom(std::size_t first)
{
    m_guessed = m_folders.size();
    std::string folded; // a folder's names, folded, each one in the same place as in m_names
    StemSet discStems;  // of the lists
    StemSet trackStems; // of the sheets
    for (const Folder &folder : std::span(m_folders).subspan(first)) {
        const std::size_t offset = folder.first == 0 ? 0 : m_names.ends()[folder.first - 1];
        const std::string_view bytes =
            std::string_view(m_names.bytes()).substr(offset, m_names.ends()[folder.end - 1] - offset);
        folded.resize(bytes.size());
        std::transform(bytes.begin(), bytes.end(), folded.begin(), foldAscii);
        // A name's folded form, without the folder's prefix; a view into folded.
        const auto foldedName = [&](std::size_t i) {
            const std::size_t begin = (i == 0 ? 0 : m_names.ends()[i - 1]) - offset + folder.prefixLength;
            return std::string_view(folded).substr(begin, m_names.ends()[i] - offset - begin);
        };
        // A folded name's stem and extension (after its last dot; empty when it has none).
        const auto parts = [](std::string_view name) {
            const std::size_t dot = name.rfind('.');
            if (dot == std::string_view::npos || dot == 0)
                return std::pair(name, std::string_view());
            return std::pair(name.substr(0, dot), name.substr(dot + 1));
        };
        discStems.reset(folder.end - folder.first);
        trackStems.reset(folder.end - folder.first);
        bool hasLists = false;
        for (std::size_t i = folder.first; i < folder.end; ++i)
            if (const std::string_view name = foldedName(i); SheetFiles::isSheet(name)) {
                const auto [stem, extension] = parts(name);
                hasLists = hasLists || extension == "m3u";
                (extension == "m3u" ? discStems : trackStems).insert(stem);
            }
        for (std::size_t i = folder.first; i < folder.end; ++i) {
            const std::string_view name = foldedName(i);
            // Most files are neither tracks nor discs, told by their endings alone; a folder
            // without lists hides no disc, and is not searched for one.
            const std::size_t dot = name.rfind('.');
            const std::string_view ending = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
            if (ending.size() > 4 ||
                (!isTrackFile(ending) && (!hasLists || name.find(" (disc ") == std::string_view::npos))) {
                m_hidden[i] = 0;
                continue;
            }
            const auto [stem, extension] = parts(name);
            const bool track =
                isTrackFile(extension) && (trackStems.contains(stem) || trackStems.contains(before(stem, " (track ")));
            const bool disc = extension != "m3u" && discStems.contains(before(stem, " (disc "));
            m_hidden[i] = track || disc ? 1 : 0;
        }
    }
}

bool GameFiles::hideBySheets(MissingParts *missing)
{
    m_guessed = 0;
    bool changed = false;
    for (const Folder &folder : m_folders) {
        // A track is hidden only by a sheet that is listed: a search that drops the sheet shows it.
        std::unordered_set<std::string> named;
        MissingParts sheetsNamed; // each listed sheet with a file it names in its own folder
        for (std::size_t i = folder.first; i < folder.end; ++i)
            if (const std::string_view name = m_names[i].substr(folder.prefixLength); SheetFiles::isSheet(name))
                for (std::string &file : SheetFiles::read(folder.path, std::string(name)))
                    if (file.find('/') == std::string::npos) {
                        named.insert(foldedAscii(file));
                        if (missing)
                            sheetsNamed.emplace_back(m_names[i], std::move(file));
                    }
        if (!sheetsNamed.empty()) {
            std::unordered_set<std::string> there;
            for (std::size_t i = folder.first; i < folder.end; ++i)
                there.insert(foldedAscii(m_names[i].substr(folder.prefixLength)));
            for (std::size_t i = 0; i < folder.unlisted.size(); ++i)
                there.insert(foldedAscii(folder.unlisted[i]));
            for (auto &part : sheetsNamed)
                if (!there.contains(foldedAscii(part.second)))
                    missing->push_back(std::move(part));
        }
        for (std::size_t i = folder.first; i < folder.end; ++i) {
            const std::uint8_t hidden = named.contains(foldedAscii(m_names[i].substr(folder.prefixLength))) ? 1 : 0;
            changed = changed || hidden != m_hidden[i];
            m_hidden[i] = hidden;
        }
    }
    return changed;
}

RomNames GameFiles::shown() const
{
    if (m_order.size() != m_names.size())
        m_order = TitleOrder::of(m_names);
    RomNames names;
    names.reserve(m_names.size(), m_names.bytes().size());
    for (const std::uint32_t index : m_order)
        if (m_hidden[index] == 0)
            names.push_back(m_names[index]);
    return names;
}

} // namespace marlit
