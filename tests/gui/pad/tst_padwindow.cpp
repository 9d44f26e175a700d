// The window driven by a virtual game controller, as a user on a sofa would: move in the lists,
// play (a stand-in emulator), the pad ignored while the game runs and the game ended with the
// held combination, a favourite, another category tab, a message box answered, the controller
// unplugged mid-use and plugged in again.

#include "SettingsBytes.h"
#include "TempDir.h"

#include "core/history/HistoryStore.h"
#include "core/pad/VirtualPadLine.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/history/PlayHistory.h"
#include "gui/launch/EmulatorStarter.h"
#include "gui/pad/PadControl.h"
#include "gui/pad/SdlGamepads.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"
#include "gui/ui/SystemListBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fstream>
#include <sys/stat.h>

using marlit::test::TempDir;

namespace {

std::string record(const std::string &name, const std::string &romDirectory, const std::string &emulator)
{
    return "NAME = " + name + "\r\nDESC = \r\nROMDIR = " + romDirectory + "\r\nEMU = " + emulator +
           "\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";
}

// Running, not a zombie waiting for its parent.
bool processAlive(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    return stat >> pidText >> name >> state && state != "Z";
}

} // namespace

class PadWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void padNavigatesPlaysAndEndsTheGameWithTheCombination();
    void padMarksChangesTabAndAnswersAMessageBox();
    void unpluggedMidUseStopsRepeatingAndPluggedAgainWorks();

private:
    // Performs the line on the virtual controller and waits until it has been let go.
    void press(const char *line);
    std::string file(const std::string &relative) const { return m_dir->file(relative); }

    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<MainFrame> m_frame;
    std::unique_ptr<PadControl> m_pads;
    RomListBox *m_roms = nullptr;
    SystemListBox *m_systems = nullptr;
};

void PadWindowTest::init()
{
    m_dir = std::make_unique<TempDir>();
    for (const char *name : {"Alpha.nes", "Bravo.nes", "Charlie.nes", "Delta.nes"})
        m_dir->write(std::string("roms/nes/") + name);
    m_dir->write("roms/snes/F-Zero.sfc");
    m_dir->write("roms/arcade/Galaga.zip");
    // Runs until it is told to end; says its process id and the ROM it was given.
    m_dir->write("emu/stand-in.sh", "#!/bin/sh\nprintf '%s\\n' \"$1\" > '" + file("rom.log") + "'\necho $$ > '" +
                                        file("pid.part") + "' && mv '" + file("pid.part") + "' '" + file("pid") +
                                        "'\nexec sleep 120\n");
    QCOMPARE(::chmod(file("emu/stand-in.sh").c_str(), 0755), 0);
    m_dir->write("console.ini", record("NES", file("roms/nes/"), file("emu/stand-in.sh")) +
                                    record("SNES", file("roms/snes/"), file("emu/stand-in.sh")));
    m_dir->write("classic.ini", record("MAME", file("roms/arcade/"), file("emu/stand-in.sh")));
    m_dir->write("marlit.cfg", marlit::test::SettingsBytes{true, true, 0, 640, 480, 1, 0}.bytes());

    m_frame = std::make_unique<MainFrame>(m_dir->path());
    QVERIFY(m_frame->romFolderReader().waitForIdle());
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
    m_roms = m_frame->findChild<RomListBox *>(QStringLiteral("romList"));
    m_systems = m_frame->findChild<SystemListBox *>(QStringLiteral("systemList"));
    QVERIFY(m_roms && m_systems);
    QTRY_COMPARE(m_roms->count(), 4);

    m_pads = std::make_unique<PadControl>(*m_frame, m_frame->emulatorStarter(), m_dir->path() + "/");
    QSignalSpy added(&m_pads->gamepads(), &SdlGamepads::controllerAdded);
    m_pads->gamepads().attachVirtual();
    QVERIFY(added.wait(10'000));
}

void PadWindowTest::cleanup()
{
    if (QFile::exists(QString::fromStdString(file("pid"))))
        ::kill(std::stoi(m_dir->read("pid")), SIGKILL);
    m_pads.reset();
    m_frame.reset();
    m_dir.reset();
}

void PadWindowTest::press(const char *line)
{
    QSignalSpy performed(&m_pads->gamepads(), &SdlGamepads::linesPerformed);
    m_pads->gamepads().perform(*marlit::VirtualPadLine::parse(line));
    QVERIFY2(performed.wait(10'000), line);
    // The keys the buttons stand for are posted: they are handled at the next turn.
    QTest::qWait(20);
}

void PadWindowTest::padNavigatesPlaysAndEndsTheGameWithTheCombination()
{
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_roms));
    press("dpdown");
    QTRY_COMPARE(m_roms->currentRow(), 0);
    press("dpdown");
    QTRY_COMPARE(m_roms->currentRow(), 1);
    press("dpleft");
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_systems));
    press("rightshoulder"); // the next system, without leaving the system list
    QTRY_COMPARE(m_systems->currentRow(), 1);
    QTRY_COMPARE(m_roms->count(), 1);
    press("leftshoulder");
    QTRY_COMPARE(m_roms->count(), 4);
    press("dpright");
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_roms));

    // Nothing selected after the system changed: a plays the first row.
    QCOMPARE(m_roms->currentRow(), -1);
    QSignalSpy played(&m_frame->emulatorStarter(), &EmulatorStarter::playStarted);
    press("a");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QString::fromStdString(file("pid"))), 10'000);
    QCOMPARE(m_roms->currentRow(), 0);
    QVERIFY(m_frame->emulatorStarter().gameRunning());
    const pid_t game = std::stoi(m_dir->read("pid"));

    // The pad belongs to the game: the window ignores it.
    press("dpdown");
    press("y");
    QCOMPARE(m_roms->currentRow(), 0);
    QVERIFY(!m_roms->romModel()->isFavourite(0));
    QTRY_COMPARE_WITH_TIMEOUT(played.count(), 1, 10'000); // its first seconds are over: the play counts

    // Held too briefly, then long enough: the game ends through its pidfd.
    press("back+start 400");
    QTest::qWait(200);
    QVERIFY(processAlive(game));
    QSignalSpy ended(&m_frame->emulatorStarter(), &EmulatorStarter::playEnded);
    press("back+start 1300");
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10'000);
    QTRY_VERIFY(!processAlive(game));
    QTRY_VERIFY(!m_frame->emulatorStarter().gameRunning());
    QTRY_VERIFY(QApplication::activeWindow() == m_frame.get());

    QVERIFY(m_frame->playHistory().finish(std::chrono::seconds(20)));
    marlit::HistoryStore store(file(marlit::HistoryStore::kFileName));
    store.open();
    const std::optional<marlit::RomHistory> history = store.find(file("roms/nes/Alpha.nes"));
    QVERIFY(history);
    QCOMPARE(history->plays, 1);
    QVERIFY2(history->playedMs >= 3000, "the time up to the combination is recorded");

    // The window has the pad again.
    press("dpdown");
    QTRY_COMPARE(m_roms->currentRow(), 1);
}

