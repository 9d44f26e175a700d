// Folder reads in the real window, through the reader processes: a ROM folder of 100,000 names
// on a share that answers after a delay (FUSE, needs root), and 1,000 files copied into a shown
// local folder of 100,000. For each, the time until the names are shown against a plain readdir
// of the same folder in the same run, and the UI thread's longest turn of the event loop on the
// way (the whole read was one such block when the window read folders itself).

#include "BenchSupport.h"
#include "CollectionGenerator.h"
#include "FuseMount.h"
#include "TimedApplication.h"

#include "gui/browse/RomFolderReader.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/SystemListBox.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <unistd.h>

using namespace marlit::bench;
using Clock = std::chrono::steady_clock;

namespace {

struct Sample
{
    double shownMs;
    double longestTurnMs;
};

// The longest turn against the plain read, the block the window had when it read its folders
// itself (sorting and filling the list came on top of it).
void reportTurns(const char *what, const std::vector<double> &turns, const Timing &read)
{
    const Timing timing = summarise(turns);
    report(what, timing, read);
    std::printf("  %-46s %.2f ms (target < 8 ms): %s\n", "longest UI turn, median", timing.medianMs,
                timing.medianMs < 8.0 ? "met" : "MISSED");
}

} // namespace

int main(int argc, char **argv)
{
    TimedApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 7;
    constexpr int kNames = 100'000;
    constexpr int kAdded = 1'000;

    QTemporaryDir workspace;
    const std::string work = workspace.path().toStdString() + "/";
    const std::string local = (std::filesystem::temp_directory_path() / "marlit-bench-refresh").string() + "/";
    if (!CollectionGenerator::makeFlatFolder(local, kNames)) {
        std::fprintf(stderr, "cannot make the collection under %s\n", local.c_str());
        return 1;
    }
    for (int i = 0; i < kAdded; ++i) // left by a run that was stopped
        std::filesystem::remove(local + "Added " + std::to_string(i) + ".nes");
    std::filesystem::create_directories(work + "share");
    std::filesystem::create_directories(work + "small");
    std::ofstream(work + "small/one.nes").put('\n');
    marlit::test::FuseMount share(work + "share", {"--delay-ms", "200", "--slow-names", std::to_string(kNames)});
    const bool shared = share.mounted();
    if (!shared)
        std::fprintf(stderr, "no share (%s): its figures are left out\n", share.failure().c_str());
    std::ofstream(work + "classic.ini", std::ios::binary)
        << catalogueRecord("Small", work + "small/") << catalogueRecord("Share", share.path() + "slow/")
        << catalogueRecord("Local", local);

    auto frame = std::make_unique<MainFrame>(work);
    frame->show();
    RomFolderReader &reader = frame->romFolderReader();
    reader.waitForIdle();
    auto *systems = frame->findChild<SystemListBox *>(QStringLiteral("systemList"));
    auto *roms = frame->findChild<RomListBox *>(QStringLiteral("romList"));
    // A selection, timed as the turn it is, then the events until count names are shown.
    const auto select = [&](int row, int count) {
        app.resetLongestTurn();
        const auto start = Clock::now();
        systems->setCurrentRow(row);
        frame->OnSelChangeSystem();
        app.longestTurnMs = elapsedMs(start);
        runUntil([&] { return roms->count() == count && !reader.reading(); });
        roms->viewport()->repaint();
        return Sample{elapsedMs(start), app.longestTurnMs};
    };

    std::vector<double> readdirMs, shownMs, turnMs;
    if (shared) {
        for (int run = 0; run <= runs; ++run) {
            select(0, 1);
            auto start = Clock::now();
            std::vector<std::string> names;
            plainReaddir(share.path() + "slow/", names, false);
            const double baseline = elapsedMs(start);
            const Sample sample = select(1, kNames);
            if (run == 0)
                continue; // warms the caches and the readers
            readdirMs.push_back(baseline);
            shownMs.push_back(sample.shownMs);
            turnMs.push_back(sample.longestTurnMs);
        }
        const Timing baseline = summarise(readdirMs);
        std::printf("share: %d names after a 200 ms delay\n", kNames);
        report("share: plain readdir (baseline)", baseline, baseline);
        report("share: selection until the names are shown", summarise(shownMs), baseline);
        reportTurns("share: longest UI turn on the way", turnMs, baseline);
    }

    // A thousand files copied into the shown folder, by another thread, all at once.
    readdirMs.clear(), shownMs.clear(), turnMs.clear();
    select(2, kNames);
    for (int run = 0; run <= runs; ++run) {
        std::thread copy([&] {
            for (int i = 0; i < kAdded; ++i)
                std::ofstream(local + "Added " + std::to_string(i) + ".nes").put('\n');
        });
        copy.join();
        const auto start = Clock::now();
        app.resetLongestTurn();
        runUntil([&] { return roms->count() == kNames + kAdded; });
        roms->viewport()->repaint();
        const double shown = elapsedMs(start);
        const double turn = app.longestTurnMs;
        auto readStart = Clock::now();
        std::vector<std::string> names;
        plainReaddir(local, names, false);
        const double baseline = elapsedMs(readStart);
        for (int i = 0; i < kAdded; ++i)
            std::filesystem::remove(local + "Added " + std::to_string(i) + ".nes");
        runUntil([&] { return roms->count() == kNames && !reader.reading(); });
        if (run == 0)
            continue;
        readdirMs.push_back(baseline);
        shownMs.push_back(shown);
        turnMs.push_back(turn);
    }
    const Timing baseline = summarise(readdirMs);
    std::printf("live refresh: %d files added to a shown folder of %d\n", kAdded, kNames);
    report("refresh: plain readdir of the folder (baseline)", baseline, baseline);
    report("refresh: last file written until shown", summarise(shownMs), baseline);
    reportTurns("refresh: longest UI turn on the way", turnMs, baseline);

    frame->writeSettings(); // into the temporary workspace
    frame.reset();
    return 0;
}
