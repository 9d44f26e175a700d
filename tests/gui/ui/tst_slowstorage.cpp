// The window on storage that is slow, stops answering, fails, or changes under it: a real FUSE
// file system that misbehaves on purpose (misbehaving_fs.py) and real folders changed while
// they are shown.

#include "FuseMount.h"
#include "ModalAnswer.h"
#include "SettingsBytes.h"
#include "TempDir.h"

#include "core/browse/FolderStatusText.h"
#include "core/browse/FolderTreeScanner.h"
#include "gui/browse/FolderReaderPool.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/browse/RomFolderTree.h"
#include "gui/metadata/GameListLoader.h"
#include "gui/snapshots/SnapshotLoader.h"
#include "gui/ui/GameListPresenter.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/OptionsDialog.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"
#include "gui/ui/SystemListBox.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include <csignal>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using marlit::FolderStatusText;
using marlit::test::answerNextModal;
using marlit::test::FuseMount;
using marlit::test::TempDir;

namespace {

struct System
{
    std::string name;
    std::string romDirectory;
    std::string snapshotDirA = {};
    std::string emulator = "/bin/true";
};

std::string catalogueText(const std::vector<System> &systems)
{
    std::string text;
    for (const System &system : systems)
        text += "NAME = " + system.name + "\r\nDESC = \r\nROMDIR = " + system.romDirectory +
                "\r\nEMU = " + system.emulator + "\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = " + system.snapshotDirA +
                "\r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";
    return text;
}

// Remembers the "Console" tab and its system at row, with the given snapshot mode.
std::string settingsRemembering(int row, int snapshotMode = 0)
{
    return marlit::test::SettingsBytes{true, true, snapshotMode, 800, 600, 1, row}.bytes();
}

// The processes below this one, and the inotify instances that they and this one hold.
struct Held
{
    int processes = 0;
    int inotify = 0;
};

Held held()
{
    namespace fs = std::filesystem;
    std::multimap<pid_t, pid_t> children;
    for (const fs::directory_entry &entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        std::getline(stat, text);
        pid_t parent = 0;
        const std::size_t end = text.rfind(')'); // the name may hold anything
        if (end != std::string::npos && std::sscanf(text.c_str() + end + 1, " %*c %d", &parent) == 1)
            children.emplace(parent, static_cast<pid_t>(std::atoi(entry.path().filename().c_str())));
    }
    Held counted;
    std::vector<pid_t> family{::getpid()};
    for (std::size_t i = 0; i < family.size(); ++i) {
        const auto [first, last] = children.equal_range(family[i]);
        for (auto child = first; child != last; ++child)
            family.push_back(child->second);
        std::error_code error;
        for (const auto &fd : fs::directory_iterator("/proc/" + std::to_string(family[i]) + "/fd", error))
            counted.inotify += fs::read_symlink(fd.path(), error) == "anon_inode:inotify" ? 1 : 0;
    }
    counted.processes = static_cast<int>(family.size()) - 1;
    return counted;
}

} // namespace

class SlowStorageTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowShowsStaysUsableAndClosesWhileAFolderHangs();
    void lateAnswerIsDroppedAfterAnotherSystemWasChosen();
    void failuresAndABlankSystemAreSaidInTheListArea();
    void romsOrTheSystemChosenAgainReadsAfresh();
    void changesOnDiskShowByThemselvesKeepingWhatTheUserChose();
    void aPictureThatAppearsForTheSelectedRomShows();
    void hungFoldersChosenAgainAndAgainHoldABoundedNumberOfReaders();
    void aFolderThatGoesAndComesBackShowsAgainByItself();
    void aKilledOrStoppedSpawnerIsReplaced();
    void aLongBurstOfCopiesIsFollowedWhileItLasts();
    void aTreeReachingAHungShareShowsWhatAnsweredAndMarksTheRest();
    void aFolderMadeReadableAgainIsReadAfresh();
    void theTreeHoldsItsFolderBoundInSubFoldersAndSaysSo();
    void gameListsAndPicturesComeWhileAFolderOfThemHangs();
    void aGameListWhoseReadNeverAnswersHoldsUpNoOtherList();

