// Writing the catalogue files from the window, as a user meets it: a file another program
// changed is never overwritten unseen and is shown as it now is; a saved system shows at once;
// a new system goes last; an empty category gets its first system through "Setup".

#include "ModalAnswer.h"
#include "SettingsBytes.h"
#include "TempDir.h"

#include "core/catalogue/CatalogueFile.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/catalogue/CatalogueWatch.h"
#include "gui/catalogue/SystemConfigDialog.h"
#include "gui/snapshots/SnapshotLoader.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/SystemListBox.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

#include <memory>

using marlit::test::answerNextModal;
using marlit::test::TempDir;
using SetupId = SystemConfigDialog::ControlId;

namespace {

// A record as Marlit writes it; the folder ends with its separator.
std::string record(const std::string &name, const std::string &romDirectory, const std::string &description = {},
                   const std::string &emulator = "/bin/true")
{
    return "NAME = " + name + "\r\nDESC = " + description + "\r\nROMDIR = " + romDirectory + "\r\nEMU = " + emulator +
           "\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";
}

// "marlit.cfg" remembering a category, a system and a snapshot mode.
std::string settingsBytes(int category, int system, int snapshotMode = 0)
{
    return marlit::test::SettingsBytes{false, true, snapshotMode, 800, 600, category, system}.bytes();
}

QString changedText(const char *file)
{
    return QStringLiteral("The catalogue file \"%1\" was changed by another program. Your change was not saved; "
                          "the systems are shown as the file now holds them.")
        .arg(QLatin1String(file));
}

// Runs a program as another program would change the file: mv replaces it by rename, as most
// editors save; cp writes into it in place. The edits are made in a folder of their own, so
// that writing them is no notice about the catalogue's folder.
void runProgram(const char *program, const std::string &from, const std::string &to)
{
    QCOMPARE(
        QProcess::execute(QString::fromLatin1(program), {QString::fromStdString(from), QString::fromStdString(to)}), 0);
}

// Answers the next window find() gives (a modal dialog, a menu) once it is open.
void answerWhenOpen(std::function<QWidget *()> find, std::function<void(QWidget *)> answer)
{
    auto *poll = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget *open = find();
        if (!open && ++*tries < 1000)
            return;
        poll->deleteLater();
        poll->stop();
        answer(open);
        if (auto *dialog = qobject_cast<QDialog *>(open); dialog && dialog->isVisible())
            dialog->reject();
    });
    poll->start(10);
}

QLineEdit *setupEdit(SystemConfigDialog *dialog, int id)
{
    return qobject_cast<QLineEdit *>(dialog->control(id));
}

void click(QWidget *control)
{
    QTest::mouseClick(control, Qt::LeftButton);
}

} // namespace

class CatalogueEditsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void handEditsAreNeverOverwritten();
    void changesOnDiskAreShownKeepingTheHighlightedSystem();
    void savedSystemTakesEffectAtOnce();
    void saveAsNewKeepsTheOrderOfTheOthers();
    void emptyCategoryGetsItsFirstSystemFromSetup();
    void refusedSaveKeepsWhatWasTyped();
    void addSystemOpensBlankAndAddsLast();

private:
    std::unique_ptr<MainFrame> makeFrame(int category, int system, int snapshotMode = 0);
    template <typename T> T *child(MainFrame &frame, const char *name)
    {
        return frame.findChild<T *>(QString::fromLatin1(name));
    }
    std::vector<std::string> romNames(MainFrame &frame);
    std::string roms(const char *folder) const { return m_dir->path() + "roms/" + folder + "/"; }

    std::unique_ptr<TempDir> m_dir;
    QStringList m_warnings; // every warning the window gave, as "file: reason" or its whole text
};

