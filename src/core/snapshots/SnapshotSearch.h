#pragma once

#include <string>
#include <vector>

namespace marlit {

// One place a picture was looked for: a file-name pattern in a folder.
struct SnapshotAttempt
{
    std::string folder; // ends with the separator
    std::string pattern;

    friend bool operator==(const SnapshotAttempt &, const SnapshotAttempt &) = default;
};

// How the picture of one slot was found: the file to show (the fallback picture when nothing
// matched) and each pattern tried for it, in the order tried.
struct SnapshotSearch
{
    std::string romName; // empty for a file named outright (a system's default picture)
    std::string path;
    std::vector<SnapshotAttempt> attempts;
    bool fellBack = false;      // nothing matched: path is the fallback picture
    bool folderReadable = true; // false: the folder is missing or cannot be read
    // A picture found but not shown (too large, damaged): path is then the fallback picture.
    std::string unreadablePath;
    std::string unreadableReason;

    // Why a cell shows the fallback picture or nothing, in lines for the user: the patterns looked
    // for and where. pictureRead: whether the file found could be read as a picture. Empty when
    // the cell shows the picture that was found.
    std::string whyNoPicture(bool pictureRead) const;
};

} // namespace marlit