private:
    MainFrame &start(const std::vector<System> &systems, int row, int snapshotMode = 0);
    void select(int row);
    std::vector<std::string> names();
    QString status() { return list()->placeholder(); }
    RomListBox *list() { return m_frame->findChild<RomListBox *>(QStringLiteral("romList")); }
    RomFolderTree *tree() { return m_frame->findChild<RomFolderTree *>(QStringLiteral("folderTree")); }
    std::string local(const char *relative) const { return m_dir->file(relative); }
    std::string mounted(const char *folder) const { return m_fuse->path() + folder + '/'; }

    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<FuseMount> m_fuse;
    std::unique_ptr<MainFrame> m_frame;
};

void SlowStorageTest::init()
{
    m_dir = std::make_unique<TempDir>();
    m_dir->write("roms/local/Alpha.nes");
    m_dir->write("roms/local/Beta.nes");
    m_dir->makeFolder("roms/local/Europe");
    m_dir->makeFolder("mnt");
    m_fuse = std::make_unique<FuseMount>(m_dir->file("mnt"), std::vector<std::string>{"--delay-ms", "1500"});
    QVERIFY2(m_fuse->mounted(), m_fuse->failure().c_str());
}

void SlowStorageTest::cleanup()
{
    // The window first, so that nothing of it is left for the aborted connection to answer.
    m_frame.reset();
    m_fuse.reset();
    m_dir.reset();
}

MainFrame &SlowStorageTest::start(const std::vector<System> &systems, int row, int snapshotMode)
{
    m_dir->write("console.ini", catalogueText(systems));
    m_dir->write("marlit.cfg", settingsRemembering(row, snapshotMode));
    m_frame = std::make_unique<MainFrame>(m_dir->path());
    return *m_frame;
}

void SlowStorageTest::select(int row)
{
    m_frame->findChild<SystemListBox *>(QStringLiteral("systemList"))->setCurrentRow(row);
    m_frame->OnSelChangeSystem();
}

std::vector<std::string> SlowStorageTest::names()
{
    [&] { QVERIFY(m_frame->romFolderReader().waitForIdle()); }();
    std::vector<std::string> shown;
    for (int row = 0; row < list()->count(); ++row)
        shown.push_back(list()->nameAt(row));
    return shown;
}

// A remembered system on a share that never answers: the window comes up, says so, opens its
// dialogs, plays a ROM of another system, and closes (writing its settings) at once.
void SlowStorageTest::windowShowsStaysUsableAndClosesWhileAFolderHangs()
{
    const std::string log = local("played.log");
    m_dir->write("emu/stand-in.sh",
                 "#!/bin/sh\necho \"$1\" > '" + log + ".part' && mv '" + log + ".part' '" + log + "'\n");
    QCOMPARE(::chmod(local("emu/stand-in.sh").c_str(), 0755), 0);
    MainFrame &frame =
        start({{"NAS", mounted("hang")}, {"Local", local("roms/local/"), {}, local("emu/stand-in.sh")}}, 0);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QCOMPARE(tree()->topLevelItemCount(), 4); // the views and "ROMS", its folders still to come
    QTRY_COMPARE(status(), QString::fromStdString("Reading " + mounted("hang") + " \u2026"));
    QTRY_COMPARE_WITH_TIMEOUT(
        status(), QString::fromStdString("Waiting for " + mounted("hang") + ": the folder is not answering."),
        RomFolderReader::kNotAnsweringMs + 3000);

    bool dialogShown = false;
    answerNextModal([&](QWidget *modal) { dialogShown = qobject_cast<OptionsDialog *>(modal) != nullptr; });
    QTest::mouseClick(frame.findChild<QPushButton *>(QStringLiteral("configButton")), Qt::LeftButton);
    QVERIFY(dialogShown);

    // Asked again and again, the hung share takes no reader that the other system needs.
    for (int again = 0; again < 2 * FolderReaderPool::kMaxReaders; ++again)
        select(0);
    select(1);
    QCOMPARE(names(), (std::vector<std::string>{"Alpha.nes", "Beta.nes"}));
    QCOMPARE(status(), QString());
    QVERIFY(frame.romFolderReader().pool().readerCount() <= FolderReaderPool::kMaxReaders);
    list()->setCurrentRow(1);
    frame.OnPlay();
    QTRY_VERIFY_WITH_TIMEOUT(m_dir->exists("played.log"), 10000);
    QCOMPARE(m_dir->read("played.log"), local("roms/local/Beta.nes") + "\n");

    select(0);
    frame.close();
    m_frame.reset(); // returns although readers are stuck in the kernel
    QCOMPARE(m_dir->read("marlit.cfg")[8], '\0');
}

