// Browsing a large collection: the folder tree and ROM list of a system selection, and the ROM
// list of a folder of 50,000 files, each against a plain readdir of the same files.

#include "BenchSupport.h"
#include "CollectionGenerator.h"

#include "browse/FolderTreeScanner.h"
#include "browse/RomListing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <dirent.h>

using marlit::FilterMode;
using marlit::FolderNode;
using marlit::FolderTreeScanner;
using marlit::RomListing;
using namespace marlit::bench;

namespace {

// The baseline: every name of a folder, no stat, no sort; folders by d_type only.
void plainList(const std::string &folder, std::vector<std::string> &names, bool recurse)
{
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        names.push_back(name);
        if (recurse && entry->d_type == DT_DIR)
            plainList(folder + name + "/", names, true);
    }
    closedir(dir);
}

std::size_t countNodes(const std::vector<FolderNode> &nodes)
{
    std::size_t count = nodes.size();
    for (const FolderNode &node : nodes)
        count += countNodes(node.children);
    return count;
}

// Times the baseline and each candidate in turn, run after run, so that a change in the load of
// the machine during the benchmark touches all of them alike.
std::vector<Timing> measureInterleaved(int runs, const std::vector<std::function<void()>> &works)
{
    std::vector<std::vector<double>> samples(works.size());
    for (const auto &work : works)
        work();
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < works.size(); ++i) {
            const auto start = std::chrono::steady_clock::now();
            works[i]();
            samples[i].push_back(elapsedMs(start));
        }
    }
    std::vector<Timing> timings;
    for (auto &series : samples)
        timings.push_back(summarise(std::move(series)));
    return timings;
}

void verdict(const char *what, const Timing &timing, const Timing &baseline, double target)
{
    const double ratio = timing.medianMs / baseline.medianMs;
    std::printf("  %-46s %.2fx (target <= %.1fx): %s\n", what, ratio, target, ratio <= target ? "met" : "MISSED");
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

    // What each measurement sees, so a broken collection cannot pass for a fast one.
    std::vector<std::string> all;
    plainList(deep, all, true);
    const std::vector<FolderNode> tree = FolderTreeScanner::scan(deep);
    std::printf("deep tree: %zu entries, %zu folders in the tree; flat folder: %zu files, %zu match \"mario\"\n",
                all.size(), countNodes(tree), RomListing::list(flat, FilterMode::SearchFor, false, ".").size(),
                RomListing::list(flat, FilterMode::SearchFor, true, "mario").size());

    const std::vector<Timing> deepTimings =
        measureInterleaved(runs, {[&] {
                                      std::vector<std::string> names;
                                      plainList(deep, names, true);
                                  },
                                  [&] {
                                      FolderTreeScanner::scan(deep);
                                      RomListing::list(deep, FilterMode::SearchFor, false, ".");
                                  }});
    const std::vector<Timing> flatTimings =
        measureInterleaved(runs, {[&] {
                                      std::vector<std::string> names;
                                      plainList(flat, names, false);
                                  },
                                  [&] { RomListing::list(flat, FilterMode::SearchFor, false, "."); },
                                  [&] { RomListing::list(flat, FilterMode::SearchFor, true, "mario"); },
                                  [&] { RomListing::list(flat, FilterMode::FilterOut, true, "(J)"); }});
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
