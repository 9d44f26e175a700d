#pragma once

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace marlit {

// Finds the snapshot picture of a ROM in a snapshot folder: first the ROM's name with its
// extension replaced by ".*", then its title (the name before the first "[" or "(", less the one
// character before the bracket) with ".*", last the fallback picture. Among
// several matches the first in name order ignoring case is taken; folders never match. A folder is read once and then
// looked up in memory until its modification time changes. Safe to call from several threads.
class SnapshotFinder
{
public:
    static constexpr const char *kNoShotFile = "NoShot.png";

    // fallbackPicture is what find gives when nothing matches: "NoShot.png" in the folder the
    // program works in.
    explicit SnapshotFinder(std::string fallbackPicture = kNoShotFile);

    // directory ends with the separator.
    std::string find(const std::string &directory, const std::string &romName);

    // The two patterns, as file-name patterns inside the folder; empty when the name gives none
    // (no "." for the first; no bracket, or nothing before it, for the second).
    static std::string firstPattern(const std::string &romName);
    static std::string secondPattern(const std::string &romName);

private:
    struct Folder
    {
        long long modifiedSeconds = 0;
        long long modifiedNanoseconds = 0;
        unsigned long long device = 0; // a folder replaced by another of the same age is read again
        unsigned long long inode = 0;
        // False while the folder was changed too recently for its time stamp to tell a later
        // change apart (time stamps are coarse); such a folder is read again at the next look-up.
        bool settled = false;
        std::vector<std::string> names;       // sorted ignoring case
        std::vector<std::string> foldedNames; // the same, lower-cased, for prefix look-ups
    };

    const Folder &folder(const std::string &directory);
    static std::string firstMatch(const Folder &folder, const std::string &pattern);

    const std::string m_fallback;
    std::mutex m_mutex;
    std::unordered_map<std::string, Folder> m_folders;
};

} // namespace marlit