void SlowStorageTest::lateAnswerIsDroppedAfterAnotherSystemWasChosen()
{
    MainFrame &frame = start({{"Slow", mounted("slow")}, {"Local", local("roms/local/")}}, 1);
    QCOMPARE(names(), (std::vector<std::string>{"Alpha.nes", "Beta.nes"}));
    select(0);
    select(1);
    QCOMPARE(names(), (std::vector<std::string>{"Alpha.nes", "Beta.nes"}));
    // The slow share answers now: its reader comes back idle, its answer goes nowhere.
    QTRY_COMPARE_WITH_TIMEOUT(frame.romFolderReader().pool().busyCount(), 0, 10000);
    QTest::qWait(100);
    QCOMPARE(names(), (std::vector<std::string>{"Alpha.nes", "Beta.nes"}));
    QCOMPARE(tree()->romsItem()->childCount(), 1);
    QCOMPARE(frame.currentRomFolder(), local("roms/local/"));

    // Chosen and waited for, the slow share's names do show.
    select(0);
    QCOMPARE(names(), (std::vector<std::string>{"Slow ROM 000001.nes", "Slow ROM 000002.nes", "Slow ROM 000003.nes"}));
}

void SlowStorageTest::failuresAndABlankSystemAreSaidInTheListArea()
{
    m_dir->write("roms/a-file.nes");
    start({{"Broken", mounted("broken")},
           {"Gone", local("roms/gone/")},
           {"File", local("roms/a-file.nes")},
           {"Blank", ""}},
          0);
    const std::pair<int, std::string> failures[] = {
        {0, "Cannot read " + mounted("broken") + ": Input/output error"},
        {1, "Cannot read " + local("roms/gone/") + ": No such file or directory"},
        {2, "Cannot read " + local("roms/a-file.nes/") + ": Not a directory"},
    };
    for (const auto &[row, text] : failures) {
        select(row);
        QVERIFY(names().empty());
        QCOMPARE(status(), QString::fromStdString(text));
        QCOMPARE(tree()->topLevelItemCount(), 4);
        QCOMPARE(tree()->romsItem()->childCount(), 0);
    }
    // Not the working directory's files: nothing, and what to do about it.
    select(3);
    QVERIFY(names().empty());
    QCOMPARE(tree()->topLevelItemCount(), 0);
    QCOMPARE(status(), QStringLiteral("No ROM folder set for this system: click Setup to choose one."));
}

// The share tells no changes, and lists another name at each reading.
void SlowStorageTest::romsOrTheSystemChosenAgainReadsAfresh()
{
    MainFrame &frame = start({{"Changing", mounted("changing")}}, 0);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QCOMPARE(names(), std::vector<std::string>{"Take 1.nes"});

    // "ROMS" is current but not selected after the system's selection: a click reads again.
    const QRect roms = tree()->visualItemRect(tree()->romsItem());
    QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, roms.center());
    QCOMPARE(names(), std::vector<std::string>{"Take 2.nes"});
    QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, roms.center());
    QCOMPARE(names(), std::vector<std::string>{"Take 3.nes"});

    auto *systems = frame.findChild<SystemListBox *>(QStringLiteral("systemList"));
    const QRect card = systems->visualRect(systems->model()->index(0, 0));
    QTest::mouseClick(systems->viewport(), Qt::LeftButton, {}, card.center());
    QCOMPARE(names(), std::vector<std::string>{"Take 4.nes"});
}