void CatalogueEditsTest::init()
{
    m_dir = std::make_unique<TempDir>();
    m_dir->write("roms/nes/Zelda (U).nes");
    m_dir->write("roms/snes/F-Zero (U).sfc");
    m_dir->write("roms/gb/Tetris (W).gb");
    m_dir->write("roms/fc/Gradius (J).nes");
    m_dir->write("console.ini",
                 record("NES", roms("nes")) + record("SNES", roms("snes")) + record("Game Boy", roms("gb")));
}

void CatalogueEditsTest::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<MainFrame> CatalogueEditsTest::makeFrame(int category, int system, int snapshotMode)
{
    m_dir->write("marlit.cfg", settingsBytes(category, system, snapshotMode));
    auto frame = std::make_unique<MainFrame>(m_dir->path());
    m_warnings.clear();
    frame->setWriteFailureReport([this](QWidget *, const QString &file, const QString &reason) {
        m_warnings << file + QStringLiteral(": ") + reason;
    });
    frame->setChangedFileReport([this](QWidget *, const QString &text) { m_warnings << text; });
    [&] { QVERIFY(frame->romFolderReader().waitForIdle()); }(); // folders are read by reader processes
    return frame;
}

std::vector<std::string> CatalogueEditsTest::romNames(MainFrame &frame)
{
    [&] { QVERIFY(frame.romFolderReader().waitForIdle()); }();
    auto *list = child<RomListBox>(frame, "romList");
    std::vector<std::string> names;
    for (int row = 0; row < list->count(); ++row)
        names.push_back(list->nameAt(row));
    return names;
}

// Another program changes the file after the window read it: a Move Up, then a "Save" in the
// dialog, write nothing, and the list shows the file as the other program left it. The second
// change is written in place while the dialog is open and has time to settle there.
void CatalogueEditsTest::handEditsAreNeverOverwritten()
{
    auto frame = makeFrame(1, 1); // "Console", SNES
    const std::string handEdit = record("Mega Drive", roms("md")) + record("NES", roms("nes")) +
                                 record("SNES", roms("snes"), "described by hand") + record("Game Boy", roms("gb"));
    m_dir->write("edits/console.ini", handEdit);
    runProgram("/bin/mv", m_dir->file("edits/console.ini"), m_dir->file("console.ini"));
    frame->ApplyListOperation(marlit::ListOperation::MoveUp);
    QCOMPARE(m_dir->read("console.ini"), handEdit);
    QCOMPARE(m_warnings, QStringList{changedText("console.ini")});
    QCOMPARE(frame->systems(), marlit::CatalogueFile::parse(handEdit));
    // The highlight stays on SNES, where the file now has it.
    QCOMPARE(frame->currentSystemIndex(), 2);
    QCOMPARE(child<SystemListBox>(*frame, "systemList")->currentRow(), 2);

    const std::string secondEdit = handEdit + record("Game Gear", roms("gg"));
    m_dir->write("edits/console.ini", secondEdit);
    answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
        QVERIFY(dialog);
        runProgram("/bin/cp", m_dir->file("edits/console.ini"), m_dir->file("console.ini"));
        QTest::qWait(3 * CatalogueWatch::kSettleMs);
        setupEdit(dialog, SetupId::IdName)->setText(QStringLiteral("Super Famicom"));
        click(dialog->control(SetupId::IdSave));
    });
    click(child<QPushButton>(*frame, "setupButton"));
    QCOMPARE(m_dir->read("console.ini"), secondEdit);
    QCOMPARE(m_warnings, QStringList(2, changedText("console.ini")));
    QCOMPARE(frame->systems(), marlit::CatalogueFile::parse(secondEdit));
    QCOMPARE(frame->currentSystemIndex(), 2);
}

