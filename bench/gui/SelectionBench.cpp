// A full system selection in the real window (folder tree and ROM list read, sorted and sent by
// a reader process, then filled and painted, until shown and until all is watched) and an Apply with a search text,
// each against a plain readdir of the same folders.

#include "BenchSupport.h"
#include "CollectionGenerator.h"

#include "gui/browse/RomFolderReader.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/SystemListBox.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>

using namespace marlit::bench;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 11;
    const std::string root = (std::filesystem::temp_directory_path() / "marlit-bench-browse").string() + "/";
    const std::string flat = root + "flat/";
    const std::string deep = root + "deep/";
    if (!CollectionGenerator::makeFlatFolder(flat) || !CollectionGenerator::makeDeepTree(deep)) {
        std::fprintf(stderr, "cannot make the collections under %s\n", root.c_str());
        return 1;
    }

    QTemporaryDir workspace;
    std::ofstream(workspace.filePath("classic.ini").toStdString(), std::ios::binary)
        << catalogueRecord("Deep", deep) << catalogueRecord("Flat", flat);

    MainFrame frame(workspace.path().toStdString());
    frame.show();
    QApplication::processEvents();
    auto *systems = frame.findChild<SystemListBox *>(QStringLiteral("systemList"));
    auto *roms = frame.findChild<RomListBox *>(QStringLiteral("romList"));
    auto *edit = frame.findChild<QLineEdit *>(QStringLiteral("searchEdit"));
    auto *apply = frame.findChild<QPushButton *>(QStringLiteral("applyButton"));

    const auto select = [&](int row) {
        systems->setCurrentRow(row);
        frame.OnSelChangeSystem();
        frame.romFolderReader().waitForIdle(); // the reader processes' answers applied
        roms->viewport()->repaint();           // the list shown, not only filled
    };

    select(0);
    std::printf("deep system: %d ROMs in its root; ", roms->count());
    select(1);
    std::printf("flat system: %d ROMs\n", roms->count());

    // A selection is shown with the first answer that brings what it waits for: the deep tree's
    // tree (after its list), the flat folder's list. What follows (the tree's watch, the list's
    // sheets, usually unchanged) the wait for idle includes.
    struct Shown
    {
        bool byTree;
        std::vector<double> samples;
    };
    auto *tree = frame.findChild<QWidget *>(QStringLiteral("folderTree"));
    Shown *timing = nullptr;
    std::chrono::steady_clock::time_point since;
    const auto answered = [&](bool byTree) {
        if (timing && timing->byTree == byTree) {
            if (byTree)
                tree->repaint();
            roms->viewport()->repaint();
            std::exchange(timing, nullptr)->samples.push_back(elapsedMs(since));
        }
    };
    QObject::connect(&frame.romFolderReader(), &RomFolderReader::treeRead, &frame, [&] { answered(true); });
    QObject::connect(&frame.romFolderReader(), &RomFolderReader::listRead, &frame, [&] { answered(false); });
    const auto measureSelection = [&](const std::string &folder, bool recurse, int row, Shown &shown) {
        const std::vector<Timing> timings = measureInterleaved(runs, {[&] {
                                                                          std::vector<std::string> names;
                                                                          plainReaddir(folder, names, recurse);
                                                                      },
                                                                      [&] {
                                                                          since = std::chrono::steady_clock::now();
                                                                          timing = &shown;
                                                                          select(row);
                                                                          timing = nullptr;
                                                                      }});
        if (!shown.samples.empty())
            shown.samples.erase(shown.samples.begin()); // the round that warms the caches
        return timings;
    };
    Shown deepShownSamples{true, {}};
    const std::vector<Timing> deepTimings = measureSelection(deep, true, 0, deepShownSamples);
    const Timing deepShown = summarise(deepShownSamples.samples);
    Shown flatShownSamples{false, {}};
    const std::vector<Timing> flatTimings = measureSelection(flat, false, 1, flatShownSamples);
    const Timing flatShown = summarise(flatShownSamples.samples);
    // An Apply alone is timed; the Clear that follows it is not.
    edit->setText(QStringLiteral("mario"));
    std::vector<double> baselineSamples;
    std::vector<double> applySamples;
    for (int run = 0; run <= runs; ++run) {
        auto start = std::chrono::steady_clock::now();
        std::vector<std::string> names;
        plainReaddir(flat, names, false);
        const double baselineMs = elapsedMs(start);
        start = std::chrono::steady_clock::now();
        apply->click();
        frame.romFolderReader().waitForIdle();
        roms->viewport()->repaint();
        const double applyMs = elapsedMs(start);
        apply->click();
        frame.romFolderReader().waitForIdle();
        if (run > 0) { // the first run warms the caches
            baselineSamples.push_back(baselineMs);
            applySamples.push_back(applyMs);
        }
    }
    const std::vector<Timing> searchTimings{summarise(baselineSamples), summarise(applySamples)};

    report("deep tree: plain readdir walk (baseline)", deepTimings[0], deepTimings[0]);
    report("deep tree: system selection until shown", deepShown, deepTimings[0]);
    report("deep tree: until its folders are watched", deepTimings[1], deepTimings[0]);
    report("flat folder: plain readdir (baseline)", flatTimings[0], flatTimings[0]);
    report("flat folder: system selection until shown", flatShown, flatTimings[0]);
    report("flat folder: until its sheets are read", flatTimings[1], flatTimings[0]);
    report("flat folder: Apply \"mario\"", searchTimings[1], searchTimings[0]);
    verdict("deep system selection", deepShown, deepTimings[0], 1.5);
    verdict("flat system selection (sort included)", flatShown, flatTimings[0], 3.0);
    frame.writeSettings(); // into the temporary workspace, not the caller's folder
    return 0;
}
