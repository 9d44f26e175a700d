#pragma once

#include "core/browse/RomSearch.h"
#include "core/fs/DirectoryReader.h"

#include <string>
#include <vector>

namespace marlit {

// The file names that the ROM list shows for one folder.
class RomListing
{
public:
    // The files (never folders) of folder that the search's pattern matches and that it keeps,
    // sorted ignoring case. A folder that cannot be read gives an empty list.
    static std::vector<std::string> list(const std::string &folder, const RomSearch &search);
    // The same for a folder's entries read already.
    static std::vector<std::string> fromEntries(std::vector<DirectoryEntry> entries, const RomSearch &search);
};

} // namespace marlit