// The file the tab shows changes on disk: it is read again, the highlight stays on its system,
// and the views are read again only when the highlighted record changed. Marlit's own writes
// come back as notices too, and change nothing.
void CatalogueEditsTest::changesOnDiskAreShownKeepingTheHighlightedSystem()
{
    auto frame = makeFrame(1, 1); // SNES
    auto *romList = child<RomListBox>(*frame, "romList");
    auto *systemList = child<SystemListBox>(*frame, "systemList");
    romList->setCurrentRow(0); // F-Zero, chosen by the user: a refill would lose it
    QSignalSpy looked(frame->findChild<CatalogueWatch *>(), &CatalogueWatch::looked);

    frame->ApplyListOperation(marlit::ListOperation::MoveDown);
    QVERIFY(looked.wait());
    QCOMPARE(systemList->currentRow(), 2);
    QCOMPARE(romList->currentRow(), 0);

    // Replaced by rename: a system above, Game Boy described anew, SNES as it was.
    const std::string gameBoy = record("Game Boy", roms("gb"), "described by hand");
    const std::string firstEdit =
        record("Mega Drive", roms("md")) + record("NES", roms("nes")) + gameBoy + record("SNES", roms("snes"));
    m_dir->write("edits/console.ini", firstEdit);
    runProgram("/bin/mv", m_dir->file("edits/console.ini"), m_dir->file("console.ini"));
    QTRY_COMPARE(frame->systems(), marlit::CatalogueFile::parse(firstEdit));
    QCOMPARE(frame->currentSystemIndex(), 3);
    QCOMPARE(systemList->currentRow(), 3);
    QCOMPARE(romList->currentRow(), 0);
    QCOMPARE(frame->currentRomFolder(), roms("snes"));

    // Then written in place, so only a watch on the new file sees it: SNES is gone, and the
    // system in its place is highlighted and shown.
    const std::string secondEdit = record("Mega Drive", roms("md")) + record("NES", roms("nes")) + gameBoy;
    m_dir->write("edits/console.ini", secondEdit);
    runProgram("/bin/cp", m_dir->file("edits/console.ini"), m_dir->file("console.ini"));
    QTRY_COMPARE(frame->systems(), marlit::CatalogueFile::parse(secondEdit));
    QCOMPARE(frame->currentSystemIndex(), 2);
    QCOMPARE(systemList->currentRow(), 2);
    QCOMPARE(frame->currentRomFolder(), roms("gb"));
    QTRY_COMPARE(romNames(*frame), std::vector<std::string>{"Tetris (W).gb"});
    QCOMPARE(m_warnings, QStringList());
}

// "Save" with another ROM folder and default picture: the ROM list, the picture and "Play!"
// take them at once, without selecting the system again.
void CatalogueEditsTest::savedSystemTakesEffectAtOnce()
{
    const std::string log = m_dir->file("argv.log");
    m_dir->write("emu/stand-in", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > '" + log +
                                     ".part' && mv '" + log + ".part' '" + log + "'\n");
    QCOMPARE(::chmod(m_dir->file("emu/stand-in").c_str(), 0755), 0);
    m_dir->write("console.ini", record("NES", roms("nes"), "", m_dir->file("emu/stand-in")));
    QImage blue(64, 48, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    QVERIFY(blue.save(QString::fromStdString(m_dir->file("blue.png"))));
    auto frame = makeFrame(1, 0, 1); // snapshots below the list

    answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
        QVERIFY(dialog);
        setupEdit(dialog, SetupId::IdRomDirectory)->setText(QString::fromStdString(roms("gb")));
        setupEdit(dialog, SetupId::IdDefaultSnapshot)->setText(QString::fromStdString(m_dir->file("blue.png")));
        click(dialog->control(SetupId::IdSave));
    });
    click(child<QPushButton>(*frame, "setupButton"));
    QTRY_COMPARE(romNames(*frame), std::vector<std::string>{"Tetris (W).gb"});
    frame->snapshotLoader().waitForIdle();
    QTRY_VERIFY(frame->snapshot(0) && !frame->snapshot(0)->isNull());
    QCOMPARE(frame->snapshot(0)->image().pixelColor(1, 1), QColor(Qt::blue));

    child<RomListBox>(*frame, "romList")->setCurrentRow(0);
    click(child<QPushButton>(*frame, "playButton"));
    QTRY_VERIFY_WITH_TIMEOUT(m_dir->exists("argv.log"), 10000);
    QCOMPARE(m_dir->read("argv.log"), "[" + roms("gb") + "Tetris (W).gb]");
}

