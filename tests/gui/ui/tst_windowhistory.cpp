// Favourites in the window, against a real history file: the stars of the selected system's
// favourites, Ctrl+D wherever the focus is, and the ROM list's menu (Play, the favourite mark,
// Forget Play History) from a right click and from the Menu key.

#include "ModalAnswer.h"
#include "SettingsBytes.h"
#include "TempDir.h"

#include "core/history/HistoryStore.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/catalogue/SystemConfigDialog.h"
#include "gui/history/HistoryIcons.h"
#include "gui/history/PlayHistory.h"
#include "gui/launch/EmulatorStarter.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"
#include "gui/ui/RomRowDelegate.h"
#include "gui/ui/SystemListBox.h"

#include "gui/launch/LaunchNotice.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <csignal>
#include <sys/stat.h>

using marlit::HistoryStore;
using marlit::RomHistory;
using marlit::SystemKey;
using marlit::test::TempDir;

namespace {

const SystemKey kNes{"console.ini", "NES"};
const SystemKey kSnes{"console.ini", "SNES"};
const std::string kLongName = "The Legend of a Name Far Too Long for Any Row of This List to Show Whole, "
                              "Whatever the Font (U) [!].nes";

std::string record(const std::string &name, const std::string &romDirectory, const std::string &emulator)
{
    return "NAME = " + name + "\r\nDESC = \r\nROMDIR = " + romDirectory + "\r\nEMU = " + emulator +
           "\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";
}

// The "Console" tab and its first system remembered, no snapshots.
std::string settingsOnConsole()
{
    return marlit::test::SettingsBytes{true, true, 0, 640, 480, 1, 0}.bytes();
}

int rowOf(RomListBox &list, const std::string &name)
{
    for (int row = 0; row < list.count(); ++row)
        if (list.nameAt(row) == name)
            return row;
    return -1;
}

// Whether the row's icon place shows the star's gold.
bool showsStar(RomListBox &list, int row)
{
    QApplication::processEvents();
    const QRect icon = RomRowDelegate::ItemLayout::forRow(list.visualRect(list.model()->index(row, 0))).icon;
    const QImage image = list.viewport()->grab(icon).toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == HistoryIcons::kStarColor)
                return true;
    return false;
}

// Chooses the item named text in the next menu that opens; gives every item's text once it has.
std::shared_ptr<QStringList> chooseInNextMenu(const QString &text)
{
    auto items = std::make_shared<QStringList>();
    QTimer::singleShot(0, [items, text] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction *action : menu->actions()) {
            *items << (action->isSeparator() ? QStringLiteral("-") : action->text());
            if (action->text() == text)
                menu->setActiveAction(action);
        }
        QTest::keyClick(menu, menu->activeAction() ? Qt::Key_Return : Qt::Key_Escape);
    });
    return items;
}

} // namespace

class WindowHistoryTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void starsFollowTheSystemAndCtrlDMarksWhereverTheFocusIs();
    void romMenuPlaysMarksAndForgets();
    void playsFromTheListAreRecordedAndClosingEndsTheOneRunning();
    void renamedSystemKeepsItsFavourites();
    void playSaysWhyItStartsNothingAndWhatAGameMisses();

private:
    std::optional<RomHistory> stored(const std::string &path);
    std::string rom(const std::string &relative) const { return m_dir->file("roms/" + relative); }

    std::unique_ptr<TempDir> m_dir;
    const std::int64_t m_dayAgo =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count() -
        86'400'000;
};

void WindowHistoryTest::init()
{
    m_dir = std::make_unique<TempDir>();
    m_dir->write("roms/nes/Zelda (U).nes");
    m_dir->write("roms/nes/MARIO.NES");
    m_dir->write("roms/nes/Metroid.nes");
    m_dir->write("roms/nes/" + kLongName);
    m_dir->write("roms/nes/" + kLongName + ".unplayed");
    m_dir->write("roms/snes/F-Zero.sfc");
    m_dir->write("emu/stand-in.sh", "#!/bin/sh\nprintf '%s' \"$1\" > '" + m_dir->file("launch.part") + "' && mv '" +
                                        m_dir->file("launch.part") + "' '" + m_dir->file("launch.log") + "'\n");
    QCOMPARE(::chmod(m_dir->file("emu/stand-in.sh").c_str(), 0755), 0);
    m_dir->write("console.ini", record("NES", m_dir->file("roms/nes/"), m_dir->file("emu/stand-in.sh")) +
                                    record("SNES", m_dir->file("roms/snes/"), "/bin/true"));
    m_dir->write("marlit.cfg", settingsOnConsole());
    HistoryStore store(m_dir->file(HistoryStore::kFileName));
    store.open();
    QVERIFY(store.setFavourite(rom("nes/MARIO.NES"), kNes, true));
    QVERIFY(store.setFavourite(rom("snes/F-Zero.sfc"), kSnes, true));
    QVERIFY(store.recordPlay(rom("nes/Zelda (U).nes"), kNes, m_dayAgo));
    QVERIFY(store.addPlayedTime(rom("nes/Zelda (U).nes"), 8'040'000));
    QVERIFY(store.recordPlay(rom("nes/" + kLongName), kNes, m_dayAgo));
}

