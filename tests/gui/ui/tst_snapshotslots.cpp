// The window's two picture slots against the selection, in both directions: a picture still on
// its way when the selection moves on (another ROM, another system, snapshots turned off) never
// lands, the cell shows nothing of the last ROM meanwhile, and a tab change from a later row
// starts the next category at its first system.

#include "ModalAnswer.h"
#include "SettingsBytes.h"
#include "TempDir.h"

#include "gui/browse/RomFolderReader.h"
#include "gui/snapshots/SnapshotLoader.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/OptionsDialog.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/SystemListBox.h"

#include <QImage>
#include <QTabBar>
#include <QtTest>

#include <memory>
#include <string>

using marlit::test::answerNextModal;
using marlit::test::TempDir;

namespace {

std::string record(const std::string &name, const std::string &romDirectory, const std::string &snapshotDirA = {},
                   const std::string &snapshotDirB = {})
{
    return "NAME = " + name + "\r\nDESC = \r\nROMDIR = " + romDirectory +
           "\r\nEMU = /bin/true\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = " + snapshotDirA +
           "\r\nSNAPBDIR = " + snapshotDirB + "\r\nSNAPSHOT = \r\n\r\n";
}

std::string settingsBytes(int mode, int category, int system)
{
    return marlit::test::SettingsBytes{true, true, mode, 800, 600, category, system}.bytes();
}

void savePicture(const std::string &path, Qt::GlobalColor color)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(color);
    QVERIFY(image.save(QString::fromStdString(path)));
}

} // namespace

class SnapshotSlotsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<TempDir>();
        // Three ROMs, each with its own picture in folder A and in folder B.
        for (const char *name : {"a.nes", "b.nes", "c.nes"})
            m_dir->write(std::string("roms/") + name);
        m_dir->makeFolder("snaps/a");
        m_dir->makeFolder("snaps/b");
        const std::pair<const char *, Qt::GlobalColor> pictures[] = {{"a", Qt::red}, {"b", Qt::green}, {"c", Qt::blue}};
        for (const auto &[name, color] : pictures) {
            savePicture(m_dir->file("snaps/a/") + name + ".png", color);
            savePicture(m_dir->file("snaps/b/") + name + ".png", color);
        }
        const std::string roms = m_dir->file("roms/");
        m_dir->write("console.ini", record("Pictures", roms, m_dir->file("snaps/a/"), m_dir->file("snaps/b/")) +
                                        record("None", roms) + record("Third", roms));
        m_dir->write("computer.ini", record("One", roms) + record("Two", roms) + record("Three", roms));
    }
    void cleanup() { m_dir.reset(); }

    // The cell of a ROM whose picture is still on its way shows nothing, not the last ROM's
    // picture; once it comes, it is this ROM's.
    void cellWaitsEmptyForItsOwnPicture()
    {
        m_dir->write("marlit.cfg", settingsBytes(1, 1, 0));
        MainFrame frame(m_dir->path());
        QVERIFY(frame.romFolderReader().waitForIdle());
        auto *roms = frame.findChild<RomListBox *>(QStringLiteral("romList"));
        QTest::keyClick(roms, Qt::Key_Home);
        frame.snapshotLoader().waitForIdle();
        QCOMPARE(colourOf(frame, 0), QColor(Qt::red));
        QTest::keyClick(roms, Qt::Key_End); // two rows on: not decoded ahead
        QCOMPARE(colourOf(frame, 0), QColor());
        QCOMPARE(colourOf(frame, 1), QColor());
        frame.snapshotLoader().waitForIdle();
        QCOMPARE(colourOf(frame, 0), QColor(Qt::blue));
        QCOMPARE(colourOf(frame, 1), QColor(Qt::blue));
    }

    // Pictures asked for in both slots and not delivered yet when another system is selected,
    // or when snapshots are turned off, never land; turned off, the slots hold nothing.
    void picturesOnTheirWayAreDroppedWithTheSelection()
    {
        m_dir->write("marlit.cfg", settingsBytes(1, 1, 0));
        MainFrame frame(m_dir->path());
        QVERIFY(frame.romFolderReader().waitForIdle());
        auto *roms = frame.findChild<RomListBox *>(QStringLiteral("romList"));
        auto *systems = frame.findChild<SystemListBox *>(QStringLiteral("systemList"));
        QTest::keyClick(roms, Qt::Key_End);
        QTest::keyClick(systems, Qt::Key_Down); // "None": no folders, no default picture
        QCOMPARE(frame.currentSystemIndex(), 1);
        frame.snapshotLoader().waitForIdle();
        QVERIFY(!frame.snapshot(0));
        QVERIFY(!frame.snapshot(1));

        QTest::keyClick(systems, Qt::Key_Up);
        QVERIFY(frame.romFolderReader().waitForIdle());
        QTest::keyClick(roms, Qt::Key_Home);
        frame.snapshotLoader().waitForIdle();
        QCOMPARE(colourOf(frame, 1), QColor(Qt::red));
        QTest::keyClick(roms, Qt::Key_End);
        answerNextModal([](QWidget *modal) {
            auto *options = qobject_cast<OptionsDialog *>(modal);
            QVERIFY(options);
            QTest::mouseClick(options->control(OptionsDialog::IdNoSnapshots), Qt::LeftButton);
            QTest::keyClick(options, Qt::Key_Escape);
        });
        frame.OnConfig();
        QCOMPARE(frame.options().snapshotMode, int(marlit::NoSnapshots));
        frame.snapshotLoader().waitForIdle();
        QVERIFY(!frame.snapshot(0));
        QVERIFY(!frame.snapshot(1));
    }

    // From the third system of a category, another tab starts at its own first system, whatever
    // the number of systems it has; the remembered row counts at start-up only.
    void tabChangeFromALaterRowStartsAtTheFirstSystem()
    {
        m_dir->write("marlit.cfg", settingsBytes(0, 1, 2));
        MainFrame frame(m_dir->path());
        QCOMPARE(frame.currentSystemIndex(), 2);
        auto *tabs = frame.findChild<QTabBar *>(QStringLiteral("categoryTabs"));
        auto *systems = frame.findChild<SystemListBox *>(QStringLiteral("systemList"));
        tabs->setCurrentIndex(3);
        QCOMPARE(frame.currentSystemIndex(), 0);
        QCOMPARE(systems->currentRow(), 0);
        QCOMPARE(frame.systems().entryAt(0)->name, std::string("One"));
        systems->setCurrentRow(2);
        frame.OnSelChangeSystem();
        tabs->setCurrentIndex(1);
        QCOMPARE(frame.currentSystemIndex(), 0);
        QCOMPARE(frame.systems().entryAt(0)->name, std::string("Pictures"));
    }

private:
    static QColor colourOf(const MainFrame &frame, int slot)
    {
        const std::optional<SnapshotImage> &image = frame.snapshot(slot);
        return image && !image->isNull() ? image->image().pixelColor(1, 1) : QColor();
    }

    std::unique_ptr<TempDir> m_dir;
};

QTEST_MAIN(SnapshotSlotsTest)
#include "tst_snapshotslots.moc"
