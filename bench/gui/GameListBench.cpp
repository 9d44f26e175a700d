// Other front-ends' game lists in the real window. First, a gamelist.xml of 50,000 games: its read
// and parse alone, on a thread of its own as the window's loader runs it, and the time from the
// system's rows until its descriptions reach the UI thread, both against a plain read of the same
// file in the same runs; the UI thread's longest turn meanwhile; the memory held per game.
// Second, the selection of a described ROM (title, details panel and two pictures from ES-DE's
// media folders) against the selection of an undescribed ROM whose two pictures come from
// snapshot folders.

#include "BenchSupport.h"
#include "CollectionGenerator.h"
#include "SettingsBytes.h"
#include "TimedApplication.h"
#include "XmlParseFloor.h"

#include "core/catalogue/CategoryTable.h"
#include "core/fs/RegularFile.h"
#include "core/metadata/GameCollection.h"
#include "core/metadata/GameCollectionReader.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/metadata/GameListLoader.h"
#include "gui/snapshots/SnapshotLoader.h"
#include "gui/ui/GameListPresenter.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/SystemListBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace marlit::bench;

namespace {

constexpr std::size_t kGames = 50000;

std::string record(const std::string &name, const std::string &romDirectory, const std::string &snapshots = {})
{
    return "NAME = " + name + "\r\nDESC = benchmark\r\nROMDIR = " + romDirectory +
           "\r\nEMU = /bin/true\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = " + snapshots +
           "\r\nSNAPBDIR = " + snapshots + "\r\nSNAPSHOT = \r\n\r\n";
}

std::string escaped(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else
            out.push_back(c);
    }
    return out;
}

// A list as ES-DE writes it, every game with every field and a description of a few lines.
std::string gamelist(const std::vector<std::string> &names)
{
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\"?>\n<alternativeEmulator>\n\t<label>x</label>\n</alternativeEmulator>\n<gameList>\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string name = escaped(names[i]);
        xml << "\t<game>\n\t\t<path>./" << name << "</path>\n\t\t<name>Game " << i << "</name>\n\t\t<desc>"
            << "A long description of the game, as scrapers write them, with its story, its modes and its "
               "reception in the press of its time, a few hundred bytes in all for each game of the list.</desc>\n"
            << "\t\t<rating>0.7</rating>\n\t\t<releasedate>19" << 70 + i % 30 << "0101T000000</releasedate>\n"
            << "\t\t<developer>Developer " << i % 500 << "</developer>\n\t\t<publisher>Publisher " << i % 200
            << "</publisher>\n\t\t<genre>Platform</genre>\n\t\t<players>1-2</players>\n\t\t<playcount>" << i % 7
            << "</playcount>\n\t\t<lastplayed>20240101T000000</lastplayed>\n\t</game>\n";
    }
    xml << "</gameList>\n";
    return xml.str();
}

void savePicture(const std::string &path, int seed)
{
    QImage image(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * seed) & 255, (y + seed) & 255, (x ^ y) & 255));
    image.save(QString::fromStdString(path));
}

