#pragma once

#include "core/fs/DirectoryReader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace marlit {

// How the search text narrows the ROM list.
enum class FilterMode : std::uint8_t { SearchFor = 0, FilterOut = 1 };

// The file names that the ROM list shows for one folder.
class RomListing
{
public:
    // The search pattern of the folder: "*.*" when filtering out, else "*" + searchText + "*".
    static std::string searchPattern(FilterMode mode, const std::string &searchText);

    // The files (never folders) of folder that the pattern matches, less, when a filter text is
    // applied, the names that contain it (case-sensitive). Sorted ignoring case. A folder that
    // cannot be read gives an empty list.
    static std::vector<std::string> list(const std::string &folder, FilterMode mode, bool searchApplied,
                                         const std::string &searchText);
    // The same for a folder's entries read already.
    static std::vector<std::string> fromEntries(std::vector<DirectoryEntry> entries, FilterMode mode,
                                                bool searchApplied, const std::string &searchText);
};

} // namespace marlit