void SlowStorageTest::changesOnDiskShowByThemselvesKeepingWhatTheUserChose()
{
    for (int i = 0; i < 300; ++i)
        m_dir->write("roms/local/Game " + std::to_string(1000 + i) + ".nes");
    MainFrame &frame = start({{"Local", local("roms/local/")}}, 0);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QCOMPARE(names().size(), std::size_t(302));

    // A row chosen, the list scrolled, a search applied: all stay through refreshes.
    frame.findChild<QLineEdit *>(QStringLiteral("searchEdit"))->setText(QStringLiteral("game"));
    QTest::mouseClick(frame.findChild<QPushButton *>(QStringLiteral("applyButton")), Qt::LeftButton);
    QCOMPARE(names().size(), std::size_t(300));
    list()->setCurrentRow(150); // "Game 1150.nes"
    list()->scrollTo(list()->romModel()->index(100, 0), QAbstractItemView::PositionAtTop);
    const auto topName = [&] { return list()->nameAt(list()->indexAt(QPoint(0, 0)).row()); };
    QCOMPARE(topName(), std::string("Game 1100.nes"));

    QSignalSpy refreshes(&frame.romFolderReader(), &RomFolderReader::listRead);
    m_dir->write("roms/local/Game 0001.nes"); // above everything shown
    m_dir->write("roms/local/Other.nes");     // not what the search keeps
    QTRY_COMPARE(list()->count(), 301);
    QCOMPARE(list()->nameAt(0), std::string("Game 0001.nes"));
    QCOMPARE(list()->nameAt(list()->currentRow()), std::string("Game 1150.nes"));
    QCOMPARE(topName(), std::string("Game 1100.nes"));

    QCOMPARE(::unlink(local("roms/local/Game 1000.nes").c_str()), 0);
    QTRY_COMPARE(list()->count(), 300);
    QCOMPARE(list()->nameAt(list()->currentRow()), std::string("Game 1150.nes"));

    // A thousand files copied in for two seconds cost a few refreshes, not one per file.
    refreshes.clear();
    std::thread copying([&] {
        for (int i = 0; i < 1000; ++i) {
            m_dir->write("roms/local/Game " + std::to_string(5000 + i) + ".nes");
            if (i % 50 == 49)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    const auto joined = qScopeGuard([&] { copying.join(); });
    QTRY_COMPARE_WITH_TIMEOUT(list()->count(), 1300, 15000);
    QVERIFY2(refreshes.count() <= 6, qPrintable(QString::number(refreshes.count())));

    // The tree follows its folders, keeping what is expanded and the selected folder.
    m_dir->makeFolder("roms/local/Europe/France");
    QTRY_COMPARE(tree()->romsItem()->child(0)->childCount(), 1);
    tree()->romsItem()->child(0)->setExpanded(true);
    m_dir->makeFolder("roms/local/Asia");
    QTRY_COMPARE(tree()->romsItem()->childCount(), 2);
    QVERIFY(tree()->romsItem()->child(1)->isExpanded()); // Europe, now after Asia
    tree()->setCurrentItem(tree()->romsItem()->child(1)->child(0));
    QCOMPARE(frame.currentRomFolder(), local("roms/local/Europe/France/"));
    m_dir->makeFolder("roms/local/Asia/Japan");
    QTRY_COMPARE(tree()->romsItem()->child(0)->childCount(), 1);
    QCOMPARE(tree()->selectedPath(), (std::vector<std::string>{"Europe", "France"}));
    QVERIFY(tree()->currentItem()->isSelected());

    // The selected folder removed: its parent is selected, and listed.
    QCOMPARE(::rmdir(local("roms/local/Europe/France").c_str()), 0);
    QTRY_COMPARE(tree()->selectedPath(), std::vector<std::string>{"Europe"});
    QTRY_COMPARE(frame.currentRomFolder(), local("roms/local/Europe/"));
}

void SlowStorageTest::aPictureThatAppearsForTheSelectedRomShows()
{
    m_dir->makeFolder("snaps");
    QImage fallback(8, 8, QImage::Format_RGB32);
    fallback.fill(Qt::black);
    QVERIFY(fallback.save(QString::fromStdString(local("NoShot.png"))));
    MainFrame &frame = start({{"Local", local("roms/local/"), local("snaps/")}}, 0, 1);
    QCOMPARE(names().size(), std::size_t(2));
    const auto colour = [&] {
        const auto &picture = frame.snapshot(0);
        return picture && !picture->isNull() ? picture->image().pixelColor(1, 1) : QColor();
    };
    list()->setCurrentRow(0);
    frame.OnSelChangeRom();
    frame.snapshotLoader().waitForIdle();
    QCOMPARE(colour(), QColor(Qt::black));

    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::green);
    QVERIFY(picture.save(QString::fromStdString(local("snaps/Alpha.png"))));
    QTRY_COMPARE(colour(), QColor(Qt::green));

    // Another file of the same size and time put in its place (a backup restored): it shows.
    struct stat shown;
    QCOMPARE(::stat(local("snaps/Alpha.png").c_str(), &shown), 0);
    const QString restored = QString::fromStdString(local("snaps/restored.png"));
    QColor other;
    for (const QColor candidate : {Qt::blue, Qt::red, Qt::cyan, Qt::magenta, Qt::yellow, Qt::darkGreen}) {
        picture.fill(candidate);
        QVERIFY(picture.save(restored));
        other = candidate;
        if (QFileInfo(restored).size() == shown.st_size)
            break;
    }
    QCOMPARE(QFileInfo(restored).size(), qint64(shown.st_size));
    const timespec times[2] = {shown.st_atim, shown.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, local("snaps/restored.png").c_str(), times, 0), 0);
    QCOMPARE(::rename(local("snaps/restored.png").c_str(), local("snaps/Alpha.png").c_str()), 0);
    QTRY_COMPARE(colour(), other);
}

// Two systems on a share that never answers (one of them its folder, the other a tree that
// reaches it), chosen again and again between plays of a local one: the readers stuck in the
// kernel stay few, and so do the inotify instances.
void SlowStorageTest::hungFoldersChosenAgainAndAgainHoldABoundedNumberOfReaders()
{
    start({{"NAS", mounted("hang")}, {"NAS root", m_fuse->path()}, {"Local", local("roms/local/")}}, 2);
    QCOMPARE(names().size(), std::size_t(2));
    const Held before = held();
    for (int choice = 0; choice < 200; ++choice) {
        select(choice % 3);
        QCoreApplication::processEvents();
    }
    // Chosen again once its read is surely under way, it waits for that read, and says so.
    const QString waiting = QString::fromStdString(FolderStatusText::waitingForEarlierRead(mounted("hang")));
    select(0);
    QTRY_VERIFY_WITH_TIMEOUT(status() == waiting ||
                                 status() == QString::fromStdString(FolderStatusText::notAnswering(mounted("hang"))),
                             RomFolderReader::kNotAnsweringMs + 5000);
    select(2);
    select(0);
    QCOMPARE(status(), QString::fromStdString("Waiting for " + mounted("hang") +
                                              ": the folder has not answered the last read yet."));
    select(2);
    QCOMPARE(names(), (std::vector<std::string>{"Alpha.nes", "Beta.nes"}));
    const Held after = held();
    qInfo("after 200 choices: %d processes, %d inotify instances (before: %d, %d)", after.processes, after.inotify,
          before.processes, before.inotify);
    // The file system's daemon, the spawner, its readers (one per hung folder among them) and
    // the killed ones not yet gone from the kernel: nothing per choice.
    QVERIFY(after.processes <= 2 + FolderReaderPool::kMaxReaders + FolderReaderPool::kMaxEnding);
    // A tree walk under way holds its watch until it passes the silent folder over: one per
    // reader at most, nothing per choice.
    QVERIFY(after.inotify <= before.inotify + FolderReaderPool::kMaxReaders);
}

// A USB stick pulled and put back while its folder is shown, then a share that tells no changes.
void SlowStorageTest::aFolderThatGoesAndComesBackShowsAgainByItself()
{
    const std::string stick = local("stick/");
    const auto putIn = [&](const char *rom, const char *folder) {
        m_dir->makeFolder("stick");
        QCOMPARE(::mount("stick", stick.c_str(), "tmpfs", 0, "size=1m"), 0);
        m_dir->write(std::string("stick/") + rom);
        m_dir->makeFolder(std::string("stick/") + folder);
    };
    putIn("Gamma.nes", "Disc 1");
    auto unmount = qScopeGuard([&] { ::umount2(stick.c_str(), MNT_DETACH); });
    MainFrame &frame = start({{"Stick", stick}, {"Share", mounted("ticking")}}, 0);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QCOMPARE(names(), std::vector<std::string>{"Gamma.nes"});
    QCOMPARE(tree()->romsItem()->childCount(), 1);

    QCOMPARE(::umount2(stick.c_str(), MNT_DETACH), 0);
    QCOMPARE(::rmdir(stick.c_str()), 0);
    QTRY_COMPARE(status(), QString::fromStdString("Cannot read " + stick + ": No such file or directory"));
    QCOMPARE(list()->count(), 0);
    QTRY_COMPARE(tree()->romsItem()->childCount(), 0);

    putIn("Delta.nes", "Disc 2");
    QTRY_COMPARE_WITH_TIMEOUT(list()->count(), 1, 4 * RomFolderReader::kCheckMs);
    QCOMPARE(list()->nameAt(0), std::string("Delta.nes"));
    QCOMPARE(status(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(tree()->romsItem()->childCount(), 1, 4 * RomFolderReader::kCheckMs);
    QCOMPARE(tree()->romsItem()->child(0)->text(0), QStringLiteral("Disc 2"));

    // Unmounted under the window and mounted again: the folder is there all along, emptied.
    QCOMPARE(::umount2(stick.c_str(), MNT_DETACH), 0);
    QTRY_COMPARE(list()->count(), 0);
    putIn("Epsilon.nes", "Disc 3");
    QTRY_COMPARE_WITH_TIMEOUT(list()->count(), 1, 4 * RomFolderReader::kCheckMs);
    QCOMPARE(list()->nameAt(0), std::string("Epsilon.nes"));

    select(1);
    const std::vector<std::string> first = names();
    QCOMPARE(first.size(), std::size_t(1));
    QTRY_VERIFY_WITH_TIMEOUT(list()->count() == 1 && list()->nameAt(0) != first[0], 4 * RomFolderReader::kCheckMs);
}

// The processes that parent forked without starting another program (the file system's daemon
// is python): the readers' spawner below this one, the readers below it.
std::vector<pid_t> forksOf(pid_t parent)
{
    const auto comm = [](const std::string &pid) {
        std::ifstream file("/proc/" + pid + "/comm");
        std::string name;
        std::getline(file, name);
        return name;
    };
    std::vector<pid_t> found;
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        std::getline(stat, text);
        pid_t of = 0;
        const std::size_t end = text.rfind(')');
        if (end != std::string::npos && std::sscanf(text.c_str() + end + 1, " %*c %d", &of) == 1 && of == parent &&
            comm(entry.path().filename()) == comm("self"))
            found.push_back(std::atoi(entry.path().filename().c_str()));
    }
    return found;
}

// Killed, its readers die with it: the next choice is read by a new one. Stopped, with no
// reader left: the window goes on, and a new one reads.
void SlowStorageTest::aKilledOrStoppedSpawnerIsReplaced()
{
    m_dir->write("roms/other/Omega.nes");
    start({{"Local", local("roms/local/")}, {"Other", local("roms/other/")}}, 0);
    QCOMPARE(names().size(), std::size_t(2));
    for (const int signal : {SIGKILL, SIGSTOP}) {
        const std::vector<pid_t> spawner = forksOf(::getpid());
        QCOMPARE(spawner.size(), std::size_t(1));
        QCOMPARE(::kill(spawner[0], signal), 0);
        if (signal == SIGSTOP) // and no reader left: a new one must be asked for
            for (const pid_t reader : forksOf(spawner[0]))
                QCOMPARE(::kill(reader, SIGKILL), 0);
        select(1);
        QCOMPARE(names(), std::vector<std::string>{"Omega.nes"});
        select(0);
        QCOMPARE(names(), (std::vector<std::string>{"Alpha.nes", "Beta.nes"}));
        QCOMPARE(status(), QString());
    }
}

// Copies that never pause long enough to call them settled (a file every 20 ms): the list
// follows them while they go on, each refresh taking many files at once.
void SlowStorageTest::aLongBurstOfCopiesIsFollowedWhileItLasts()
{
    MainFrame &frame = start({{"Local", local("roms/local/")}}, 0);
    QCOMPARE(names().size(), std::size_t(2));
    QSignalSpy refreshes(&frame.romFolderReader(), &RomFolderReader::listRead);
    std::atomic<bool> stop{false};
    std::atomic<int> written{0};
    std::thread copying([&] {
        for (int i = 0; !stop && i < 3000; ++i) {
            m_dir->write("roms/local/Burst " + std::to_string(10000 + i) + ".nes");
            written = i + 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const auto joined = qScopeGuard([&] {
        stop = true;
        copying.join();
    });
    int shown = list()->count();
    for (int refresh = 0; refresh < 3; ++refresh) {
        QVERIFY(refreshes.wait(10000));
        QVERIFY(written < 3000); // still copying
        QVERIFY2(list()->count() > shown, qPrintable(QString::number(list()->count())));
        shown = list()->count();
    }
    QVERIFY2(refreshes.count() * 10 <= written,
             qPrintable(QStringLiteral("%1 refreshes for %2 files").arg(refreshes.count()).arg(written.load())));
}

// A ROM folder with a link to a share of which one folder never answers: the tree comes all the
// same, with that folder marked, and the ROMs of the folder are listed.
void SlowStorageTest::aTreeReachingAHungShareShowsWhatAnsweredAndMarksTheRest()
{
    m_dir->write("roms/linked/Zelda.nes");
    m_dir->makeFolder("roms/linked/Europe");
    QCOMPARE(::symlink(m_fuse->path().c_str(), local("roms/linked/nas").c_str()), 0);
    start({{"Linked", local("roms/linked/")}}, 0);
    QCOMPARE(names(), std::vector<std::string>{"Zelda.nes"});
    QStringList shown;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            shown.clear();
            for (QTreeWidgetItemIterator it(tree()); *it; ++it)
                if ((*it)->parent())
                    shown << (*it)->text(0);
            return shown.size() > 2;
        }(),
        marlit::FolderScanOptions::kAnswerMs * 3);
    QCOMPARE(shown, (QStringList{"Europe", "nas", "broken", "changing", "guarded", "Inner", "hang (does not answer)",
                                 "slow", "stalled", "ticking"}));
}

// A ROM directory whose read permission is taken away and given back. Its file system checks
// permissions itself, so that root is refused too; neither change touches the folder's
// modification time, so its stamp cannot tell them.
void SlowStorageTest::aFolderMadeReadableAgainIsReadAfresh()
{
    const std::string guarded = mounted("guarded");
    const QString refused = QString::fromStdString("Cannot read " + guarded + ": Permission denied");
    QCOMPARE(::chmod(guarded.c_str(), 0), 0);
    MainFrame &frame = start({{"Guarded", guarded}}, 0);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(names().empty());
    QCOMPARE(status(), refused);
    QCOMPARE(tree()->romsItem()->childCount(), 0);

    // Chosen again ("ROMS" clicked): its list and its tree, both read afresh.
    QCOMPARE(::chmod(guarded.c_str(), 0755), 0);
    QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(tree()->romsItem()).center());
    QCOMPARE(names(), std::vector<std::string>{"Guarded.nes"});
    QCOMPARE(status(), QString());
    QCOMPARE(tree()->romsItem()->childCount(), 1);

    // Given back while it is shown, without a choice: the checks of a folder that could not be
    // read read it afresh, and show it by themselves.
    QCOMPARE(::chmod(guarded.c_str(), 0), 0);
    select(0);
    QVERIFY(names().empty());
    QCOMPARE(status(), refused);
    QCOMPARE(::chmod(guarded.c_str(), 0755), 0);
    QTRY_COMPARE_WITH_TIMEOUT(list()->count(), 1, 4 * RomFolderReader::kCheckMs);
    QCOMPARE(status(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(tree()->romsItem()->childCount(), 1, 4 * RomFolderReader::kCheckMs);
}

// A ROM directory with one folder more than the tree's bound, nearly all of them in a sub-folder:
// the tree shows the bound exactly, the first level whole, and says that it is cut. With one
// folder less, chosen again, it shows every folder and says nothing.
void SlowStorageTest::theTreeHoldsItsFolderBoundInSubFoldersAndSaysSo()
{
    constexpr int kBound = static_cast<int>(marlit::FolderTreeScanner::kMaxFolders);
    // In memory: tens of thousands of folders are made fast there, whatever the disk is doing.
    m_dir->makeFolder("roms/big");
    QCOMPARE(::mount("big", local("roms/big").c_str(), "tmpfs", 0, "size=64m"), 0);
    auto unmount = qScopeGuard([&] {
        m_frame.reset();
        ::umount2(local("roms/big").c_str(), MNT_DETACH);
    });
    m_dir->write("roms/big/Game.nes");
    m_dir->makeFolder("roms/big/All");
    m_dir->makeFolder("roms/big/Zeta");
    for (int i = 0; i < kBound - 1; ++i)
        QCOMPARE(::mkdir(local(("roms/big/All/" + std::to_string(i)).c_str()).c_str(), 0755), 0);
    const std::function<int(const QTreeWidgetItem *)> below = [&](const QTreeWidgetItem *item) {
        int folders = item->childCount();
        for (int child = 0; child < item->childCount(); ++child)
            folders += below(item->child(child));
        return folders;
    };
    const auto shown = [&] { return below(tree()->romsItem()); };
    const QString cut = QString::fromStdString(FolderStatusText::treeCut(marlit::FolderTreeScanner::kMaxFolders));
    struct Step
    {
        const char *what;
        int folders;
        bool cut;
    };
    const Step steps[] = {{"one over the bound", kBound + 1, true}, {"at the bound", kBound, false}};
    for (const Step &step : steps) {
        if (!step.cut)
            QCOMPARE(::rmdir(local("roms/big/All/0").c_str()), 0);
        if (!m_frame)
            start({{"Big", local("roms/big/")}}, 0);
        else
            select(0);
        QCOMPARE(names(), std::vector<std::string>{"Game.nes"});
        QTRY_COMPARE_WITH_TIMEOUT(shown(), std::min(step.folders, kBound), 20000);
        QCOMPARE(status(), step.cut ? cut : QString());
        // Level by level: both folders of the first level are there, whatever was cut below.
        QCOMPARE(tree()->romsItem()->childCount(), 2);
        QCOMPARE(tree()->romsItem()->child(1)->text(0), QStringLiteral("Zeta"));
        QCOMPARE(tree()->romsItem()->child(0)->childCount(), std::min(step.folders, kBound) - 2);
    }
}

// Pegasus' folder of metafiles, in the user's home, on a share whose listing never answers (it
// is looked for for every system): each system's game list and pictures still come, for more
// systems one after another than the window's process has threads for reading game lists.
void SlowStorageTest::gameListsAndPicturesComeWhileAFolderOfThemHangs()
{
    const QByteArray home = qgetenv("HOME");
    auto restore = qScopeGuard([&] { qputenv("HOME", home); });
    qputenv("HOME", QByteArray::fromStdString(local("home")));
    m_dir->makeFolder("home/.config/pegasus-frontend");
    QCOMPARE(::symlink(mounted("hang").c_str(), local("home/.config/pegasus-frontend/metafiles").c_str()), 0);
    std::vector<System> systems;
    constexpr int kSystems = 5;
    for (int i = 0; i < kSystems; ++i) {
        const std::string folder = "described/" + std::to_string(i) + "/";
        m_dir->write(folder + "Game.nes");
        m_dir->write(folder + "gamelist.xml", "<gameList><game><path>./Game.nes</path><name>Title " +
                                                  std::to_string(i) + "</name></game></gameList>");
        m_dir->write(folder + "media/covers/Game.png", "a cover");
        systems.push_back({"Described " + std::to_string(i), local(folder.c_str())});
    }
    start(systems, 0);
    for (int i = 0; i < kSystems; ++i) {
        if (i > 0)
            select(i);
        const std::string folder = local(("described/" + std::to_string(i) + "/").c_str());
        const GameListPresenter &games = m_frame->gameListPresenter();
        QTRY_VERIFY_WITH_TIMEOUT(games.describes() && games.games()->romFolder == folder, 10000);
        QCOMPARE(std::string(games.games()->describe(folder + "Game.nes")->title), "Title " + std::to_string(i));
        QCOMPARE(games.picture(0, folder + "Game.nes"), folder + "media/covers/Game.png");
    }
}

// Game lists on a share that lists them at once but never answers their reads, for more systems
// than the window reads game lists at once: another system's list still comes, and the window
// closes at once, its reading threads still stuck in the kernel.
void SlowStorageTest::aGameListWhoseReadNeverAnswersHoldsUpNoOtherList()
{
    std::vector<System> systems;
    for (int i = 0; i <= GameListLoader::kMaxReads; ++i) {
        const std::string folder = "stalled" + std::to_string(i);
        QCOMPARE(::symlink(mounted("stalled").c_str(), local(folder.c_str()).c_str()), 0);
        systems.push_back({folder, local(folder.c_str()) + "/"});
    }
    m_dir->write("described/Game.nes");
    m_dir->write("described/gamelist.xml",
                 "<gameList><game><path>./Game.nes</path><name>Told</name></game></gameList>");
    systems.push_back({"Local", local("described/")});
    start(systems, 0);
    const GameListPresenter &games = m_frame->gameListPresenter();
    for (int i = 0; i <= GameListLoader::kMaxReads; ++i) {
        if (i > 0)
            select(i);
        QTRY_COMPARE_WITH_TIMEOUT(games.loader().readsUnderWay(), i + 1, 10000);
    }
    select(GameListLoader::kMaxReads + 1);
    QTRY_VERIFY_WITH_TIMEOUT(games.describes() && games.games()->romFolder == local("described/"), 10000);
    QCOMPARE(std::string(games.games()->describe(local("described/Game.nes"))->title), "Told");
    QElapsedTimer closing;
    closing.start();
    m_frame.reset();
    QVERIFY(closing.elapsed() < 2000);
}

QTEST_MAIN(SlowStorageTest)
#include "tst_slowstorage.moc"
