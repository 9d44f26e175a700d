// The play history at scale: a history of 100,000 played ROMs and 10,000 favourites. The
// window's start against the same start with an empty history; drawing a 50,000-row ROM list
// whose system has 10,000 favourites against the same list without stars; opening "Recently
// Played" (its rows in the list, their files looked for) against the store's own query of the
// same rows; and what a recording costs the UI thread.

#include "BenchSupport.h"
#include "CollectionGenerator.h"

#include "core/history/HistoryStore.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/browse/RomFolderTree.h"
#include "gui/history/PlayHistory.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include <QApplication>
#include <QScrollBar>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace marlit::bench;
using marlit::HistoryStore;

namespace {

constexpr std::size_t kPlayed = 100000;
constexpr std::size_t kFavourites = 10000;
constexpr std::size_t kListed = 50000;
const marlit::SystemKey kFlat{"console.ini", "Flat"};
const marlit::SystemKey kOther{"console.ini", "Other"};

// A workspace with the system "Flat" (the 50,000 files) remembered, and a history: none, or
// every file of the folder played, as many of another system's, and every fifth file a favourite.
bool makeWorkspace(const std::string &folder, const std::string &flat, const std::vector<std::string> &names,
                   bool withHistory)
{
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "console.ini", std::ios::binary)
        << catalogueRecord("Flat", flat) << catalogueRecord("Other", flat);
    std::string settings(128, '\0');
    settings[0] = settings[1] = 1;
    settings[3] = 800 >> 8, settings[4] = static_cast<char>(800 & 0xFF);
    settings[5] = 600 >> 8, settings[6] = static_cast<char>(600 & 0xFF);
    settings[7] = 1;
    settings.replace(9, 3, "120");
    settings.replace(12, 8, "00000000");
    settings.replace(20, 5, "Arial");
    std::ofstream(folder + "marlit.cfg", std::ios::binary) << settings;

