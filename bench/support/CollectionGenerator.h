#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace marlit::bench {

// Large ROM collections on disk for the browsing benchmarks: empty files with names such as
// collections hold (blanks, brackets, several dots, many extensions, some non-ASCII UTF-8).
// A collection that an earlier run finished is reused; an unfinished one is made again.
class CollectionGenerator
{
public:
    // count different file names; the same count and seed always give the same names.
    static std::vector<std::string> romNames(std::size_t count, std::uint32_t seed = 1);

    // One folder (path ending with the separator) holding fileCount files.
    static bool makeFlatFolder(const std::string &folder, std::size_t fileCount = 50000);

    // One folder of sheetCount disc games: each a cue sheet naming its track, an empty .bin
    // beside it.
    static bool makeCueFolder(const std::string &folder, std::size_t sheetCount = 20000);

    // A tree three levels deep below root: leafFolders folders on the third level share fileCount
    // files; the levels above hold folders only.
    static bool makeDeepTree(const std::string &root, std::size_t fileCount = 100000, std::size_t leafFolders = 2000);
};

} // namespace marlit::bench
