#pragma once

#include "core/fs/DirectoryReader.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace marlit {

struct FolderNode
{
    std::string name;
    std::vector<FolderNode> children; // sorted ignoring case

    bool operator==(const FolderNode &) const = default;
};

// The sub-folders of a ROM directory, whether the tree had to be cut at its bound, and why the
// directory itself could not be opened (its errno; 0 when it was).
struct FolderTree
{
    std::vector<FolderNode> folders;
    bool cut = false;
    int error = 0;
    // Folders that did not answer in time (a hung share reached through a link), by their path
    // from the root ("A/B"): shown without children, and the walk went on without them.
    std::vector<std::string> unanswered;

    bool operator==(const FolderTree &) const = default;
};

// What a scan of a folder tree is bounded by, and told of.
struct FolderScanOptions
{
    // Far above the folders of a large collection; it bounds what a link to "/" can bring in.
    static constexpr std::size_t kMaxFolders = 50'000;
    // How long a folder below the root may take to answer, and how many that did not a process
    // leaves threads to before its walks stop at the next (later walks pass over those, marked).
    static constexpr int kAnswerMs = 2000;
    static constexpr int kMaxUnanswered = 4;

    std::size_t maxFolders = kMaxFolders;
    int answerMs = kAnswerMs;
    // Called with each folder once its sub-folders are read (the root included): its path from
    // the root ("" for the root, "A/B" below it) and its state before it was read, so that a
    // change made before it is watched shows as a state that is no longer that one.
    std::function<void(const std::string &path, const struct stat &before)> onFolderRead = {};
};

// The folder hierarchy below a system's ROM directory, read level by level, so that a tree cut
// at its bound still shows every upper level. Folders whose names begin with "." are left out;
// links to folders are followed and shown as folders, but each real folder (device and inode) is
// read once wherever it is reached: a second path to it, such as a link back to an ancestor or
// many links to one folder, shows as a folder without children. The folders below the root are
// read on a thread of the scan's: one that does not answer in time is left to it, marked, and
// the walk goes on with a new thread.
class FolderTreeScanner
{
public:
    using Options = FolderScanOptions;
    static constexpr std::size_t kMaxFolders = FolderScanOptions::kMaxFolders;

    // The sub-folders of root (which ends with the separator, or is empty for the working
    // directory). A folder that cannot be read has no children.
    static FolderTree scan(const std::string &root, const Options &options = {});
    // The same, with the root's own entries already read (one read of the ROM directory serves
    // both the tree and the ROM list).
    static FolderTree scan(const std::string &root, const std::vector<DirectoryEntry> &rootEntries,
                           const Options &options = {});
};

} // namespace marlit
