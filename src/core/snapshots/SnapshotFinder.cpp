#include "core/snapshots/SnapshotFinder.h"

#include "core/fs/Paths.h"
#include "core/fs/DirectoryReader.h"
#include "core/browse/NameOrder.h"
#include "core/browse/WildcardMatch.h"
#include "core/fs/AsciiCase.h"

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

long long nanoseconds(const timespec &time)
{
    return static_cast<long long>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

} // namespace

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

std::string SnapshotFinder::find(const std::string &directory, const std::string &romName)
{
    // Only the name is searched for the dot and the brackets: a folder part that the name may
    // carry joins the directory, so dots or brackets in folder names change nothing.
    std::string folderPath = directory;
    std::string name = romName;
    const std::size_t separator = romName.rfind(kPathSeparator);
    if (separator != std::string::npos) {
        folderPath += romName.substr(0, separator + 1);
        name = romName.substr(separator + 1);
    }

    const std::string patterns[] = {firstPattern(name), secondPattern(name)};
    if (patterns[0].empty() && patterns[1].empty())
        return m_fallback;

    const std::lock_guard lock(m_mutex);
    const Folder &entries = folder(folderPath);
    for (const std::string &pattern : patterns) {
        if (pattern.empty())
            continue;
        std::string match = firstMatch(entries, pattern);
        if (!match.empty())
            return folderPath + match;
    }
    return m_fallback;
}

SnapshotFinder::SnapshotFinder(std::string fallbackPicture) : m_fallback(std::move(fallbackPicture))
{
}

const SnapshotFinder::Folder &SnapshotFinder::folder(const std::string &directory)
{
    static const Folder kEmpty;

    // The clock is read before the folder, so a change made while it is read is newer than it.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    struct stat info
    {
    };
    if (stat(directory.empty() ? "." : directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        m_folders.erase(directory);
        return kEmpty;
    }

    const auto cached = m_folders.find(directory);
    if (cached != m_folders.end()) {
        const Folder &known = cached->second;
        if (known.settled && known.modifiedSeconds == info.st_mtim.tv_sec &&
            known.modifiedNanoseconds == info.st_mtim.tv_nsec && known.device == info.st_dev &&
            known.inode == info.st_ino)
            return known;
    }

    std::vector<DirectoryEntry> entries;
    if (!DirectoryReader::list(directory, entries)) {
        // Not kept: a folder that becomes readable again keeps its time stamp.
        m_folders.erase(directory);
        return kEmpty;
    }

    std::vector<std::pair<std::string, std::string>> sorted; // folded name, name
    sorted.reserve(entries.size());
    for (DirectoryEntry &entry : entries) {
        // A folder is never a picture, whatever its name.
        if (!entry.isDirectory)
            sorted.emplace_back(foldedAscii(entry.name), std::move(entry.name));
    }
    std::sort(sorted.begin(), sorted.end());

    Folder fresh;
    fresh.modifiedSeconds = info.st_mtim.tv_sec;
    fresh.modifiedNanoseconds = info.st_mtim.tv_nsec;
    fresh.device = info.st_dev;
    fresh.inode = info.st_ino;
    fresh.settled = nanoseconds(info.st_mtim) + kStampGranularityNs < nanoseconds(now);
    fresh.names.reserve(sorted.size());
    fresh.foldedNames.reserve(sorted.size());
    for (auto &[foldedName, name] : sorted) {
        fresh.foldedNames.push_back(std::move(foldedName));
        fresh.names.push_back(std::move(name));
    }
    Folder &stored = m_folders[directory];
    stored = std::move(fresh);
    return stored;
}

std::string SnapshotFinder::firstMatch(const Folder &folder, const std::string &pattern)
{
    // Every match begins with the pattern's literal part, so only the names that begin with it
    // (ignoring case) are tried: usually a handful found by binary search. A name holding "*" or
    // "?" shortens the literal part and the range grows towards a plain scan.
    const std::string prefix = foldedAscii(std::string_view(pattern).substr(0, pattern.find_first_of("*?")));
    auto it = std::lower_bound(folder.foldedNames.begin(), folder.foldedNames.end(), prefix);
    const std::string *best = nullptr;
    for (; it != folder.foldedNames.end() && it->compare(0, prefix.size(), prefix) == 0; ++it) {
        const std::string &name = folder.names[static_cast<std::size_t>(it - folder.foldedNames.begin())];
        if (WildcardMatch::matches(pattern, name) && (!best || NameOrder::less(name, *best)))
            best = &name;
    }
    return best ? *best : std::string();
}

} // namespace marlit