void WindowHistoryTest::cleanup()
{
    m_dir.reset();
}

std::optional<RomHistory> WindowHistoryTest::stored(const std::string &path)
{
    HistoryStore store(m_dir->file(HistoryStore::kFileName));
    store.open();
    return store.find(path);
}

void WindowHistoryTest::starsFollowTheSystemAndCtrlDMarksWhereverTheFocusIs()
{
    auto frame = std::make_unique<MainFrame>(m_dir->path());
    QVERIFY(frame->romFolderReader().waitForIdle()); // folders are read by reader processes
    frame->show();
    QVERIFY(QTest::qWaitForWindowActive(frame.get()));
    auto *list = frame->findChild<RomListBox *>(QStringLiteral("romList"));
    auto *systems = frame->findChild<SystemListBox *>(QStringLiteral("systemList"));
    QVERIFY(list && systems);
    const int mario = rowOf(*list, "MARIO.NES");
    const int zelda = rowOf(*list, "Zelda (U).nes");
    QTRY_VERIFY(list->romModel()->isFavourite(mario));
    QVERIFY(showsStar(*list, mario));
    QVERIFY(!showsStar(*list, zelda));

    // Another system and straight back, before the first answer came: the stars are this one's.
    systems->setCurrentRow(1);
    frame->OnSelChangeSystem();
    QVERIFY2(!list->romModel()->isFavourite(0), "no star before its system's favourites are read");
    systems->setCurrentRow(0);
    frame->OnSelChangeSystem();
    QVERIFY(frame->playHistory().finish(std::chrono::seconds(20)));
    QTRY_VERIFY(list->romModel()->isFavourite(mario));
    QTest::qWait(50);
    QVERIFY(list->romModel()->isFavourite(mario));

    // A row's tooltip gives its file name, which the row shows as a title, and how much it was played.
    const auto hover = [&](int row) {
        const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
        QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &help);
    };
    hover(zelda);
    QTRY_COMPARE(QToolTip::text(),
                 QStringLiteral("<qt>Zelda (U).nes<br>1 play \u00B7 2 h 14 min \u00B7 yesterday</qt>"));
    QVERIFY(QToolTip::isVisible());
    hover(rowOf(*list, "Metroid.nes"));
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("<qt>Metroid.nes</qt>"));
    // A name cut short shows whole, above its plays if it has any.
    hover(rowOf(*list, kLongName + ".unplayed"));
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("<qt>") + QString::fromStdString(kLongName + ".unplayed</qt>"));
    hover(rowOf(*list, kLongName));
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("<qt>") + QString::fromStdString(kLongName) +
                                       QStringLiteral("<br>1 play \u00B7 under 1 min \u00B7 yesterday</qt>"));

    // Ctrl+D with the focus in the search text marks the selected ROM, and again unmarks it.
    list->setCurrentRow(zelda);
    auto *search = frame->findChild<QLineEdit *>(QStringLiteral("searchEdit"));
    search->setFocus();
    QTest::keyClick(search, Qt::Key_D, Qt::ControlModifier);
    QVERIFY2(showsStar(*list, zelda), "the star shows at once");
    QVERIFY(frame->playHistory().finish(std::chrono::seconds(20)));
    QCOMPARE(stored(rom("nes/Zelda (U).nes")),
             (RomHistory{rom("nes/Zelda (U).nes"), kNes, true, 1, 8'040'000, m_dayAgo}));
    QTest::keyClick(search, Qt::Key_D, Qt::ControlModifier);
    QVERIFY(!showsStar(*list, zelda));
    list->setCurrentRow(rowOf(*list, "Metroid.nes"));
    QTest::keyClick(list, Qt::Key_D, Qt::ControlModifier);
    QVERIFY(frame->playHistory().finish(std::chrono::seconds(20)));
    QCOMPARE(stored(rom("nes/Zelda (U).nes"))->favourite, false);
    QCOMPARE(stored(rom("nes/Metroid.nes"))->favourite, true);

    // They are there at the next start.
    frame.reset();
    frame = std::make_unique<MainFrame>(m_dir->path());
    QVERIFY(frame->romFolderReader().waitForIdle());
    frame->show();
    list = frame->findChild<RomListBox *>(QStringLiteral("romList"));
    QTRY_VERIFY(list->romModel()->isFavourite(rowOf(*list, "Metroid.nes")));
    QVERIFY(list->romModel()->isFavourite(mario));
    QVERIFY(!list->romModel()->isFavourite(zelda));
}