    const std::string file = folder + HistoryStore::kFileName;
    std::filesystem::remove(file);
    std::filesystem::remove(file + "-wal");
    std::filesystem::remove(file + "-shm");
    HistoryStore store(file);
    store.open();
    if (!store.kept())
        return false;
    if (!withHistory)
        return true;
    // One transaction for all: the store's own writes are one play each.
    SQLite::Database database(file, SQLite::OPEN_READWRITE);
    SQLite::Transaction transaction(database);
    SQLite::Statement insert(database, "INSERT INTO roms(path, category, system, favourite, plays, played_ms, "
                                       "last_played) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    const auto add = [&](const std::string &path, const marlit::SystemKey &system, bool favourite, std::int64_t n) {
        insert.bind(1, path.data(), static_cast<int>(path.size()));
        insert.bind(2, system.category.data(), static_cast<int>(system.category.size()));
        insert.bind(3, system.name.data(), static_cast<int>(system.name.size()));
        insert.bind(4, favourite ? 1 : 0);
        insert.bind(5, static_cast<int64_t>(1 + n % 7));
        insert.bind(6, static_cast<int64_t>(n * 1000));
        insert.bind(7, static_cast<int64_t>(1'700'000'000'000 + n * 60'000));
        insert.exec();
        insert.reset();
    };
    for (std::size_t i = 0; i < kPlayed / 2; ++i)
        add(flat + names[i % names.size()], kFlat, i % (kPlayed / 2 / kFavourites) == 0, static_cast<int64_t>(i));
    for (std::size_t i = 0; i < kPlayed / 2; ++i)
        add("/elsewhere/" + names[i % names.size()] + std::to_string(i), kOther, false, static_cast<int64_t>(i));
    transaction.commit();
    return true;
}

std::size_t favouritesShown(RomListBox &list)
{
    std::size_t count = 0;
    for (int row = 0; row < list.count(); ++row)
        count += list.romModel()->isFavourite(row) ? 1 : 0;
    return count;
}

// Pages down the whole list, painting each page as the window would.
void paintEveryPage(RomListBox &list)
{
    QScrollBar *bar = list.verticalScrollBar();
    for (int value = bar->minimum(); value <= bar->maximum(); value += std::max(1, bar->pageStep() * 25)) {
        bar->setValue(value);
        list.viewport()->repaint();
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 11;
    const std::string root = (std::filesystem::temp_directory_path() / "marlit-bench-history").string() + "/";
    const std::string flat = root + "flat/";
    if (!CollectionGenerator::makeFlatFolder(flat, kListed)) {
        std::fprintf(stderr, "cannot make the collection under %s\n", root.c_str());
        return 1;
    }
    std::vector<std::string> names = CollectionGenerator::romNames(kListed);
    const std::string empty = root + "empty/";
    const std::string full = root + "full/";
    if (!makeWorkspace(empty, flat, names, false) || !makeWorkspace(full, flat, names, true)) {
        std::fprintf(stderr, "cannot write the histories under %s\n", root.c_str());
        return 1;
    }

    // The start: the window made, shown and painted once. The history is opened and asked on its
    // own thread meanwhile, its answers taken (untimed) once the window is up; the window is
    // closed before the next start.
    std::vector<double> emptySamples;
    std::vector<double> fullSamples;
    for (int run = 0; run <= runs; ++run) {
        for (const auto &[workspace, samples] : {std::pair{empty, &emptySamples}, std::pair{full, &fullSamples}}) {
            const auto began = std::chrono::steady_clock::now();
            auto frame = std::make_unique<MainFrame>(workspace);
            frame->show();
            frame->repaint();
            const double ms = elapsedMs(began);
            if (run > 0)
                samples->push_back(ms);
            frame->playHistory().finish(std::chrono::minutes(1));
            QApplication::processEvents();
            frame->writeSettings();
            frame.reset();
        }
    }
    const Timing emptyStart = summarise(emptySamples);
    const Timing fullStart = summarise(fullSamples);

    // A list of 50,000 rows whose system has 10,000 favourites, painted page by page; the
    // baseline is the same list with no favourites.
    MainFrame frame(full);
    frame.show();
    frame.romFolderReader().waitForIdle(); // the 50,000 names come from a reader process
    QApplication::processEvents();
    auto *list = frame.findChild<RomListBox *>(QStringLiteral("romList"));
    for (int wait = 0; wait < 3000 && favouritesShown(*list) == 0; ++wait)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    const std::size_t starred = favouritesShown(*list);
    std::printf("history: %zu played ROMs, %zu favourites; the list: %d rows, %zu with a star\n", kPlayed, kFavourites,
                list->count(), starred);
    std::unordered_set<std::string> favourites;
    for (int row = 0; row < list->count(); ++row)
        if (list->romModel()->isFavourite(row))
            favourites.insert(list->romModel()->pathAt(row));
    const std::vector<Timing> paint = measureInterleaved(runs, {[&] {
                                                                    list->romModel()->setFavourites({});
                                                                    paintEveryPage(*list);
                                                                },
                                                                [&] {
                                                                    list->romModel()->setFavourites(favourites);
                                                                    paintEveryPage(*list);
                                                                }});

    // Opening "Recently Played": from the window's choice of it until its 100 rows are shown
    // and their files were looked for, against the store's own query of the same rows.
    auto *tree = frame.findChild<RomFolderTree *>(QStringLiteral("folderTree"));
    tree->setCurrentItem(tree->viewItem(RomFolderTree::View::RecentlyPlayed));
    HistoryStore direct(full + HistoryStore::kFileName);
    direct.open();
    std::size_t recentRows = 0;
    bool recentShown = true;
    FolderReaderPool &readers = frame.romFolderReader().pool();
    const std::vector<Timing> recent = measureInterleaved(
        runs, {[&] { recentRows = direct.recentlyPlayed(kFlat, PlayHistory::kRecentLimit).size(); },
               [&] {
                   frame.OnSelChangedFolder(); // the view chosen again: emptied, asked, filled
                   const auto began = std::chrono::steady_clock::now();
                   // The rows, then the reader's answer on their files.
                   while ((list->count() != static_cast<int>(PlayHistory::kRecentLimit) || readers.busyCount() > 0) &&
                          elapsedMs(began) < 5000)
                       QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
                   recentShown = recentShown && list->count() == static_cast<int>(PlayHistory::kRecentLimit);
                   list->viewport()->repaint();
               }});
    std::printf("\"Recently Played\": %zu rows by the store, %d in the list%s\n", recentRows, list->count(),
                recentShown ? "" : " (NOT ALL SHOWN)");

    // Recording: what each call costs the UI thread, with the history's thread busy writing.
    PlayHistory &history = frame.playHistory();
    std::vector<double> recordSamples;
    for (int i = 0; i < 2000; ++i) {
        const std::string path = flat + names[static_cast<std::size_t>(i)];
        const auto began = std::chrono::steady_clock::now();
        if (i % 2 == 0)
            history.recordPlay(path, kFlat, 1'800'000'000'000 + i);
        else
            history.setFavourite(path, kFlat, i % 4 == 1);
        recordSamples.push_back(elapsedMs(began));
    }
    const double longestRecordMs = *std::max_element(recordSamples.begin(), recordSamples.end());
    history.finish(std::chrono::minutes(5));

    report("start with an empty history (baseline)", emptyStart, emptyStart);
    report("start with 100,000 played and 10,000 favourites", fullStart, emptyStart);
    std::printf("  start: %+.2f ms against the empty history (target at most +5 ms): %s\n",
                fullStart.medianMs - emptyStart.medianMs,
                fullStart.medianMs - emptyStart.medianMs <= 5.0 ? "met" : "MISSED");
    report("the store's query of the 100 latest plays (baseline)", recent[0], recent[0]);
    report("opening \"Recently Played\" in the window", recent[1], recent[0]);
    std::printf("  opening \"Recently Played\": %.2f ms (target under 20 ms): %s\n", recent[1].medianMs,
                recent[1].medianMs < 20.0 ? "met" : "MISSED");
    report("50,000 rows painted page by page, no stars (baseline)", paint[0], paint[0]);
    report("the same with the system's 10,000 favourites starred", paint[1], paint[0]);
    verdict("rows with stars", paint[1], paint[0], 1.25);
    std::printf("recording: longest of 2,000 calls on the UI thread %.3f ms (target under 1 ms): %s\n", longestRecordMs,
                longestRecordMs < 1.0 ? "met" : "MISSED");
    return 0;
}
