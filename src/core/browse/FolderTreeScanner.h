#pragma once

#include "core/fs/DirectoryReader.h"

#include <string>
#include <vector>

namespace marlit {

struct FolderNode
{
    std::string name;
    std::vector<FolderNode> children; // sorted ignoring case

    bool operator==(const FolderNode &) const = default;
};

// The folder hierarchy below a system's ROM directory, read depth first in one pass. Folders
// whose names begin with "." are left out; links are followed, but a folder is never entered
// twice on one path (same device and inode), so a link back to an ancestor ends there.
class FolderTreeScanner
{
public:
    // The sub-folders of root (which ends with the separator, or is empty for the working
    // directory). A folder that cannot be read has no children.
    static std::vector<FolderNode> scan(const std::string &root);
    // The same, with the root's own entries already read (a system selection reads the ROM
    // directory once for both the tree and the ROM list).
    static std::vector<FolderNode> scan(const std::string &root, const std::vector<DirectoryEntry> &rootEntries);
};

} // namespace marlit