void WindowHistoryTest::romMenuPlaysMarksAndForgets()
{
    MainFrame frame(m_dir->path());
    QVERIFY(frame.romFolderReader().waitForIdle());
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    auto *list = frame.findChild<RomListBox *>(QStringLiteral("romList"));
    const int mario = rowOf(*list, "MARIO.NES");
    const int zelda = rowOf(*list, "Zelda (U).nes");
    QTRY_VERIFY(list->romModel()->isFavourite(mario));
    list->setCurrentRow(mario);

    // A right click on another row selects it, as a click would, and its menu acts on it.
    QSignalSpy selections(list, &RomListBox::romSelectionChanged);
    const QPoint onZelda = list->visualRect(list->model()->index(zelda, 0)).center();
    std::shared_ptr<QStringList> items = chooseInNextMenu(QStringLiteral("Add to Favourites"));
    QContextMenuEvent click(QContextMenuEvent::Mouse, onZelda, list->viewport()->mapToGlobal(onZelda));
    QApplication::sendEvent(list->viewport(), &click);
    QCOMPARE(*items, (QStringList{"Play", "Add to Favourites", "-", "Forget Play History", "-", "Stop Game"}));
    QCOMPARE(list->currentRow(), zelda);
    QCOMPARE(selections.size(), 1);
    QVERIFY(showsStar(*list, zelda));

    // Beside the rows there is nothing to act on.
    const QPoint below(5, list->viewport()->height() - 2);
    QContextMenuEvent beside(QContextMenuEvent::Mouse, below, list->viewport()->mapToGlobal(below));
    QApplication::sendEvent(list->viewport(), &beside);
    QVERIFY(!QApplication::activePopupWidget());

    // The Menu key (as the X server's keyboard reports it) opens it for the selected row: now a
    // favourite.
    items = chooseInNextMenu(QStringLiteral("Forget Play History"));
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(5, 5), list->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(list, &menuKey);
    QVERIFY(frame.playHistory().finish(std::chrono::seconds(20)));
    QCOMPARE(stored(rom("nes/Zelda (U).nes")), (RomHistory{rom("nes/Zelda (U).nes"), kNes, true, 0, 0, 0}));

    items = chooseInNextMenu(QStringLiteral("Play"));
    QApplication::sendEvent(list, &menuKey);
    QCOMPARE(*items, (QStringList{"Play", "Remove from Favourites", "-", "Forget Play History", "-", "Stop Game"}));
    QTRY_VERIFY_WITH_TIMEOUT(m_dir->exists("launch.log"), 10000);
    QCOMPARE(m_dir->read("launch.log"), rom("nes/Zelda (U).nes"));
}

void WindowHistoryTest::playsFromTheListAreRecordedAndClosingEndsTheOneRunning()
{
    // An emulator that ends at once well, one that ends at once with a failure, and one that runs
    // on (until the test ends it).
    m_dir->write("emu/stand-in.sh",
                 "#!/bin/sh\ncase \"$1\" in\n*Zelda*) exit 0 ;;\n*Metroid*) exit 3 ;;\n*) echo $$ > '" +
                     m_dir->file("running.pid") + "'; exec sleep 60 ;;\nesac\n");
    const std::int64_t before =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    auto frame = std::make_unique<MainFrame>(m_dir->path());
    QVERIFY(frame->romFolderReader().waitForIdle());
    frame->show();
    auto *list = frame->findChild<RomListBox *>(QStringLiteral("romList"));
    QSignalSpy plays(&frame->emulatorStarter(), &EmulatorStarter::playStarted);
    QSignalSpy watches(&frame->emulatorStarter(), &EmulatorStarter::watchFinished);
    for (const char *name : {"Zelda (U).nes", "Metroid.nes", "MARIO.NES"}) {
        list->setCurrentRow(rowOf(*list, name));
        frame->OnPlay();
    }
    QTRY_COMPARE_WITH_TIMEOUT(watches.size(), 3, 15000);
    QCOMPARE(plays.size(), 2);

    // Closing with MARIO.NES still running gives it the time up to the close.
    QElapsedTimer running;
    running.start();
    QVERIFY(frame->close());
    const qint64 atMost = running.elapsed() + EmulatorStarter::kWatchTime.count() + 1000;
    frame.reset();
    const std::string pid = m_dir->read("running.pid");
    QVERIFY(!pid.empty());
    ::kill(std::stoi(pid), SIGKILL);

    const std::optional<RomHistory> zelda = stored(rom("nes/Zelda (U).nes"));
    QVERIFY(zelda);
    QCOMPARE(zelda->plays, 2);
    QVERIFY(zelda->lastPlayedMs >= before);
    QVERIFY(!stored(rom("nes/Metroid.nes")));
    const std::optional<RomHistory> mario = stored(rom("nes/MARIO.NES"));
    QVERIFY(mario);
    QCOMPARE(mario->plays, 1);
    QVERIFY(mario->favourite);
    QVERIFY2(mario->playedMs >= EmulatorStarter::kWatchTime.count() && mario->playedMs <= atMost,
             std::to_string(mario->playedMs).c_str());
}

