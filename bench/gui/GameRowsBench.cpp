// One row per game in the real window: "All Games" of a system kept in 100,000 files in 2,000
// folders, against a plain recursive readdir walk of them, with the UI thread's longest turn on
// the way; and a folder of 20,000 cue sheets with their tracks (each sheet read for the track it
// hides), against a plain readdir of it.

#include "BenchSupport.h"
#include "CollectionGenerator.h"
#include "TimedApplication.h"

#include "core/browse/RomListing.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/browse/RomFolderTree.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/SystemListBox.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace marlit::bench;
using Clock = std::chrono::steady_clock;

int main(int argc, char **argv)
{
    TimedApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 7;
    const std::string root = (std::filesystem::temp_directory_path() / "marlit-bench-browse").string() + "/";
    const std::string deep = root + "deep/";
    const std::string cues = root + "cues/";
    if (!CollectionGenerator::makeDeepTree(deep) || !CollectionGenerator::makeCueFolder(cues)) {
        std::fprintf(stderr, "cannot make the collections under %s\n", root.c_str());
        return 1;
    }
    std::vector<std::string> allGames;
    marlit::RomListing::listAll(deep, {}, {}, allGames);

    QTemporaryDir workspace;
    std::ofstream(workspace.filePath("classic.ini").toStdString(), std::ios::binary)
        << catalogueRecord("Deep", deep) << catalogueRecord("Cues", cues);
    MainFrame frame(workspace.path().toStdString());
    frame.show();
    QApplication::processEvents();
    auto *systems = frame.findChild<SystemListBox *>(QStringLiteral("systemList"));
    auto *tree = frame.findChild<RomFolderTree *>(QStringLiteral("folderTree"));
    auto *roms = frame.findChild<RomListBox *>(QStringLiteral("romList"));
    RomFolderReader &reader = frame.romFolderReader();
    const auto select = [&](int row) {
        systems->setCurrentRow(row);
        frame.OnSelChangeSystem();
        reader.waitForIdle();
        roms->viewport()->repaint();
    };
    // The rows are shown as soon as the first answer of a read is applied; a list whose sheets
    // hide files comes once more when they are read (usually unchanged), which the wait for idle
    // includes.
    Clock::time_point timedSince;
    double firstShownMs = -1;
    QObject::connect(&reader, &RomFolderReader::listRead, &frame, [&] {
        if (firstShownMs < 0) {
            roms->viewport()->repaint();
            firstShownMs = elapsedMs(timedSince);
        }
    });

    // "All Games" chosen in the tree of the shown system, until its rows are shown.
    std::vector<double> walkMs, shownMs, readMs, turnMs;
    for (int run = 0; run <= runs; ++run) {
        select(1);
        select(0);
        auto start = Clock::now();
        std::vector<std::string> names;
        plainReaddir(deep, names, true);
        const double walk = elapsedMs(start);
        app.resetLongestTurn();
        start = timedSince = Clock::now();
        firstShownMs = -1;
        tree->setCurrentItem(tree->viewItem(RomFolderTree::View::AllGames));
        reader.waitForIdle();
        roms->viewport()->repaint();
        const double read = elapsedMs(start);
        if (roms->count() != static_cast<int>(allGames.size()))
            std::fprintf(stderr, "All Games shows %d rows, not %zu\n", roms->count(), allGames.size());
        if (run == 0)
            continue; // warms the caches and the readers
        walkMs.push_back(walk);
        shownMs.push_back(firstShownMs);
        readMs.push_back(read);
        turnMs.push_back(app.longestTurnMs);
    }
    const Timing walk = summarise(walkMs);
    const Timing allShown = summarise(shownMs);
    const Timing allRead = summarise(readMs);
    const Timing turns = summarise(turnMs);
    std::printf("All Games: %zu games in 2,000 folders\n", allGames.size());
    report("plain recursive readdir walk (baseline)", walk, walk);
    report("\"All Games\" chosen until shown", allShown, walk);
    report("\"All Games\" until its sheets are read", allRead, walk);
    std::printf("  %-46s %.2f ms (target < 8 ms): %s\n", "longest UI turn, median", turns.medianMs,
                turns.medianMs < 8.0 ? "met" : "MISSED");

    // The folder of cue sheets, as a system selection until its rows are shown.
    std::vector<double> readdirMs, cueMs, cueReadMs;
    for (int run = 0; run <= runs; ++run) {
        select(0);
        auto start = Clock::now();
        std::vector<std::string> names;
        plainReaddir(cues, names, false);
        const double baseline = elapsedMs(start);
        start = timedSince = Clock::now();
        firstShownMs = -1;
        select(1);
        const double read = elapsedMs(start);
        if (run == 0)
            continue;
        readdirMs.push_back(baseline);
        cueMs.push_back(firstShownMs);
        cueReadMs.push_back(read);
    }
    const Timing cueBaseline = summarise(readdirMs);
    const Timing cueShown = summarise(cueMs);
    const Timing cueRead = summarise(cueReadMs);
    std::printf("cue folder: %d rows for %d sheets and their tracks\n", roms->count(), roms->count());
    report("cue folder: plain readdir (baseline)", cueBaseline, cueBaseline);
    report("cue folder: system selection until shown", cueShown, cueBaseline);
    report("cue folder: until its sheets are read", cueRead, cueBaseline);

    verdict("\"All Games\" until shown", allShown, walk, 1.5);
    verdict("cue folder until shown", cueShown, cueBaseline, 3.0);
    frame.writeSettings(); // into the temporary workspace
    return 0;
}
