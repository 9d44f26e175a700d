#include "core/browse/RomFolderPath.h"

#include "core/fs/Paths.h"

namespace marlit {

std::string RomFolderPath::fromTreePath(const std::string &romRoot, const std::vector<std::string> &names)
{
    std::string folder = romRoot;
    for (const std::string &name : names) {
        folder += name;
        folder += kPathSeparator;
    }
    return folder;
}

} // namespace marlit