// Makes the file look changed, so that the next selection reads it again.
void touch(const std::string &path)
{
    static long long tick = 0;
    const timespec times[2] = {{0, UTIME_OMIT}, {1'600'000'000 + ++tick, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

} // namespace

int main(int argc, char **argv)
{
    TimedApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 9;
    const std::string root = (std::filesystem::temp_directory_path() / "marlit-bench-gamelists").string() + "/";
    const std::string big = root + "big/";
    const std::string described = root + "snes/";
    const std::string plain = root + "plain/";
    if (!CollectionGenerator::makeFlatFolder(big, kGames)) {
        std::fprintf(stderr, "cannot make the collection under %s\n", root.c_str());
        return 1;
    }
    std::vector<std::string> names;
    plainReaddir(big, names, false);
    std::sort(names.begin(), names.end());
    const std::string listPath = big + "gamelist.xml";
    names.erase(std::remove(names.begin(), names.end(), "gamelist.xml"), names.end());
    std::ofstream(listPath, std::ios::binary) << gamelist(names);

    // Twenty ROMs described with ES-DE's media, the same twenty plain with snapshot folders.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    const std::string media = home.path().toStdString() + "/ES-DE/downloaded_media/snes/";
    std::filesystem::create_directories(media + "covers");
    std::filesystem::create_directories(media + "screenshots");
    std::filesystem::create_directories(described);
    std::filesystem::create_directories(plain + "snaps");
    std::vector<std::string> small;
    for (int i = 0; i < 20; ++i) {
        const std::string name = "Game " + std::to_string(100 + i);
        small.push_back(name + ".zip");
        std::ofstream(described + name + ".zip");
        std::ofstream(plain + name + ".zip");
        savePicture(media + "covers/" + name + ".png", i + 1);
        savePicture(media + "screenshots/" + name + ".png", i + 2);
        savePicture(plain + "snaps/" + name + ".png", i + 3);
    }
    std::ofstream(described + "gamelist.xml", std::ios::binary) << gamelist(small);

    QTemporaryDir workspace;
    // The catalogue of the tab the window starts on.
    std::ofstream(workspace.filePath(marlit::CategoryTable::fileName(0)).toStdString(), std::ios::binary)
        << record("Big", big) << record("Described", described) << record("Plain", plain, plain + "snaps/")
        << record("Empty", root + "none/");
    // Snapshots to the right (the pictures are what the selection shows), on the first tab.
    std::ofstream(workspace.filePath("marlit.cfg").toStdString(), std::ios::binary)
        << marlit::test::SettingsBytes{true, true, 2, 1200, 800, 0, 0}.bytes();

    MainFrame frame(workspace.path().toStdString());
    frame.resize(1200, 800);
    frame.show();
    QApplication::processEvents();
    auto *systems = frame.findChild<SystemListBox *>(QStringLiteral("systemList"));
    auto *roms = frame.findChild<RomListBox *>(QStringLiteral("romList"));
    GameListPresenter &games = frame.gameListPresenter();
    const auto selectSystem = [&](int row) {
        systems->setCurrentRow(row);
        frame.OnSelChangeSystem();
        frame.romFolderReader().waitForIdle();
    };
    const auto collectionArrived = [&] { games.waitForIdle(); };

    // --- 50,000 games: until they reach the UI thread, and the UI thread's turns meanwhile.
    std::printf("gamelist.xml of %zu games, %.1f MB\n", names.size(), std::filesystem::file_size(listPath) / 1048576.0);
    double longestTurnMs = 0;
    double longestTurnCpuMs = 0;
    std::string longestTurnWhat;
    double longestTickGapMs = 0;
    std::vector<double> readSamples;
    std::vector<double> parseSamples;
    std::vector<double> arriveSamples;
    const marlit::GameListPlaces bigPlaces = marlit::GameListPlaces::forRomFolder(big, {});
    // The plain read, the baseline: the whole file into memory at hand. A read into memory of its
    // own, as the program reads any file, is shown beside it, not used: it swings from 3 to 20 ms
    // with whether the allocator has the memory at hand or maps it afresh (a fresh page costs
    // this machine's kernel up to 14 us), and the parse reads into memory at hand once it has run.
    std::string copyInto(std::filesystem::file_size(listPath), '\0');
    std::vector<double> copySamples;
    for (int run = 0; run <= runs; ++run) {
        selectSystem(3); // nothing described
        collectionArrived();
        auto start = std::chrono::steady_clock::now();
        {
            const int file = ::open(listPath.c_str(), O_RDONLY);
            const ssize_t got = ::read(file, copyInto.data(), copyInto.size());
            ::close(file);
            if (got < 0)
                return 1;
        }
        const double copyMs = elapsedMs(start);
        start = std::chrono::steady_clock::now();
        if (marlit::RegularFile::read(listPath, std::size_t(1) << 30).bytes.size() != copyInto.size())
            return 1;
        const double readMs = elapsedMs(start);

        // The worker's side alone: read and parsed on a new thread, as the loader does.
        double parseMs = 0;
        std::thread([&] {
            marlit::GameCollectionReader reader;
            const auto parseStart = std::chrono::steady_clock::now();
            const auto collection = reader.read(big, bigPlaces, {});
            parseMs = elapsedMs(parseStart);
        }).join();

        touch(listPath);
        selectSystem(0);
        start = std::chrono::steady_clock::now();
        // Each event's handling is timed by the application (the longest turn); a timer every
        // millisecond also says how long the window may have waited for the processor, which
        // the reading threads and processes share with it on a small machine.
        app.resetLongestTurn();
        QElapsedTimer sinceTick;
        double longest = 0;
        QTimer ticker;
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceTick.nsecsElapsed() / 1e6);
            sinceTick.restart();
        });
        sinceTick.start();
        ticker.start();
        while (!games.describes())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double arriveMs = elapsedMs(start);
        roms->viewport()->repaint();
        QApplication::processEvents();
        ticker.stop();
        if (run > 0) {
            copySamples.push_back(copyMs);
            readSamples.push_back(readMs);
            parseSamples.push_back(parseMs);
            arriveSamples.push_back(arriveMs);
            if (app.longestTurnMs > longestTurnMs) {
                longestTurnMs = app.longestTurnMs;
                longestTurnCpuMs = app.longestTurnCpuMs;
                longestTurnWhat = app.longestTurnWhat;
            }
            longestTickGapMs = std::max(longestTickGapMs, longest);
        }
    }
    const Timing readTiming = summarise(readSamples);
    const Timing copyTiming = summarise(copySamples);
    const Timing parseTiming = summarise(parseSamples);
    const Timing arriveTiming = summarise(arriveSamples);

    // Memory held per game: the collection of the big list, read alone.
    selectSystem(3);
    collectionArrived();
    // The heap's bytes in use, not the resident growth: the read may land in memory the process
    // already had (and then the resident figure says almost nothing of what is held).
    const auto heapBytes = [] {
        const struct mallinfo2 info = mallinfo2();
        return static_cast<long long>(info.uordblks + info.hblkhd);
    };
    const long long before = residentKilobytes();
    const long long heapBefore = heapBytes();
    std::shared_ptr<const marlit::GameCollection> held;
    {
        marlit::GameCollectionReader reader;
        held = reader.read(big, marlit::GameListPlaces::forRomFolder(big, {}), {});
    }
    const long long after = residentKilobytes();
    const double bytesPerGame = double(heapBytes() - heapBefore) / double(held->games.size());
    held.reset();

    // --- Selecting a ROM: described (panel and two media pictures) against plain (two snapshots).
    const auto timeSelections = [&](int system) {
        selectSystem(system);
        collectionArrived();
        frame.romFolderReader().waitForIdle();
        std::vector<double> samples;
        for (int run = 0; run <= 2 * runs; ++run) {
            frame.snapshotLoader().cache().clear(); // every selection decodes its pictures
            frame.snapshotLoader().cancelPrefetch();
            frame.snapshotLoader().waitForIdle();
            const int row = (run * 7) % roms->count();
            const auto start = std::chrono::steady_clock::now();
            roms->setCurrentIndex(roms->model()->index(row, 0));
            frame.snapshotLoader().waitForIdle();
            while (!frame.snapshot(0) || !frame.snapshot(1))
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            frame.repaint();
            if (run > 0)
                samples.push_back(elapsedMs(start));
        }
        return summarise(samples);
    };
    const Timing plainSelection = timeSelections(2);
    const Timing describedSelection = timeSelections(1);

    // --- The floor of the parse, last (its memory would change where the program's reads land):
    // pugixml's own parse of the list as the program cuts it, with nothing else done, then with
    // a look at every element, as any reader takes; the window's readers are idle.
    std::vector<double> floorSamples;
    std::vector<double> lookSamples;
    {
        marlit::bench::XmlParseFloor floor;
        std::ifstream in(listPath, std::ios::binary);
        const std::string xml{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        for (int run = 0; run <= runs; ++run) {
            const double parseOnly = floor.measure(xml, marlit::bench::XmlParseFloor::Look::Nothing);
            const double withLook = floor.measure(xml, marlit::bench::XmlParseFloor::Look::EveryElement);
            if (run > 0) { // the baseline's read is added: the floor starts from the bytes in memory
                floorSamples.push_back(parseOnly + copyTiming.medianMs);
                lookSamples.push_back(withLook + copyTiming.medianMs);
            }
        }
    }
    const Timing floorTiming = summarise(floorSamples);
    const Timing lookTiming = summarise(lookSamples);

    report("50,000 games: plain read of gamelist.xml into memory at hand (baseline)", copyTiming, copyTiming);
    report("50,000 games: read of it into memory of its own, as the program reads a file", readTiming, copyTiming);
    report("50,000 games: read and parsed on the worker alone", parseTiming, copyTiming);
    std::printf("50,000 games: read and parsed, against the read into memory of its own: %.2fx\n",
                parseTiming.medianMs / readTiming.medianMs);
    report("50,000 games: floor: the plain read and pugixml's parse alone, in pieces on two threads", floorTiming,
           copyTiming);
    report("50,000 games: floor with a look at every element's name and text", lookTiming, copyTiming);
    report("50,000 games: from the ROM folder's rows until described, off the UI thread", arriveTiming, copyTiming);
    std::printf("50,000 games: the UI thread's longest turn meanwhile: %.1f ms (target under 8 ms) %s: %s, %.1f ms "
                "on the processor; longest gap between the ticks of a 1 ms timer: %.1f ms\n",
                longestTurnMs, longestTurnMs < 8.0 ? "met" : "MISSED", longestTurnWhat.c_str(), longestTurnCpuMs,
                longestTickGapMs);
    std::printf("50,000 games: memory held per game: %.0f bytes of the heap in use (the list's text with it; "
                "resident memory grew by %lld kB in all)\n",
                bytesPerGame, after - before);
    report("ROM selection, undescribed, two snapshots (baseline)", plainSelection, plainSelection);
    report("ROM selection, described: title, panel, two media pictures", describedSelection, plainSelection);
    verdict("50,000-game list parsed off the UI thread", parseTiming, copyTiming, 5.0);
    verdict("50,000-game list from the rows until described", arriveTiming, copyTiming, 5.0);
    verdict("described ROM selection", describedSelection, plainSelection, 1.2);
    frame.writeSettings(); // into the temporary workspace, not the caller's folder
    return 0;
}