// "Save as New Entry" right after a Move Down: the new system goes last, the order the user just
// made stays, and the highlight and the views move to the new system.
void CatalogueEditsTest::saveAsNewKeepsTheOrderOfTheOthers()
{
    auto frame = makeFrame(1, 0); // NES
    frame->ApplyListOperation(marlit::ListOperation::MoveDown);
    answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
        QVERIFY(dialog);
        setupEdit(dialog, SetupId::IdName)->setText(QStringLiteral("Famicom"));
        setupEdit(dialog, SetupId::IdRomDirectory)->setText(QString::fromStdString(roms("fc")));
        click(dialog->control(SetupId::IdSaveAsNewEntry));
        click(dialog->control(SetupId::IdSave));
    });
    click(child<QPushButton>(*frame, "setupButton"));
    QCOMPARE(m_dir->read("console.ini"), record("SNES", roms("snes")) + record("NES", roms("nes")) +
                                             record("Game Boy", roms("gb")) + record("Famicom", roms("fc")));
    QCOMPARE(frame->currentSystemIndex(), 3);
    QCOMPARE(child<SystemListBox>(*frame, "systemList")->currentRow(), 3);
    QTRY_COMPARE(romNames(*frame), std::vector<std::string>{"Gradius (J).nes"});
}

// A category without systems: "Setup", and "Setup System" in the empty list's menu, open the
// dialog blank on "Save as New Entry" with "Edit Current Entry" greyed; "Save" adds the system.
void CatalogueEditsTest::emptyCategoryGetsItsFirstSystemFromSetup()
{
    m_dir->write("computer.ini", "");
    m_dir->write("handheld.ini", "");
    auto frame = makeFrame(3, 0);
    const auto addSystem = [&](const char *name) {
        return [=, this](QWidget *modal) {
            auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
            QVERIFY(dialog);
            QVERIFY(dialog->savesAsNew());
            QVERIFY(qobject_cast<QRadioButton *>(dialog->control(SetupId::IdSaveAsNewEntry))->isChecked());
            QVERIFY(!dialog->control(SetupId::IdEditCurrentEntry)->isEnabled());
            QCOMPARE(setupEdit(dialog, SetupId::IdName)->text(), QString());
            setupEdit(dialog, SetupId::IdName)->setText(QString::fromLatin1(name));
            setupEdit(dialog, SetupId::IdRomDirectory)->setText(QString::fromStdString(roms("fc")));
            click(dialog->control(SetupId::IdSave));
        };
    };
    answerNextModal(addSystem("MSX"));
    click(child<QPushButton>(*frame, "setupButton"));
    QCOMPARE(m_dir->read("computer.ini"), record("MSX", roms("fc"), "", ""));
    QCOMPARE(frame->currentSystemIndex(), 0);
    QTRY_COMPARE(romNames(*frame), std::vector<std::string>{"Gradius (J).nes"});

    child<QTabBar>(*frame, "categoryTabs")->setCurrentIndex(2);
    bool offered = false;
    answerWhenOpen(&QApplication::activePopupWidget, [&](QWidget *popup) {
        auto *menu = qobject_cast<QMenu *>(popup);
        QVERIFY(menu);
        auto *setup = menu->findChild<QAction *>(QStringLiteral("setupSystemAction"));
        offered = setup->isEnabled();
        answerWhenOpen(&QApplication::activeModalWidget, addSystem("Game Gear"));
        menu->setActiveAction(setup);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QWidget *viewport = child<SystemListBox>(*frame, "systemList")->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20), viewport->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(viewport, &event);
    QVERIFY(offered);
    QCOMPARE(m_dir->read("handheld.ini"), record("Game Gear", roms("fc"), "", ""));
}

// The file changes while the dialog is open: "Save" is refused, the dialog stays with the name
// the user typed over the description the other program wrote, and a second "Save" stores both.
void CatalogueEditsTest::refusedSaveKeepsWhatWasTyped()
{
    auto frame = makeFrame(1, 1); // "Console", SNES
    const std::string onDisk = record("NES", roms("nes")) + record("SNES", roms("snes"), "changed while open") +
                               record("Game Boy", roms("gb"));
    m_dir->write("edits/console.ini", onDisk);
    bool stayedOpen = false;
    answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
        QVERIFY(dialog);
        setupEdit(dialog, SetupId::IdName)->setText(QStringLiteral("Super Famicom"));
        runProgram("/bin/cp", m_dir->file("edits/console.ini"), m_dir->file("console.ini"));
        QTest::qWait(3 * CatalogueWatch::kSettleMs);
        click(dialog->control(SetupId::IdSave));
        stayedOpen = dialog->isVisible();
        QCOMPARE(m_dir->read("console.ini"), onDisk);
        QCOMPARE(setupEdit(dialog, SetupId::IdName)->text(), QStringLiteral("Super Famicom"));
        QCOMPARE(setupEdit(dialog, SetupId::IdDescription)->text(), QStringLiteral("changed while open"));
        click(dialog->control(SetupId::IdSave));
        QVERIFY(!dialog->isVisible());
    });
    click(child<QPushButton>(*frame, "setupButton"));
    QVERIFY(stayedOpen);
    QCOMPARE(m_warnings, QStringList{changedText("console.ini")});
    QCOMPARE(m_dir->read("console.ini"), record("NES", roms("nes")) +
                                             record("Super Famicom", roms("snes"), "changed while open") +
                                             record("Game Boy", roms("gb")));
}

