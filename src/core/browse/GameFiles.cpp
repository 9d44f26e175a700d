#include "core/browse/GameFiles.h"

#include "core/browse/GameTitle.h"
#include "core/browse/NameOrder.h"
#include "core/browse/SheetFiles.h"
#include "core/browse/WildcardMatch.h"
#include "core/fs/AsciiCase.h"

#include <algorithm>
#include <array>
#include <bit>
#include <set>
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

struct TitleRow
{
    std::uint64_t head;     // eight bytes of the key, big-endian, zero-padded: see sortByKey
    std::uint32_t keyBegin; // the folded title in the block of keys
    std::uint32_t keyLength;
    std::uint32_t index;      // in the names
    std::uint32_t titleBegin; // the title in its name
};

// Sorts rows on their heads, a byte at a time from the last (a radix sort, as many passes as
// bytes that differ between them), through scratch, which holds as many rows.
void sortByHead(TitleRow *rows, std::size_t count, TitleRow *scratch)
{
    std::array<std::array<std::uint32_t, 256>, 8> counts{};
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t byte = 0; byte < 8; ++byte)
            ++counts[byte][(rows[i].head >> (8 * byte)) & 0xFF];
    TitleRow *from = rows;
    TitleRow *to = scratch;
    for (std::size_t byte = 0; byte < 8; ++byte) {
        std::array<std::uint32_t, 256> &slots = counts[byte];
        if (slots[(from[0].head >> (8 * byte)) & 0xFF] == count)
            continue; // the same in every row
        std::uint32_t next = 0;
        for (std::uint32_t &slot : slots)
            next += std::exchange(slot, next);
        for (std::size_t i = 0; i < count; ++i)
            to[slots[(from[i].head >> (8 * byte)) & 0xFF]++] = from[i];
        std::swap(from, to);
    }
    if (from != rows)
        std::copy(from, from + count, rows);
}

// Sorts rows whose keys are equal in their first 8 * depth bytes by the rest of their keys, a
// window of eight bytes at a time held in the rows themselves, so that the sort moves the rows
// alone and stays within the processor's caches; rows whose whole keys are equal go to sameKey.
template <typename SameKey>
void sortByKey(TitleRow *begin, TitleRow *end, std::string_view keys, std::size_t depth, TitleRow *scratch,
               const SameKey &sameKey)
{
    const std::size_t from = 8 * depth;
    bool longer = false; // whether a key goes on beyond this window
    for (TitleRow *row = begin; row != end; ++row) {
        std::uint64_t head = 0;
        const std::size_t length = row->keyLength;
        const std::size_t last = std::min(length, from + 8);
        for (std::size_t at = from; at < last; ++at)
            head |= std::uint64_t(static_cast<unsigned char>(keys[row->keyBegin + at])) << (56 - 8 * (at - from));
        row->head = head;
        longer = longer || length > from + 8;
    }
    const auto headLess = [](const TitleRow &a, const TitleRow &b) { return a.head < b.head; };
    if (end - begin >= 64)
        sortByHead(begin, static_cast<std::size_t>(end - begin), scratch);
    else
        std::sort(begin, end, headLess);
    for (TitleRow *run = begin; run != end;) {
        TitleRow *runEnd = run + 1;
        while (runEnd != end && runEnd->head == run->head)
            ++runEnd;
        if (runEnd - run > 1) {
            if (longer && std::any_of(run, runEnd, [&](const TitleRow &row) { return row.keyLength > from + 8; }))
                sortByKey(run, runEnd, keys, depth + 1, scratch, sameKey);
            else
                sameKey(run, runEnd);
        }
        run = runEnd;
    }
}