// No ROM chosen: Play says so. A list whose second disc is gone still starts, and says which.
void WindowHistoryTest::playSaysWhyItStartsNothingAndWhatAGameMisses()
{
    m_dir->write("roms/nes/Quest (USA).m3u", "Quest (USA) (Disc 1).nes\r\nQuest (USA) (Disc 2).nes\r\n");
    m_dir->write("roms/nes/Quest (USA) (Disc 1).nes");
    auto frame = std::make_unique<MainFrame>(m_dir->path());
    QVERIFY(frame->romFolderReader().waitForIdle());
    frame->show();
    auto *list = frame->findChild<RomListBox *>(QStringLiteral("romList"));
    LaunchNotice *notice = frame->emulatorStarter().notice();
    list->setCurrentRow(-1);
    frame->OnPlay();
    QCOMPARE(notice->message(), QStringLiteral("Choose a ROM first"));

    QCOMPARE(rowOf(*list, "Quest (USA) (Disc 1).nes"), -1);
    list->setCurrentRow(rowOf(*list, "Quest (USA).m3u"));
    frame->OnPlay();
    QCOMPARE(notice->message(), QStringLiteral("Missing from this game: Quest (USA) (Disc 2).nes"));
    QTRY_COMPARE(QString::fromStdString(m_dir->read("launch.log")), QString::fromStdString(rom("nes/Quest (USA).m3u")));
}

QTEST_MAIN(WindowHistoryTest)
#include "tst_windowhistory.moc"

// The favourites are the plays of the ROMs in the system's folder: renamed in the catalogue by
// an editor, then in Setup, the system keeps them; a system of the old name elsewhere has none.
void WindowHistoryTest::renamedSystemKeepsItsFavourites()
{
    m_dir->write("roms/famicom/MARIO.NES");
    m_dir->write("console.ini", record("Famicom", m_dir->file("roms/nes/"), "/bin/true") +
                                    record("NES", m_dir->file("roms/famicom/"), "/bin/true"));
    auto frame = std::make_unique<MainFrame>(m_dir->path());
    QVERIFY(frame->romFolderReader().waitForIdle());
    frame->show();
    auto *list = frame->findChild<RomListBox *>(QStringLiteral("romList"));
    auto *systems = frame->findChild<SystemListBox *>(QStringLiteral("systemList"));
    const auto showsMarioStarred = [&](int system) {
        systems->setCurrentRow(system);
        frame->OnSelChangeSystem();
        return frame->romFolderReader().waitForIdle() && frame->playHistory().finish(std::chrono::seconds(20)) &&
               QTest::qWaitFor([&] { return list->romModel()->isFavourite(rowOf(*list, "MARIO.NES")); }, 2000);
    };
    QVERIFY2(showsMarioStarred(0), "starred as \"NES\", shown under another name");
    QVERIFY2(!showsMarioStarred(1), "a system of the old name in another folder has none");

    m_dir->write("console.ini", record("Nintendo", m_dir->file("roms/nes/"), "/bin/true") +
                                    record("NES", m_dir->file("roms/famicom/"), "/bin/true"));
    QTRY_COMPARE(systems->model()->index(0, 0).data().toString(), QStringLiteral("Nintendo"));
    QVERIFY(showsMarioStarred(0));

    marlit::test::answerNextModal([](QWidget *modal) {
        auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
        qobject_cast<QLineEdit *>(dialog->control(SystemConfigDialog::IdName))->setText(QStringLiteral("NES Classic"));
        QTest::mouseClick(dialog->control(SystemConfigDialog::IdSave), Qt::LeftButton);
    });
    frame->OnSetup();
    QVERIFY(m_dir->read("console.ini").starts_with("NAME = NES Classic\r\n"));
    QVERIFY(showsMarioStarred(0));
}
