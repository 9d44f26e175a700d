#pragma once

#include "core/browse/FolderEntries.h"

#include <cstddef>
#include <string>
#include <vector>

namespace marlit {

// Lists the folders where other front-ends keep game lists and pictures, as a folder reader
// process does for the window (what may stick in the kernel runs there), and as tests do in
// their own process.
class FolderEntriesWalk
{
public:
    // Far more than a system's pictures; a walk stops there.
    static constexpr std::size_t kMaxEntries = 500'000;
    static constexpr std::size_t kMaxFolders = 20'000;
    static constexpr std::size_t kMaxFolderListBytes = 1 << 20;

    // folder (ending with the separator), then its sub-folders (and links to folders) down to
    // depth levels below it, each stamped before it is read. folder comes first, with its error
    // when it cannot be read; a sub-folder that cannot be read is left out.
    static std::vector<FolderEntries> walk(const std::string &folder, int depth);

    // The folders that listFile names, one a line (absolute, or "~/" from home; others passed
    // over), that hold folder without being folder, each ending with the separator, once.
    static std::vector<std::string> foldersHolding(const std::string &listFile, const std::string &folder,
                                                   const std::string &home);
};

} // namespace marlit
