#pragma once

#include <string>
#include <vector>

namespace marlit {

// Turns a place in the folder tree back into a folder path.
class RomFolderPath
{
public:
    // romRoot followed by each name (from the root's child down to the selected item) and a
    // separator. No names: romRoot itself.
    static std::string fromTreePath(const std::string &romRoot, const std::vector<std::string> &names);
};

} // namespace marlit
