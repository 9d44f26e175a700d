#pragma once

#include "core/fs/DirectoryReader.h"
#include "core/fs/FileStamp.h"
#include "core/snapshots/SnapshotSearch.h"

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace marlit {

// Finds the snapshot picture of a ROM in a snapshot folder: first the ROM's name with its
// extension replaced by ".*", then its title (the name before the first "[" or "(", less the one
// character before the bracket) with ".*", last the fallback picture. Among several matches the
// first in name order ignoring case is taken; folders never match. Only the final "*" of a
// pattern is a wildcard: a "*" or "?" in the ROM's name is one of its characters, as any other.
//
// A folder is read once and then looked up in memory until its modification time changes. The
// folders held are bounded: at most maxFolders of them and maxNames names in all (the folder
// used last is kept even when it alone holds more), the least recently used going first.
// Safe to call from several threads; a folder is read without holding the lock, so a look-up in
// a folder held in memory never waits for another folder being read.
class SnapshotFinder
{
public:
    static constexpr const char *kNoShotFile = "NoShot.png";

    struct Limits
    {
        std::size_t maxFolders = 64;
        std::size_t maxNames = 250'000; // about 25 MB of names
    };
    // Reads one folder's entries; false when it cannot be read.
    using FolderReader = std::function<bool(const std::string &folder, std::vector<DirectoryEntry> &entries)>;

    // fallbackPicture is what a look-up gives when nothing matches: "NoShot.png" in the folder
    // the program works in.
    explicit SnapshotFinder(std::string fallbackPicture = kNoShotFile);
    SnapshotFinder(std::string fallbackPicture, Limits limits, FolderReader reader = {});

    const std::string &fallbackPicture() const { return m_fallback; }

    // directory ends with the separator.
    std::string find(const std::string &directory, const std::string &romName);
    // The same, with the patterns tried on the way.
    SnapshotSearch search(const std::string &directory, const std::string &romName);
    // The same answer, but only from what is held in memory and still current: none when the
    // folder would have to be read. Costs one stat of the folder and never waits for a read.
    std::optional<SnapshotSearch> searchHeld(const std::string &directory, const std::string &romName);

    // The two patterns, as shown to the user: a name's beginning and "*"; empty when the name gives
    // none (no "." for the first; no bracket, or nothing before it, for the second).
    static std::string firstPattern(const std::string &romName);
    static std::string secondPattern(const std::string &romName);

private:
    struct Folder
    {
        FileStamp stamp; // of the folder, taken before it was read
        // False while the folder was changed too recently for its time stamp to tell a later
        // change apart (time stamps are coarse); such a folder is read again at the next look-up.
        bool settled = false;
        std::vector<std::string> names;       // sorted ignoring case
        std::vector<std::string> foldedNames; // the same, lower-cased, for prefix look-ups
    };
    using FolderPtr = std::shared_ptr<const Folder>;

    struct Held
    {
        FolderPtr folder;
        std::list<std::string>::iterator use; // place in m_useOrder
    };

    // The folder's names, read if needed; null when it cannot be read.
    FolderPtr folder(const std::string &directory);
    // The names held for directory if still current for its stamp; null otherwise. Under m_mutex.
    FolderPtr heldFolder(const std::string &directory, const FileStamp &stamp);
    void keep(const std::string &directory, FolderPtr folder); // under m_mutex
    static std::string firstMatch(const Folder &folder, const std::string &pattern);
    static void splitFolder(const std::string &directory, const std::string &romName, std::string &folderPath,
                            std::string &name);
    SnapshotSearch match(std::string folderPath, const std::string &romName, const std::string &name,
                         const Folder *folder) const;

    const std::string m_fallback;
    const Limits m_limits;
    const FolderReader m_reader;

    std::mutex m_mutex;
    std::unordered_map<std::string, Held> m_folders;
    std::list<std::string> m_useOrder; // most recently used first
    std::size_t m_heldNames = 0;
};

} // namespace marlit