void PadWindowTest::padMarksChangesTabAndAnswersAMessageBox()
{
    press("dpdown");
    QTRY_COMPARE(m_roms->currentRow(), 0);
    // The mark is written by the history's worker first: a loaded machine can take seconds.
    press("y");
    QTRY_VERIFY_WITH_TIMEOUT(m_roms->romModel()->isFavourite(0), 15'000);
    press("y");
    QTRY_VERIFY_WITH_TIMEOUT(!m_roms->romModel()->isFavourite(0), 15'000);

    auto *tabs = m_frame->findChild<QTabBar *>(QStringLiteral("categoryTabs"));
    QVERIFY(tabs);
    press("lefttrigger");
    QTRY_COMPARE(tabs->currentIndex(), 0); // "Classic", its first system
    QTRY_COMPARE(m_roms->count(), 1);
    QCOMPARE(m_systems->currentRow(), 0);
    press("righttrigger");
    QTRY_COMPARE(tabs->currentIndex(), 1);
    QTRY_COMPARE(m_roms->count(), 4);

    // x moves to the search; b back to the list.
    press("x");
    QTRY_COMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("searchEdit"));
    press("b");
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_roms));

    // A message box: right to its second button, a presses it.
    QMessageBox box(QMessageBox::Question, QStringLiteral("Marlit"), QStringLiteral("Really?"),
                    QMessageBox::Yes | QMessageBox::No, m_frame.get());
    box.setDefaultButton(QMessageBox::Yes);
    box.open();
    QTRY_COMPARE(QApplication::activeModalWidget(), static_cast<QWidget *>(&box));
    QTRY_VERIFY(box.isAncestorOf(QApplication::focusWidget())); // its default button has the keys
    press("dpright");
    press("a");
    QTRY_VERIFY(!box.isVisible());
    QCOMPARE(box.standardButton(box.clickedButton()), QMessageBox::No);
    // What a window manager does when a dialog closes; the offscreen platform has none.
    m_frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));

    // start opens the ROM's menu, b closes it. The menu runs its own loop: both are given at once.
    QStringList popups;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (QWidget *popup = QApplication::activePopupWidget(); popup && !popups.contains(popup->objectName()))
            popups << popup->objectName();
    });
    watch.start(20);
    QSignalSpy performed(&m_pads->gamepads(), &SdlGamepads::linesPerformed);
    m_pads->gamepads().perform(*marlit::VirtualPadLine::parse("start"));
    m_pads->gamepads().perform(*marlit::VirtualPadLine::parse("b 500"));
    QTRY_COMPARE_WITH_TIMEOUT(performed.size(), 1, 10'000);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QCOMPARE(popups, QStringList{QStringLiteral("romMenu")});
}

void PadWindowTest::unpluggedMidUseStopsRepeatingAndPluggedAgainWorks()
{
    QSignalSpy removed(&m_pads->gamepads(), &SdlGamepads::controllerRemoved);
    // Held down: the first move at once, repeats after the delay; unplugged while held.
    m_pads->gamepads().perform(*marlit::VirtualPadLine::parse("dpdown 5000"));
    QTRY_COMPARE(m_roms->currentRow(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_roms->currentRow(), 2, 10'000);
    m_pads->gamepads().detachVirtual();
    QVERIFY(removed.wait(10'000));
    const int stopped = m_roms->currentRow();
    QTest::qWait(500);
    QCOMPARE(m_roms->currentRow(), stopped);

    QSignalSpy added(&m_pads->gamepads(), &SdlGamepads::controllerAdded);
    m_pads->gamepads().attachVirtual();
    QVERIFY(added.wait(10'000));
    press("dpup");
    QTRY_COMPARE(m_roms->currentRow(), stopped - 1);
}

QTEST_MAIN(PadWindowTest)
#include "tst_padwindow.moc"
