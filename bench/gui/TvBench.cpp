// The TV view on a system of 50,000 games: entering it from the window, and scrolling its game
// list a page at a time (with the pictures of the chosen game looked for and decoded), each
// timed as the UI thread's longest turn of the event loop, against the same page scrolled in the
// window's ROM list in the same run. Then the memory the view adds, against the window's own, both
// as large as the screen.

#include "BenchSupport.h"
#include "CollectionGenerator.h"
#include "TimedApplication.h"

#include "gui/browse/RomFolderReader.h"
#include "gui/snapshots/SnapshotLoader.h"
#include "gui/tv/TvMode.h"
#include "gui/tv/TvView.h"
#include "gui/ui/ListBoxView.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"

#include <QImage>
#include <QKeyEvent>
#include <QScreen>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace marlit::bench;

namespace {

constexpr int kGames = 50'000;
constexpr int kPictures = 400; // the first games' pictures, for the pages scrolled

std::string record(const std::string &name, const std::string &romDirectory, const std::string &snapshots)
{
    return "NAME = " + name + "\r\nDESC = benchmark\r\nROMDIR = " + romDirectory +
           "\r\nEMU = /bin/true\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = " + snapshots +
           "\r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";
}

// A key pressed in widget as the user would, then shown: the key's handling and the repaint of
// shown (what the key changed) as one turn, or the longest turn of the events that follow it
// (pictures delivered), whichever is longer.
double pressTimed(TimedApplication &app, QWidget *widget, int key, QWidget *shown)
{
    const auto start = std::chrono::steady_clock::now();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    shown->repaint();
    const double turn = elapsedMs(start);
    app.longestTurnMs = 0;
    QApplication::processEvents();
    return std::max(turn, app.longestTurnMs);
}

} // namespace

int main(int argc, char **argv)
{
    TvMode::cacheLargeGlyphs();
    TimedApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 9;
    const std::string flat = (std::filesystem::temp_directory_path() / "marlit-bench-browse/flat/").string();
    if (!CollectionGenerator::makeFlatFolder(flat, kGames)) {
        std::fprintf(stderr, "cannot make the collection under %s\n", flat.c_str());
        return 1;
    }
    QTemporaryDir workspace;
    const std::string work = workspace.path().toStdString() + "/";
    std::filesystem::create_directories(work + "snaps");
    std::vector<std::string> names = CollectionGenerator::romNames(kGames);
    std::sort(names.begin(), names.end());
    QImage picture(640, 480, QImage::Format_RGB32);
    for (int i = 0; i < kPictures; ++i) {
        picture.fill(QColor::fromHsv(i % 360, 160, 200));
        const std::string stem =
            names[static_cast<std::size_t>(i)].substr(0, names[static_cast<std::size_t>(i)].rfind('.'));
        picture.save(QString::fromStdString(work + "snaps/" + stem + ".png"));
    }
    std::ofstream(work + "console.ini", std::ios::binary) << record("Flat", flat, work + "snaps/");
    std::ofstream(work + "marlit.cfg", std::ios::binary); // an empty file: the defaults

    const long long startKb = residentKilobytes();
    auto frame = std::make_unique<MainFrame>(work);
    // As large as the screen, as the TV view is: their memory is compared.
    frame->resize(frame->screen()->availableGeometry().size());
    frame->show();
    // The console tab: the system of 50,000 games shown.
    frame->showSystem(1, 0);
    frame->romFolderReader().waitForIdle();
    RomListBox &romList = frame->romListBox();
    runUntil([&] { return romList.count() >= kGames / 2 && !frame->romFolderReader().reading(); });
    romList.setFocus();
    romList.setCurrentRow(0);
    QApplication::processEvents();
    const long long windowKb = residentKilobytes() - startKb;
    std::printf("system of %d games shown in the window\n", romList.count());

    // The window's list scrolled a page (the baseline), then the TV view's.
    std::vector<double> windowPage;
    for (int run = 0; run <= runs; ++run) {
        const double turn = pressTimed(app, &romList, Qt::Key_PageDown, romList.viewport());
        if (run > 0)
            windowPage.push_back(turn);
    }

    TvMode tv(*frame);
    app.longestTurnMs = 0;
    const auto enterStart = std::chrono::steady_clock::now();
    tv.enter();
    const double madeMs = elapsedMs(enterStart);
    tv.view()->repaint();
    const double enterMs = elapsedMs(enterStart);
    QApplication::processEvents();
    const double enterTurn = std::max(app.longestTurnMs, enterMs);
    const long long tvKb = residentKilobytes() - startKb - windowKb;

    ListBoxView *games = tv.view()->gameList();
    games->setCurrentIndex(games->model()->index(0, 0));
    std::vector<double> tvPage;
    for (int run = 0; run <= runs; ++run) {
        const double turn = pressTimed(app, games, Qt::Key_Right, games->viewport()); // a page down
        if (run > 0)
            tvPage.push_back(turn);
    }
    tv.view()->snapshotLoader().waitForIdle();
    QApplication::processEvents();
    const long long tvScrolledKb = residentKilobytes() - startKb - windowKb;

    // Leaving and entering again, the view already made.
    std::vector<double> entries;
    for (int run = 0; run <= runs; ++run) {
        tv.leave();
        QApplication::processEvents();
        app.longestTurnMs = 0;
        const auto start = std::chrono::steady_clock::now();
        tv.enter();
        tv.view()->repaint();
        const double ms = elapsedMs(start);
        QApplication::processEvents();
        if (run > 0)
            entries.push_back(std::max(ms, app.longestTurnMs));
    }

    const Timing baseline = summarise(windowPage);
    const Timing page = summarise(tvPage);
    const Timing again = summarise(entries);
    std::printf("at row %d of %d after %d pages\n", games->currentIndex().row(), games->model()->rowCount(), runs + 1);
    report("window: a page down in the ROM list (baseline)", baseline, baseline);
    report("TV view: a page down in the game list", page, baseline);
    std::printf("  %-46s %.2f ms (made and shown %.2f ms)\n", "TV view: first entry, until painted", enterTurn, madeMs);
    report("TV view: entry again", again, baseline);
    const double worst = std::max({enterTurn, page.p95Ms, again.p95Ms});
    std::printf("  %-46s %.2f ms (target < 8 ms): %s\n", "longest UI turn (entry, page p95)", worst,
                worst < 8.0 ? "met" : "MISSED");
    std::printf("memory: the window with the system shown %lld KB; the TV view adds %lld KB on entry, "
                "%lld KB after %d pages of pictures (%.0f%% of the window's)\n",
                windowKb, tvKb, tvScrolledKb, runs + 1,
                100.0 * static_cast<double>(tvScrolledKb) / static_cast<double>(std::max(1LL, windowKb)));
    tv.leave();
    frame->writeSettings(); // into the temporary workspace
    return 0;
}
