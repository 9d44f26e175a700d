// What the window leaves on the screen when what it shows changes: nothing of the pictures of a
// system once the next one shows none. Checked on the window's pixels as the screen has them,
// not on a fresh drawing, which never holds leftovers.

#include "SettingsBytes.h"
#include "TempDir.h"

#include "gui/browse/RomFolderReader.h"
#include "gui/snapshots/SnapshotLoader.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/SystemListBox.h"

#include <QImage>
#include <QScreen>
#include <QtTest>

#include <memory>
#include <string>

using marlit::test::TempDir;

namespace {

std::string record(const std::string &name, const std::string &romDirectory, const std::string &snapshotDirA,
                   const std::string &defaultSnapshot)
{
    return "NAME = " + name + "\r\nDESC = \r\nROMDIR = " + romDirectory +
           "\r\nEMU = /bin/true\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = " + snapshotDirA +
           "\r\nSNAPBDIR = \r\nSNAPSHOT = " + defaultSnapshot + "\r\n\r\n";
}

std::string settingsBytes(int mode, int width, int height)
{
    return marlit::test::SettingsBytes{true, true, mode, width, height}.bytes();
}

QImage onScreen(QWidget &window)
{
    QTest::qWait(50); // the window's pending updates reach its backing store
    // Even on a busy machine: the paint it has asked for, and only that (a whole repaint would
    // cover the strips looked for).
    QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);
    return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class LeftoversTest : public QObject
{
    Q_OBJECT

private slots:
    // Below the ROM list at 800 x 600: picture A stood at (260, 410), 252 x 180, and B beside it.
    // The next system has no pictures: its list and search row cover part of that band only,
    // and the rest shows the window's background again, not strips of the pictures.
    void nextSystemWithoutPicturesLeavesNoStrips()
    {
        TempDir dir;
        dir.write("roms/game.nes");
        dir.makeFolder("snaps");
        QImage red(64, 48, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(QString::fromStdString(dir.file("snaps/game.png"))));
        QImage blue = red;
        blue.fill(Qt::blue);
        QVERIFY(blue.save(QString::fromStdString(dir.file("default.png"))));
        dir.write("classic.ini", record("With", dir.file("roms/"), dir.file("snaps/"), dir.file("default.png")) +
                                     record("Without", dir.file("roms/"), "", ""));
        dir.write("marlit.cfg", settingsBytes(1, 800, 600));
        MainFrame frame(dir.path());
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY(frame.romFolderReader().waitForIdle()); // the list is read by a reader process
        auto *roms = frame.findChild<RomListBox *>(QStringLiteral("romList"));
        QTest::keyClick(roms, Qt::Key_Down);
        frame.snapshotLoader().waitForIdle();
        const QColor background = frame.palette().color(QPalette::Window);
        const QPoint betweenListAndSearch(400, 565), betweenSearchButtons(320, 580), belowListInB(700, 565);
        QImage image = onScreen(frame);
        QCOMPARE(image.pixelColor(betweenListAndSearch), QColor(Qt::red));
        QCOMPARE(image.pixelColor(betweenSearchButtons), QColor(Qt::red));
        QCOMPARE(image.pixelColor(belowListInB), QColor(Qt::blue));

        auto *systems = frame.findChild<SystemListBox *>(QStringLiteral("systemList"));
        QTest::keyClick(systems, Qt::Key_Down);
        QCOMPARE(frame.currentSystemIndex(), 1);
        image = onScreen(frame);
        QCOMPARE(image.pixelColor(betweenListAndSearch), background);
        QCOMPARE(image.pixelColor(betweenSearchButtons), background);
        QCOMPARE(image.pixelColor(belowListInB), background);
    }
};

QTEST_MAIN(LeftoversTest)
#include "tst_leftovers.moc"
