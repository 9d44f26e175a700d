#include "core/snapshots/SnapshotFinder.h"

#include "core/browse/NameOrder.h"
#include "core/fs/AsciiCase.h"
#include "core/fs/Paths.h"

#include <algorithm>
#include <ctime>
#include <string_view>
#include <utility>

#include <sys/stat.h>

namespace marlit {

namespace {

// How long after a change a folder's time stamp may still equal that of a further change. File
// systems stamp with a coarse clock, FAT even to 2 seconds.
constexpr long long kStampGranularityNs = 2'000'000'000;

long long nowNs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The folder's stamp, or none when it is missing or no folder.
std::optional<FileStamp> folderStamp(const std::string &directory)
{
    struct stat info
    {
    };
    if (::stat(directory.empty() ? "." : directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;
    return FileStamp::from(info);
}

} // namespace

SnapshotFinder::SnapshotFinder(std::string fallbackPicture) : SnapshotFinder(std::move(fallbackPicture), Limits{})
{
}

SnapshotFinder::SnapshotFinder(std::string fallbackPicture, Limits limits, FolderReader reader)
    : m_fallback(std::move(fallbackPicture)), m_limits(limits),
      m_reader(reader ? std::move(reader) : FolderReader(&DirectoryReader::list))
{
}

std::string SnapshotFinder::firstPattern(const std::string &romName)
{
    const std::size_t dot = romName.rfind('.');
    // A name that is all extension (".nes") has no title to look for; ".*" would take any dot file.
    if (dot == std::string::npos || dot == 0)
        return {};
    return romName.substr(0, dot + 1) + '*';
}

std::string SnapshotFinder::secondPattern(const std::string &romName)
{
    const std::size_t dot = romName.rfind('.');
    const std::string_view stem =
        dot == std::string::npos ? std::string_view(romName) : std::string_view(romName).substr(0, dot + 1);
    const std::size_t bracket = stem.find_first_of("[(");
    // The character before the bracket goes too (usually the blank between title and tags); a
    // bracket at the start or just after it leaves no title.
    if (bracket == std::string_view::npos || bracket < 2)
        return {};
    return std::string(stem.substr(0, bracket - 1)) + ".*";
}

void SnapshotFinder::splitFolder(const std::string &directory, const std::string &romName, std::string &folderPath,
                                 std::string &name)
{
    // Only the name is searched for the dot and the brackets: a folder part that the name may
    // carry joins the directory, so dots or brackets in folder names change nothing.
    folderPath = directory;
    name = romName;
    const std::size_t separator = romName.rfind(kPathSeparator);
    if (separator != std::string::npos) {
        folderPath += romName.substr(0, separator + 1);
        name = romName.substr(separator + 1);
    }
}

std::string SnapshotFinder::find(const std::string &directory, const std::string &romName)
{
    return search(directory, romName).path;
}

SnapshotSearch SnapshotFinder::search(const std::string &directory, const std::string &romName)
{
    std::string folderPath, name;
    splitFolder(directory, romName, folderPath, name);
    if (firstPattern(name).empty() && secondPattern(name).empty())
        return match(std::move(folderPath), romName, name, nullptr);
    const FolderPtr entries = folder(folderPath);
    return match(std::move(folderPath), romName, name, entries.get());
}

std::optional<SnapshotSearch> SnapshotFinder::searchHeld(const std::string &directory, const std::string &romName)
{
    std::string folderPath, name;
    splitFolder(directory, romName, folderPath, name);
    if (firstPattern(name).empty() && secondPattern(name).empty())
        return match(std::move(folderPath), romName, name, nullptr);
    const std::optional<FileStamp> stamp = folderStamp(folderPath);
    if (!stamp)
        return std::nullopt;
    FolderPtr held;
    {
        const std::lock_guard lock(m_mutex);
        held = heldFolder(folderPath, *stamp);
    }
    if (!held)
        return std::nullopt;
    return match(std::move(folderPath), romName, name, held.get());
}

SnapshotSearch SnapshotFinder::match(std::string folderPath, const std::string &romName, const std::string &name,
                                     const Folder *folder) const
{
    SnapshotSearch result;
    result.romName = romName;
    for (std::string pattern : {firstPattern(name), secondPattern(name)}) {
        if (pattern.empty())
            continue;
        result.attempts.push_back({folderPath, pattern});
        if (!folder) {
            result.folderReadable = false;
            continue;
        }
        const std::string found = firstMatch(*folder, pattern);
        if (!found.empty()) {
            result.path = folderPath + found;
            return result;
        }
    }
    result.path = m_fallback;
    result.fellBack = true;
    return result;
}

SnapshotFinder::FolderPtr SnapshotFinder::heldFolder(const std::string &directory, const FileStamp &stamp)
{
    const auto held = m_folders.find(directory);
    if (held == m_folders.end() || !held->second.folder->settled || !(held->second.folder->stamp == stamp))
        return nullptr;
    m_useOrder.splice(m_useOrder.begin(), m_useOrder, held->second.use);
    return held->second.folder;
}

SnapshotFinder::FolderPtr SnapshotFinder::folder(const std::string &directory)
{
    // The clock is read before the folder, so a change made while it is read is newer than it.
    const long long readAt = nowNs();
    const std::optional<FileStamp> stamp = folderStamp(directory);
    if (!stamp) {
        const std::lock_guard lock(m_mutex);
        keep(directory, nullptr);
        return nullptr;
    }
    {
        const std::lock_guard lock(m_mutex);
        if (FolderPtr held = heldFolder(directory, *stamp))
            return held;
    }

    // Read without the lock: other look-ups go on meanwhile. Two threads may read the same folder
    // at once; the later one to finish replaces the other's names, read under the same rules.
    std::vector<DirectoryEntry> entries;
    if (!m_reader(directory, entries)) {
        // Not kept: a folder that becomes readable again keeps its time stamp.
        const std::lock_guard lock(m_mutex);
        keep(directory, nullptr);
        return nullptr;
    }

    std::vector<std::pair<std::string, std::string>> sorted; // folded name, name
    sorted.reserve(entries.size());
    for (DirectoryEntry &entry : entries) {
        // A folder is never a picture, whatever its name.
        if (!entry.isDirectory)
            sorted.emplace_back(foldedAscii(entry.name), std::move(entry.name));
    }
    std::sort(sorted.begin(), sorted.end());

    auto fresh = std::make_shared<Folder>();
    fresh->stamp = *stamp;
    fresh->settled = stamp->modifiedNs + kStampGranularityNs < readAt;
    fresh->names.reserve(sorted.size());
    fresh->foldedNames.reserve(sorted.size());
    for (auto &[foldedName, name] : sorted) {
        fresh->foldedNames.push_back(std::move(foldedName));
        fresh->names.push_back(std::move(name));
    }
    const std::lock_guard lock(m_mutex);
    keep(directory, fresh);
    return fresh;
}

void SnapshotFinder::keep(const std::string &directory, FolderPtr folder)
{
    const auto held = m_folders.find(directory);
    if (held != m_folders.end()) {
        m_heldNames -= held->second.folder->names.size();
        m_useOrder.erase(held->second.use);
        m_folders.erase(held);
    }
    if (!folder)
        return;
    m_heldNames += folder->names.size();
    m_useOrder.push_front(directory);
    m_folders.emplace(directory, Held{std::move(folder), m_useOrder.begin()});
    // The least recently used go first; the folder just kept stays whatever its size.
    while (m_useOrder.size() > 1 && (m_useOrder.size() > m_limits.maxFolders || m_heldNames > m_limits.maxNames)) {
        const auto oldest = m_folders.find(m_useOrder.back());
        m_heldNames -= oldest->second.folder->names.size();
        m_folders.erase(oldest);
        m_useOrder.pop_back();
    }
}

std::string SnapshotFinder::firstMatch(const Folder &folder, const std::string &pattern)
{
    // Both patterns are a name's beginning followed by "*". The beginning is compared as it is,
    // ignoring case: a "*" or "?" in a ROM's name is an ordinary character of a file name here,
    // so "a?c.nes" looks for "a?c.png", never for "abc.png". The names that begin with it are
    // found by binary search.
    const std::string prefix = foldedAscii(std::string_view(pattern).substr(0, pattern.size() - 1));
    auto it = std::lower_bound(folder.foldedNames.begin(), folder.foldedNames.end(), prefix);
    const std::string *best = nullptr;
    for (; it != folder.foldedNames.end() && it->compare(0, prefix.size(), prefix) == 0; ++it) {
        const std::string &name = folder.names[static_cast<std::size_t>(it - folder.foldedNames.begin())];
        if (!best || NameOrder::less(name, *best))
            best = &name;
    }
    return best ? *best : std::string();
}

} // namespace marlit
