#pragma once

#include "core/fs/DirectoryReader.h"
#include "core/fs/FileStamp.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace marlit {

// One folder as a folder reader listed it for the game lists: every entry with its type, in name
// order, and the folder's stamp taken before the read (none: it was not there).
struct FolderEntries
{
    std::string folder; // ends with the separator
    int error = 0;      // errno of a folder that could not be read; 0 when read
    std::optional<FileStamp> stamp;
    std::vector<DirectoryEntry> entries;

    bool operator==(const FolderEntries &) const = default;
};

// Listed folders by their path (ending with the separator).
using FolderEntriesByPath = std::unordered_map<std::string, FolderEntries>;

} // namespace marlit
