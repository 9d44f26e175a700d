#pragma once

#include "core/browse/RomNames.h"
#include "core/browse/RomSearch.h"
#include "core/fs/DirectoryReader.h"

#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace marlit {

// The file names that the ROM list shows for one folder.
class RomListing
{
public:
    // The game files (never folders, never names that begin with a dot) of folder that match one
    // of fileTypes (wildcard patterns; none: every file), that the search's pattern matches and
    // that it keeps, sorted ignoring case by their title (GameTitle). A file that a listed sheet
    // or list names (SheetFiles: a disc's tracks, a game's discs) is left out: the sheet's row
    // stands for it. A folder that cannot be read gives an empty list.
    static std::vector<std::string> list(const std::string &folder, const RomSearch &search,
                                         const std::vector<std::string> &fileTypes = {});
    // The same for a folder's entries read already.
    // A listed sheet that names a file its folder does not hold still shows; missing hears the two.
    static std::vector<std::string> fromEntries(std::vector<DirectoryEntry> entries, const RomSearch &search,
                                                const std::vector<std::string> &fileTypes = {},
                                                const std::string &folder = {}, MissingParts *missing = nullptr);
    // Every game file of root and its sub-folders (not those whose names begin with a dot; a link
    // that leads back to a folder read already is not followed again), as its path below root
    // ("A/Aladdin (USA).md"), each folder's files chosen as fromEntries() does and all of them
    // sorted by title. Gives 0, or the errno of root when it cannot be read (its sub-folders that
    // cannot be read add nothing). progress hears the count found after each folder; onFolderRead
    // each folder read, by its path below root ("" for root), with its state before it was read.
    static int listAll(const std::string &root, const RomSearch &search, const std::vector<std::string> &fileTypes,
                       std::vector<std::string> &names, const std::function<void(std::size_t)> &progress = {},
                       const std::function<void(const std::string &, const struct stat &)> &onFolderRead = {},
                       MissingParts *missing = nullptr);
    // Whether a listed name comes before another: by title ignoring case, then by name.
    static bool before(std::string_view a, std::string_view b);
};

} // namespace marlit