// "Add System..." in the menu of a list that has systems: a blank dialog that can only add, and
// the selected system is left as it was.
void CatalogueEditsTest::addSystemOpensBlankAndAddsLast()
{
    auto frame = makeFrame(1, 1); // SNES
    answerWhenOpen(&QApplication::activePopupWidget, [&](QWidget *popup) {
        auto *menu = qobject_cast<QMenu *>(popup);
        QVERIFY(menu);
        auto *add = menu->findChild<QAction *>(QStringLiteral("addSystemAction"));
        QVERIFY(add && add->isEnabled());
        answerWhenOpen(&QApplication::activeModalWidget, [&](QWidget *modal) {
            auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
            QVERIFY(dialog);
            QVERIFY(dialog->savesAsNew());
            QVERIFY(!dialog->control(SetupId::IdEditCurrentEntry)->isEnabled());
            QCOMPARE(setupEdit(dialog, SetupId::IdName)->text(), QString());
            QCOMPARE(setupEdit(dialog, SetupId::IdRomDirectory)->text(), QString());
            setupEdit(dialog, SetupId::IdName)->setText(QStringLiteral("Famicom"));
            setupEdit(dialog, SetupId::IdRomDirectory)->setText(QString::fromStdString(roms("fc")));
            click(dialog->control(SetupId::IdSave));
        });
        menu->setActiveAction(add);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    auto *list = child<SystemListBox>(*frame, "systemList");
    const QPoint onSnes = list->visualRect(list->model()->index(1, 0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, onSnes, list->viewport()->mapToGlobal(onSnes));
    QApplication::sendEvent(list->viewport(), &event);
    QCOMPARE(m_dir->read("console.ini"), record("NES", roms("nes")) + record("SNES", roms("snes")) +
                                             record("Game Boy", roms("gb")) + record("Famicom", roms("fc"), "", ""));
    QCOMPARE(frame->currentSystemIndex(), 3);
}

QTEST_MAIN(CatalogueEditsTest)
#include "tst_catalogueedits.moc"
