// Browsing a large collection: the folder tree and ROM list of a system selection, and the ROM
// list of a folder of 50,000 files, each against a plain readdir of the same files.

#include "BenchSupport.h"
#include "CollectionGenerator.h"

#include "core/browse/FolderTreeScanner.h"
#include "core/browse/RomListing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using marlit::RomSearch;
using marlit::FolderNode;
using marlit::FolderTreeScanner;
using marlit::RomListing;
using namespace marlit::bench;

namespace {

std::size_t countNodes(const std::vector<FolderNode> &nodes)
{
    std::size_t count = nodes.size();
    for (const FolderNode &node : nodes)
        count += countNodes(node.children);
    return count;
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    const std::string root = (std::filesystem::temp_directory_path() / "marlit-bench-browse").string() + "/";
    const std::string flat = root + "flat/";
    const std::string deep = root + "deep/";

    const auto start = std::chrono::steady_clock::now();
    if (!CollectionGenerator::makeFlatFolder(flat) || !CollectionGenerator::makeDeepTree(deep)) {
        std::fprintf(stderr, "cannot make the collections under %s\n", root.c_str());
        return 1;
    }
    std::printf("collections ready under %s in %.0f ms\n", root.c_str(), elapsedMs(start));

    RomSearch marioSearch;
    marioSearch.apply("mario");
    RomSearch filterJapanese;
    filterJapanese.toggleMode();
    filterJapanese.apply("(J)");

    // What each measurement sees, so a broken collection cannot pass for a fast one.
    std::vector<std::string> all;
    plainReaddir(deep, all, true);
    const std::vector<FolderNode> tree = FolderTreeScanner::scan(deep).folders;
    std::printf("deep tree: %zu entries, %zu folders in the tree; flat folder: %zu files, %zu match \"mario\"\n",
                all.size(), countNodes(tree), RomListing::list(flat, RomSearch{}).size(),
                RomListing::list(flat, marioSearch).size());

    const std::vector<Timing> deepTimings =
        measureInterleaved(runs, {[&] {
                                      std::vector<std::string> names;
                                      plainReaddir(deep, names, true);
                                  },
                                  [&] {
                                      FolderTreeScanner::scan(deep);
                                      RomListing::list(deep, RomSearch{});
                                  }});
    const std::vector<Timing> flatTimings =
        measureInterleaved(runs, {[&] {
                                      std::vector<std::string> names;
                                      plainReaddir(flat, names, false);
                                  },
                                  [&] { RomListing::list(flat, RomSearch{}); },
                                  [&] { RomListing::list(flat, marioSearch); },
                                  [&] { RomListing::list(flat, filterJapanese); }});
    const Timing &deepBaseline = deepTimings[0];
    const Timing &selection = deepTimings[1];
    const Timing &flatBaseline = flatTimings[0];
    const Timing &flatList = flatTimings[1];
    const Timing &flatSearch = flatTimings[2];
    const Timing &flatFilter = flatTimings[3];

    report("deep tree: plain readdir walk (baseline)", deepBaseline, deepBaseline);
    report("deep tree: folder tree scan + root listing", selection, deepBaseline);
    report("flat folder: plain readdir (baseline)", flatBaseline, flatBaseline);
    report("flat folder: ROM list, sorted", flatList, flatBaseline);
    report("flat folder: ROM list, search \"mario\"", flatSearch, flatBaseline);
    report("flat folder: ROM list, filter out \"(J)\"", flatFilter, flatBaseline);

    verdict("system selection (tree + root list)", selection, deepBaseline, 1.5);
    verdict("flat ROM list", flatList, flatBaseline, 3.0);
    return 0;
}
