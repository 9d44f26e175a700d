#include "core/catalogue/NewWorkspace.h"

#include "core/catalogue/CatalogueFile.h"
#include "core/catalogue/CategoryTable.h"
#include "core/fs/Paths.h"

#include <algorithm>
#include <sys/stat.h>

namespace marlit {

namespace {

constexpr std::string_view kOfferedNote =
    "Marlit offered here, at its first start, to add a system for each emulator it found.\n"
    "Delete this file to be offered that again at the next start, while every system is blank.\n";

std::string offeredFile(const std::string &folder)
{
    return withTrailingSeparator(folder) + std::string(NewWorkspace::kOfferedFileName);
}

} // namespace

bool NewWorkspace::holdsOnlyBlankSystems(const std::string &folder)
{
    const std::string prefix = withTrailingSeparator(folder);
    for (int index = 0; index < CategoryTable::kCount; ++index) {
        // A file that cannot be read may hold the user's systems: it is not taken for a blank one.
        const std::optional<std::string> bytes = SafeFile::readAll(prefix + CategoryTable::fileName(index));
        if (!bytes)
            return false;
        const CategoryCatalogue catalogue = CatalogueFile::parse(*bytes);
        if (!std::all_of(catalogue.entries().begin(), catalogue.entries().end(),
                         [](const SystemEntry &entry) { return entry.isBlank(); }))
            return false;
    }
    return true;
}

bool NewWorkspace::wasOffered(const std::string &folder)
{
    struct stat info
    {
    };
    return ::lstat(offeredFile(folder).c_str(), &info) == 0;
}

WriteResult NewWorkspace::markOffered(const std::string &folder)
{
    return SafeFile::writeAll(offeredFile(folder), kOfferedNote);
}

} // namespace marlit