// names' indices in RomListing::before's order. Each title is found and folded once, into one
// block of keys, and the rows are sorted on them (sortByKey); only titles equal ignoring case
// are told apart by their names' own bytes.
std::vector<std::uint32_t> orderByTitle(const RomNames &names)
{
    std::string keys(names.bytes().size(), '\0'); // the titles are parts of the names
    char *key = keys.data();
    std::vector<TitleRow> rows;
    rows.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string_view name = names[i];
        const std::string_view title = GameTitle::of(name).title;
        rows.push_back({0, static_cast<std::uint32_t>(key - keys.data()), static_cast<std::uint32_t>(title.size()),
                        static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(title.data() - name.data())});
        key = std::transform(title.begin(), title.end(), key, foldAscii);
    }
    // Equal ignoring case: ordered by the titles' bytes, then by the names, as before() does.
    const auto sameKey = [&](TitleRow *begin, TitleRow *end) {
        std::sort(begin, end, [&](const TitleRow &a, const TitleRow &b) {
            const std::string_view nameA = names[a.index];
            const std::string_view nameB = names[b.index];
            if (const int byTitle =
                    nameA.substr(a.titleBegin, a.keyLength).compare(nameB.substr(b.titleBegin, b.keyLength));
                byTitle != 0)
                return byTitle < 0;
            return NameOrder::less(nameA, nameB);
        });
    };
    std::vector<TitleRow> scratch(rows.size());
    sortByKey(rows.data(), rows.data() + rows.size(), keys, 0, scratch.data(), sameKey);
    std::vector<std::uint32_t> order;
    order.reserve(rows.size());
    for (const TitleRow &row : rows)
        order.push_back(row.index);
    return order;
}

} // namespace

void GameFiles::add(const std::vector<DirectoryEntry> &entries, const RomSearch &search,
                    const std::vector<std::string> &fileTypes, const std::string &folder, const std::string &prefix)
{
    const std::string pattern = search.pattern();
    const bool matchAll = matchesEverything(pattern);
    const std::size_t first = m_names.size();
    bool sheets = false;
    std::string name;
    // Whether a file is a game file the search keeps.
    const auto listed = [&](const DirectoryEntry &entry) {
        if (entry.isDirectory || entry.name.starts_with('.'))
            return false;
        if (!fileTypes.empty() && std::none_of(fileTypes.begin(), fileTypes.end(), [&](const std::string &type) {
                return WildcardMatch::matches(type, entry.name);
            }))
            return false;
        return (matchAll || WildcardMatch::matches(pattern, entry.name)) && search.keeps(entry.name);
    };
    std::size_t others = 0;
    for (const DirectoryEntry &entry : entries) {
        if (!listed(entry)) {
            others += entry.isDirectory ? 0 : 1;
            continue;
        }
        sheets = sheets || SheetFiles::isSheet(entry.name);
        name.assign(prefix).append(entry.name);
        m_names.push_back(name);
    }
    m_hidden.resize(m_names.size(), 0);
    if (!sheets)
        return;
    // The folder's files, listed or not, tell which of what its sheets name are missing.
    Folder held{folder, prefix.size(), first, m_names.size(), {}};
    if (others > 0)
        for (const DirectoryEntry &entry : entries)
            if (!entry.isDirectory && !entry.name.empty() && !listed(entry))
                held.unlisted.push_back(entry.name);
    m_folders.push_back(std::move(held));
}

GameFiles GameFiles::of(std::vector<DirectoryEntry> entries, const RomSearch &search,
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
    games = GameFiles();
    std::set<std::pair<dev_t, ino_t>> seen; // a link back to a folder above is followed once
    std::vector<std::string> pending{std::string()};
    std::vector<DirectoryEntry> entries;
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
        const int error = DirectoryReader::read(folder, entries);
        if (stated && error == 0 && onFolderRead)
            onFolderRead(relative, status);
        if (rootError < 0)
            rootError = error;
        for (const DirectoryEntry &entry : entries)
            if (entry.isDirectory && !entry.name.starts_with('.'))
                pending.push_back(relative + entry.name + '/');
        games.add(entries, search, fileTypes, folder, relative);
        if (progress)
            progress(games.m_names.size());
    }
    return rootError;
}

void GameFiles::hideByName()
{
    std::string folded; // a folder's names, folded, each one in the same place as in m_names
    StemSet discStems;  // of the lists
    StemSet trackStems; // of the sheets
    for (const Folder &folder : m_folders) {
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
        m_order = orderByTitle(m_names);
    RomNames names;
    names.reserve(m_names.size(), m_names.bytes().size());
    for (const std::uint32_t index : m_order)
        if (m_hidden[index] == 0)
            names.push_back(m_names[index]);
    return names;
}

} // namespace marlit
