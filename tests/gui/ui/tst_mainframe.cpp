// The main window as a user meets it: start-up on the remembered selection, the category and
// system selection, the folder tree and the ROM list with its search, the list operations on a
// real catalogue file, launching, the snapshot slots, the two dialogs and the settings written
// at close.

#include "ModalAnswer.h"
#include "SettingsBytes.h"
#include "TempDir.h"

#include "core/catalogue/CatalogueFile.h"
#include "core/fs/WorkingDirectory.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/browse/RomFolderTree.h"
#include "gui/catalogue/FolderBrowser.h"
#include "gui/catalogue/SystemConfigDialog.h"
#include "gui/snapshots/SnapshotLoader.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/OptionsDialog.h"
#include "gui/ui/RomFontDialog.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/SystemListBox.h"

#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QToolTip>
#include <QTreeView>

#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

using marlit::test::answerNextModal;
using marlit::test::TempDir;
using SetupId = SystemConfigDialog::ControlId;

namespace {

struct TestSystem
{
    std::string name = {};
    std::string romDirectory = {};
    std::string snapshotDirA = {};
    std::string snapshotDirB = {};
    std::string defaultSnapshot = {};
    std::string emulator = "/bin/true";
    std::string commandLine = {};
};

std::string recordText(const TestSystem &system)
{
    return "NAME = " + system.name + "\r\nDESC = about " + system.name + "\r\nROMDIR = " + system.romDirectory +
           "\r\nEMU = " + system.emulator + "\r\nCOMMAND LINE = " + system.commandLine +
           "\r\nICON = \r\nSNAPADIR = " + system.snapshotDirA + "\r\nSNAPBDIR = " + system.snapshotDirB +
           "\r\nSNAPSHOT = " + system.defaultSnapshot + "\r\n\r\n";
}

std::string settingsBytes(bool rememberSize, bool rememberSystem, int mode, int width, int height, int category,
                          int system)
{
    return marlit::test::SettingsBytes{rememberSize, rememberSystem, mode, width, height, category, system}.bytes();
}

void savePicture(const std::string &path, Qt::GlobalColor color)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(color);
    QVERIFY(image.save(QString::fromStdString(path)));
}

// Selects the folder at names below the tree's root, as a click would; false when it is not there.
bool selectPath(RomFolderTree &tree, const std::vector<std::string> &names)
{
    QTreeWidgetItem *item = tree.romsItem();
    for (const std::string &name : names) {
        QTreeWidgetItem *next = nullptr;
        for (int i = 0; item && i < item->childCount() && !next; ++i) {
            if (item->child(i)->text(0) == QString::fromStdString(name))
                next = item->child(i);
        }
        item = next;
    }
    if (!item)
        return false;
    tree.setCurrentItem(item);
    return true;
}

} // namespace

class MainFrameTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsOnTheRememberedCategoryAndSystem();
    void startsOnTheFirstSystemWhenSelectionIsNotRemembered();
    void rememberedSystemPastTheEndFallsBackToTheFirst();
    void emptyCatalogueLeavesEverythingEmpty();
    void tabChangeSelectsTheFirstSystem();
    void createsMissingCatalogueFiles();
    void controlsCarryTheirTexts();
    void activatingTheWindowFocusesTheRomList();
    void focusMovesNeitherTheRomSelectionNorTheFolder();
    void folderTreeListsSubFoldersAndSelectingOneListsItsFiles();
    void searchAndFilterThroughTheirStates();
    void textTypedWhileClearShowsHasNoEffect();
    void layoutFollowsTheSnapshotMode();
    void moveDownKeepsTheHighlightOnTheMovedSystem();
    void deleteMovesTheViewsToTheSystemInItsPlace();
    void deletingTheOnlySystemLeavesAnEmptyFile();
    void readOnlyCatalogueShowsNoLastingChange();
    void playStartsTheEmulatorWithTheRomPath();
    void snapshotSlotsFollowTheirFolders();
    void setupSavesAsNewEntryAndKeepsTheWorkingDirectory();
    void setupSystemEditsTheEntryInPlace();
    void setupCancelAfterThePickersWritesNothing();
    void setupSaveThatCannotBeWrittenShowsTheFile();
    void configSnapshotModeAndFontTakeEffectAtOnce();
    void nextRowShowsAtOnceAndAnEmptyCellSaysWhatWasLookedFor();
    void closingWritesTheSettingsFile();

private:
    std::unique_ptr<MainFrame> makeFrame();
    template <typename T> T *child(MainFrame &frame, const char *name)
    {
        T *widget = frame.findChild<T *>(QString::fromLatin1(name));
        [&] { QVERIFY2(widget, name); }();
        return widget;
    }
    std::vector<std::string> romNames(MainFrame &frame);
    void writeCatalogue(const std::string &file, const std::vector<TestSystem> &systems);

    std::unique_ptr<TempDir> m_dir;
    QStringList m_writeFailures; // "file: reason" for each warning the window gave
};

void MainFrameTest::init()
{
    m_dir = std::make_unique<TempDir>();

    // Three systems in "Console", with ROM folders and sub-folders.
    const std::string roms = m_dir->path() + "roms/";
    m_dir->write("roms/nes/Zelda (U) [!].nes");
    m_dir->write("roms/nes/Super Mario (U).zip");
    m_dir->write("roms/nes/MARIO.NES");
    m_dir->write("roms/nes/Europe/Elite (E).nes");
    m_dir->write("roms/nes/Europe/Deep/Hidden Gem (E).nes");
    m_dir->write("roms/nes/japan/Rockman (J).nes");
    m_dir->write("roms/snes/F-Zero (U).sfc");
    m_dir->write("roms/gb/Tetris (W).gb");
    writeCatalogue("console.ini", {{"NES", roms + "nes"}, {"SNES", roms + "snes"}, {"Game Boy", roms + "gb"}});
}

void MainFrameTest::cleanup()
{
    m_dir.reset();
}

void MainFrameTest::writeCatalogue(const std::string &file, const std::vector<TestSystem> &systems)
{
    std::string text;
    for (const TestSystem &system : systems)
        text += recordText(system);
    m_dir->write(file, text);
}

std::unique_ptr<MainFrame> MainFrameTest::makeFrame()
{
    auto frame = std::make_unique<MainFrame>(m_dir->path());
    m_writeFailures.clear();
    frame->setWriteFailureReport([this](QWidget *, const QString &file, const QString &reason) {
        m_writeFailures << file + QStringLiteral(": ") + reason;
    });
    // Folders are read by reader processes: the start shows once they have answered.
    [&] { QVERIFY(frame->romFolderReader().waitForIdle()); }();
    return frame;
}

std::vector<std::string> MainFrameTest::romNames(MainFrame &frame)
{
    [&] { QVERIFY(frame.romFolderReader().waitForIdle()); }();
    RomListBox *list = child<RomListBox>(frame, "romList");
    std::vector<std::string> names;
    for (int row = 0; list && row < list->count(); ++row)
        names.push_back(list->nameAt(row));
    return names;
}

void MainFrameTest::startsOnTheRememberedCategoryAndSystem()
{
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 2));
    auto frame = makeFrame();
    QCOMPARE(child<QTabBar>(*frame, "categoryTabs")->currentIndex(), 1);
    QCOMPARE(child<SystemListBox>(*frame, "systemList")->currentRow(), 2);
    QCOMPARE(frame->currentSystemIndex(), 2);
    QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/gb/");
    QCOMPARE(romNames(*frame), std::vector<std::string>{"Tetris (W).gb"});
    QCOMPARE(frame->size(), QSize(800, 600));
}

void MainFrameTest::startsOnTheFirstSystemWhenSelectionIsNotRemembered()
{
    m_dir->write("marlit.cfg", settingsBytes(false, false, 0, 900, 700, 1, 2));
    auto frame = makeFrame();
    QCOMPARE(child<QTabBar>(*frame, "categoryTabs")->currentIndex(), 0);
    QCOMPARE(frame->currentSystemIndex(), 0);
    // Not the remembered size but one that suits the screen: three quarters of its room.
    const QSize room = frame->screen()->availableGeometry().size() - QSize(16, 48);
    QCOMPARE(frame->size(), QSize(room.width() / 4 * 3, room.height() / 4 * 3));
}

void MainFrameTest::rememberedSystemPastTheEndFallsBackToTheFirst()
{
    for (int stored : {3, 0xFF}) {
        m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, stored));
        auto frame = makeFrame();
        QCOMPARE(frame->currentSystemIndex(), 0);
        QCOMPARE(child<SystemListBox>(*frame, "systemList")->currentRow(), 0);
        QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/nes/");
    }
}

void MainFrameTest::emptyCatalogueLeavesEverythingEmpty()
{
    m_dir->write("handheld.ini", "");
    m_dir->write("marlit.cfg", settingsBytes(true, true, 1, 800, 600, 2, 0));
    auto frame = makeFrame();
    QCOMPARE(frame->currentSystemIndex(), -1);
    QCOMPARE(child<RomFolderTree>(*frame, "folderTree")->topLevelItemCount(), 0);
    QVERIFY(romNames(*frame).empty());
    QCOMPARE(frame->snapshotGeometry().pictureCount, 0);
    // Nothing to act on: none of these may touch a missing entry.
    frame->OnPlay();
    frame->OnLaunchEmulator();
    frame->ApplyListOperation(marlit::ListOperation::Delete);
    frame->ApplyListOperation(marlit::ListOperation::MoveDown);
    QCOMPARE(m_dir->read("handheld.ini"), std::string());
}

void MainFrameTest::tabChangeSelectsTheFirstSystem()
{
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 2));
    auto frame = makeFrame();
    QTabBar *tabs = child<QTabBar>(*frame, "categoryTabs");
    tabs->setCurrentIndex(0);
    QCOMPARE(frame->category(), 0);
    tabs->setCurrentIndex(1);
    QCOMPARE(frame->currentSystemIndex(), 0);
    QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/nes/");
}

void MainFrameTest::createsMissingCatalogueFiles()
{
    auto frame = makeFrame();
    for (const char *file : {"classic.ini", "handheld.ini", "computer.ini"})
        QCOMPARE(m_dir->read(file), std::string(marlit::CatalogueTemplate));
    QVERIFY(m_dir->read("console.ini") != std::string(marlit::CatalogueTemplate));
}

void MainFrameTest::controlsCarryTheirTexts()
{
    auto frame = makeFrame();
    QTabBar *tabs = child<QTabBar>(*frame, "categoryTabs");
    QCOMPARE(tabs->count(), 4);
    const QStringList texts{"Classic", "Console", "Handheld", "Computer"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(tabs->tabText(i), texts[i]);
    const std::pair<const char *, const char *> buttons[] = {{"playButton", "Play!"},
                                                             {"setupButton", "Setup"},
                                                             {"configButton", "Config"},
                                                             {"filterModeButton", "Search For"},
                                                             {"applyButton", "Apply"}};
    for (const auto &[name, text] : buttons)
        QCOMPARE(child<QPushButton>(*frame, name)->text(), QString::fromLatin1(text));
    QCOMPARE(child<QWidget>(*frame, "categoryLabel")->property("text").toString(), QStringLiteral("Category Select"));
    QCOMPARE(frame->windowTitle(), QStringLiteral("Marlit"));
    QCOMPARE(frame->minimumSize(), QSize(640, 480));
}

void MainFrameTest::activatingTheWindowFocusesTheRomList()
{
    auto frame = makeFrame();
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    auto *edit = child<QLineEdit>(*frame, "searchEdit");
    edit->setFocus();
    QEvent activation(QEvent::WindowActivate);
    QApplication::sendEvent(frame.get(), &activation);
    QTRY_COMPARE(QApplication::focusWidget(), child<QWidget>(*frame, "romList"));
}

void MainFrameTest::focusMovesNeitherTheRomSelectionNorTheFolder()
{
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 0));
    auto frame = makeFrame();
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    auto *list = child<RomListBox>(*frame, "romList");
    list->setFocus();
    // Focus alone marks no row: the first Down selects the first ROM, and Enter then plays it.
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentRow(), 0);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentRow(), 1);
    // The folder tree taking the focus does not refill the list under the user's selection.
    child<RomFolderTree>(*frame, "folderTree")->setFocus();
    QApplication::processEvents();
    QCOMPARE(list->currentRow(), 1);
    QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/nes/");
}

void MainFrameTest::folderTreeListsSubFoldersAndSelectingOneListsItsFiles()
{
    m_dir->makeFolder("roms/nes/.svn");
    m_dir->makeFolder("roms/nes/b");
    m_dir->makeFolder("roms/nes/ROMS");
    m_dir->write("roms/nes/ROMS/inner.nes");
    m_dir->makeFolder("roms/nes/\xe2\x80\xae"
                      "evil\nname");
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 0));
    auto frame = makeFrame();
    RomFolderTree *tree = child<RomFolderTree>(*frame, "folderTree");
    // "All Games" and the system's two views of its play history stand above "ROMS".
    QCOMPARE(tree->topLevelItemCount(), 4);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("All Games"));
    QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("Favourites"));
    QCOMPARE(tree->topLevelItem(2)->text(0), QStringLiteral("Recently Played"));
    QTreeWidgetItem *root = tree->topLevelItem(3);
    QCOMPARE(root->text(0), QStringLiteral("ROMS"));
    QVERIFY(root->isExpanded());
    QStringList children;
    for (int i = 0; i < root->childCount(); ++i)
        children << root->child(i)->text(0);
    // A right-to-left override or a line break in a folder's name is shown neutralised.
    QCOMPARE(children, (QStringList{"b", "Europe", "japan", "ROMS", QStringLiteral("\ufffdevil\u240aname")}));
    QVERIFY(!root->child(1)->isExpanded());

    // Sub-folders are never listed as ROMs; the list is sorted ignoring case.
    QCOMPARE(romNames(*frame), (std::vector<std::string>{"MARIO.NES", "Super Mario (U).zip", "Zelda (U) [!].nes"}));

    QVERIFY(selectPath(*tree, {"Europe", "Deep"}));
    QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/nes/Europe/Deep/");
    QCOMPARE(romNames(*frame), std::vector<std::string>{"Hidden Gem (E).nes"});

    QVERIFY(selectPath(*tree, {"ROMS"}));
    QCOMPARE(romNames(*frame), std::vector<std::string>{"inner.nes"});

    tree->setCurrentItem(root->child(4)); // found again by its bytes
    QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/nes/\xe2\x80\xae"
                                                        "evil\nname/");

    QVERIFY(selectPath(*tree, {}));
    QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/nes/");
    QCOMPARE(romNames(*frame).size(), std::size_t(3));
}

void MainFrameTest::searchAndFilterThroughTheirStates()
{
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 0));
    auto frame = makeFrame();
    auto *mode = child<QPushButton>(*frame, "filterModeButton");
    auto *apply = child<QPushButton>(*frame, "applyButton");
    auto *edit = child<QLineEdit>(*frame, "searchEdit");

    edit->setText(QStringLiteral("mario"));
    QTest::mouseClick(apply, Qt::LeftButton);
    QCOMPARE(apply->text(), QStringLiteral("Clear"));
    QCOMPARE(romNames(*frame), (std::vector<std::string>{"MARIO.NES", "Super Mario (U).zip"}));

    // The mode button alone does not refill the list.
    QTest::mouseClick(mode, Qt::LeftButton);
    QCOMPARE(mode->text(), QStringLiteral("Filter Out"));
    QCOMPARE(romNames(*frame).size(), std::size_t(2));

    QTest::mouseClick(apply, Qt::LeftButton); // clear
    QCOMPARE(apply->text(), QStringLiteral("Apply"));
    QCOMPARE(frame->romSearch().text(), std::string("."));
    QCOMPARE(romNames(*frame).size(), std::size_t(3));

    // Filtering out is a case-sensitive substring test.
    edit->setText(QStringLiteral("Mario"));
    QTest::mouseClick(apply, Qt::LeftButton);
    QCOMPARE(romNames(*frame), (std::vector<std::string>{"MARIO.NES", "Zelda (U) [!].nes"}));

    QTest::mouseClick(mode, Qt::LeftButton);
    QCOMPARE(mode->text(), QStringLiteral("Search For"));
    QCOMPARE(frame->romSearch().mode(), marlit::FilterMode::SearchFor);
}

void MainFrameTest::textTypedWhileClearShowsHasNoEffect()
{
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 0));
    auto frame = makeFrame();
    auto *apply = child<QPushButton>(*frame, "applyButton");
    auto *edit = child<QLineEdit>(*frame, "searchEdit");
    edit->setText(QStringLiteral("zelda"));
    QTest::mouseClick(apply, Qt::LeftButton);
    QCOMPARE(romNames(*frame), std::vector<std::string>{"Zelda (U) [!].nes"});
    edit->setText(QStringLiteral("mario"));
    QCOMPARE(romNames(*frame), std::vector<std::string>{"Zelda (U) [!].nes"});
    QTest::mouseClick(apply, Qt::LeftButton); // clears: the typed text is not read
    QCOMPARE(romNames(*frame).size(), std::size_t(3));
    QTest::mouseClick(apply, Qt::LeftButton); // only now is it read
    QCOMPARE(romNames(*frame), (std::vector<std::string>{"MARIO.NES", "Super Mario (U).zip"}));
}

void MainFrameTest::layoutFollowsTheSnapshotMode()
{
    const std::string snaps = m_dir->path() + "snaps/";
    m_dir->makeFolder("snaps/a");
    m_dir->makeFolder("snaps/b");
    writeCatalogue("console.ini", {{"NES", m_dir->path() + "roms/nes", snaps + "a", snaps + "b"},
                                   {"SNES", m_dir->path() + "roms/snes"}});
    m_dir->write("marlit.cfg", settingsBytes(true, true, 1, 800, 600, 1, 0));
    auto frame = makeFrame();
    QCOMPARE(child<QWidget>(*frame, "romList")->geometry(), QRect(235, 50, 555, 320));
    QCOMPARE(child<QWidget>(*frame, "applyButton")->geometry(), QRect(730, 380, 60, 20));
    QCOMPARE(child<QWidget>(*frame, "playButton")->geometry(), QRect(283, 10, 120, 30));
    const marlit::SnapshotGeometry &geometry = frame->snapshotGeometry();
    QCOMPARE(geometry.rectA, (marlit::LayoutRect{260, 410, 252, 180}));
    QCOMPARE(geometry.rectB, (marlit::LayoutRect{522, 410, 252, 180}));

    // A system without pictures gives the ROM list its full size.
    child<SystemListBox>(*frame, "systemList")->setCurrentRow(1);
    frame->OnSelChangeSystem();
    QCOMPARE(child<QWidget>(*frame, "romList")->geometry(), QRect(235, 50, 555, 510));
    QCOMPARE(child<QWidget>(*frame, "searchEdit")->geometry(), QRect(325, 570, 395, 20));
}

void MainFrameTest::moveDownKeepsTheHighlightOnTheMovedSystem()
{
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 0));
    auto frame = makeFrame();
    frame->ApplyListOperation(marlit::ListOperation::MoveDown);
    QCOMPARE(frame->systems().entryAt(1)->name, std::string("NES"));
    QCOMPARE(frame->currentSystemIndex(), 1);
    QCOMPARE(child<SystemListBox>(*frame, "systemList")->currentRow(), 1);
    QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/nes/");
    QCOMPARE(marlit::CatalogueFile::load(m_dir->file("console.ini")).entryAt(0)->name, std::string("SNES"));

    frame->ApplyListOperation(marlit::ListOperation::MoveUp);
    QCOMPARE(frame->systems().entryAt(0)->name, std::string("NES"));
    QCOMPARE(frame->currentSystemIndex(), 0);
    // Nothing above the first system: no change, no write.
    const std::string before = m_dir->read("console.ini");
    frame->ApplyListOperation(marlit::ListOperation::MoveUp);
    QCOMPARE(m_dir->read("console.ini"), before);
}

void MainFrameTest::deleteMovesTheViewsToTheSystemInItsPlace()
{
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 1));
    auto frame = makeFrame();
    frame->ApplyListOperation(marlit::ListOperation::Delete);
    QCOMPARE(frame->systems().size(), 2);
    QCOMPARE(frame->currentSystemIndex(), 1);
    QCOMPARE(frame->systems().entryAt(1)->name, std::string("Game Boy"));
    QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/gb/");

    // Deleting the last system highlights the one before it, and the views follow.
    frame->ApplyListOperation(marlit::ListOperation::Delete);
    QCOMPARE(frame->systems().size(), 1);
    QCOMPARE(frame->currentSystemIndex(), 0);
    QCOMPARE(child<SystemListBox>(*frame, "systemList")->currentRow(), 0);
    QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/nes/");
}

void MainFrameTest::deletingTheOnlySystemLeavesAnEmptyFile()
{
    writeCatalogue("console.ini", {{"NES", m_dir->path() + "roms/nes"}});
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 0));
    auto frame = makeFrame();
    frame->ApplyListOperation(marlit::ListOperation::Delete);
    QCOMPARE(m_dir->read("console.ini"), std::string());
    QCOMPARE(frame->systems().size(), 0);
    QCOMPARE(frame->systems().lastIndex(), -1);
    QCOMPARE(frame->currentSystemIndex(), -1);
    QVERIFY(romNames(*frame).empty());
}

void MainFrameTest::readOnlyCatalogueShowsNoLastingChange()
{
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 0));
    const std::string before = m_dir->read("console.ini");
    QCOMPARE(::chmod(m_dir->file("console.ini").c_str(), 0444), 0);
    auto frame = makeFrame();
    frame->ApplyListOperation(marlit::ListOperation::MoveDown);
    QCOMPARE(m_dir->read("console.ini"), before);
    QCOMPARE(frame->systems().entryAt(0)->name, std::string("NES"));
    // The highlight stays on the system the user chose.
    QCOMPARE(frame->currentSystemIndex(), 0);
    QCOMPARE(child<SystemListBox>(*frame, "systemList")->currentRow(), 0);
    frame->ApplyListOperation(marlit::ListOperation::Delete);
    QCOMPARE(frame->systems().size(), 3);
    QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/nes/");
    // Each failed write was said, with the file and the system's reason.
    QCOMPARE(m_writeFailures, QStringList(2, QStringLiteral("console.ini: Permission denied")));
}

void MainFrameTest::playStartsTheEmulatorWithTheRomPath()
{
    const std::string log = m_dir->path() + "launch.log";
    m_dir->write("emu/stand-in.sh", "#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '[%s]' \"$a\"; done; echo; } > '" +
                                        log + ".part' && mv '" + log + ".part' '" + log + "'\n");
    QCOMPARE(::chmod(m_dir->file("emu/stand-in.sh").c_str(), 0755), 0);
    TestSystem nes{"NES", m_dir->path() + "roms/nes"};
    nes.emulator = m_dir->path() + "emu/stand-in.sh";
    nes.commandLine = "-fs \"two words\"";
    writeCatalogue("console.ini", {nes});
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 0));
    auto frame = makeFrame();
    RomListBox *list = child<RomListBox>(*frame, "romList");
    list->setCurrentRow(2); // Zelda (U) [!].nes
    QTest::mouseClick(child<QPushButton>(*frame, "playButton"), Qt::LeftButton);
    // The stand-in renames its record into place once it is whole.
    QTRY_VERIFY_WITH_TIMEOUT(m_dir->exists("launch.log"), 10000);
    QCOMPARE(m_dir->read("launch.log"),
             m_dir->path() + "emu\n[-fs][two words][" + m_dir->path() + "roms/nes/Zelda (U) [!].nes]\n");
}

void MainFrameTest::snapshotSlotsFollowTheirFolders()
{
    m_dir->makeFolder("snaps/a");
    savePicture(m_dir->file("snaps/a/Zelda.png"), Qt::red);
    savePicture(m_dir->file("snaps/a/MARIO.png"), Qt::green);
    savePicture(m_dir->file("default.png"), Qt::blue);
    savePicture(m_dir->file("NoShot.png"), Qt::black);
    TestSystem aOnly{"NES", m_dir->path() + "roms/nes", m_dir->path() + "snaps/a", "", m_dir->file("default.png")};
    TestSystem noFolders{"SNES", m_dir->path() + "roms/snes", "", "", m_dir->file("default.png")};
    writeCatalogue("console.ini", {aOnly, noFolders});
    m_dir->write("marlit.cfg", settingsBytes(true, true, 1, 800, 600, 1, 0));
    auto frame = makeFrame();
    SnapshotLoader &loader = frame->snapshotLoader();
    const auto colourOf = [&](int slot) {
        const auto &image = frame->snapshot(slot);
        return image && !image->isNull() ? image->image().pixelColor(1, 1) : QColor();
    };

    // Folder A set, B empty, default set: B shows the default from the start.
    loader.waitForIdle();
    QVERIFY(!frame->snapshot(0));
    QCOMPARE(colourOf(1), QColor(Qt::blue));

    RomListBox *list = child<RomListBox>(*frame, "romList");
    QTest::keyClick(list, Qt::Key_Home); // MARIO.NES, made current by the user
    loader.waitForIdle();
    QCOMPARE(colourOf(0), QColor(Qt::green));
    QCOMPARE(colourOf(1), QColor(Qt::blue));

    QTest::keyClick(list, Qt::Key_End); // Zelda (U) [!].nes: found by its title
    loader.waitForIdle();
    QCOMPARE(colourOf(0), QColor(Qt::red));

    // Another folder keeps the pictures until a ROM is chosen there.
    QVERIFY(selectPath(*child<RomFolderTree>(*frame, "folderTree"), {"Europe"}));
    QVERIFY(frame->romFolderReader().waitForIdle());
    loader.waitForIdle();
    QCOMPARE(colourOf(0), QColor(Qt::red));
    QTest::keyClick(list, Qt::Key_Home); // Elite (E).nes: nothing found
    loader.waitForIdle();
    QCOMPARE(colourOf(0), QColor(Qt::black));

    // No folders, default set: A shows the default and ROMs change nothing.
    child<SystemListBox>(*frame, "systemList")->setCurrentRow(1);
    frame->OnSelChangeSystem();
    QVERIFY(frame->romFolderReader().waitForIdle());
    loader.waitForIdle();
    QCOMPARE(colourOf(0), QColor(Qt::blue));
    QVERIFY(!frame->snapshot(1));
    QTest::keyClick(list, Qt::Key_Home);
    loader.waitForIdle();
    QCOMPARE(colourOf(0), QColor(Qt::blue));
}

// ---- Dialogs ------------------------------------------------------------------------------

namespace {

QLineEdit *setupEdit(SystemConfigDialog *dialog, int id)
{
    return qobject_cast<QLineEdit *>(dialog->control(id));
}

void clickControl(QWidget *control)
{
    QTest::mouseClick(control, Qt::LeftButton);
}

} // namespace

// "Setup" on the first of three systems, a new name, "Save as New Entry": the copy goes to the
// end, the others keep their order, the highlight moves to the copy, and the file holds exactly
// that. A picker that moved the working directory does not move the program's.
void MainFrameTest::setupSavesAsNewEntryAndKeepsTheWorkingDirectory()
{
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 0));
    auto frame = makeFrame();
    const std::optional<std::string> workingDirectory = marlit::currentDirectory();
    bool answered = false;
    answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
        QVERIFY(dialog);
        answered = true;
        QVERIFY(QDir::setCurrent(QString::fromStdString(m_dir->file("roms"))));
        setupEdit(dialog, SetupId::IdName)->setText(QStringLiteral("Famicom"));
        setupEdit(dialog, SetupId::IdRomDirectory)->setText(QString::fromStdString(m_dir->file("roms/fc")));
        clickControl(dialog->control(SetupId::IdSaveAsNewEntry));
        clickControl(dialog->control(SetupId::IdSave));
    });
    QTest::mouseClick(child<QPushButton>(*frame, "setupButton"), Qt::LeftButton);
    QVERIFY(answered);
    QCOMPARE(marlit::currentDirectory(), workingDirectory);

    const std::string roms = m_dir->path() + "roms/";
    QCOMPARE(m_dir->read("console.ini"),
             recordText({"NES", roms + "nes/"}) + recordText({"SNES", roms + "snes/"}) +
                 recordText({"Game Boy", roms + "gb/"}) + "NAME = Famicom\r\nDESC = about NES\r\nROMDIR = " + roms +
                 "fc/\r\nEMU = /bin/true\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\n"
                 "SNAPSHOT = \r\n\r\n");
    QCOMPARE(frame->systems().size(), 4);
    QCOMPARE(frame->currentSystemIndex(), 3);
    QCOMPARE(child<SystemListBox>(*frame, "systemList")->currentRow(), 3);
    QCOMPARE(frame->currentRomFolder(), roms + "fc/");
}

// "Setup System" from the list's menu; "Edit Current Entry" writes the file, the list shows the
// edit, and the folder tree and ROM list show the new ROM folder at once.
void MainFrameTest::setupSystemEditsTheEntryInPlace()
{
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 1));
    auto frame = makeFrame();
    answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
        QVERIFY(dialog);
        setupEdit(dialog, SetupId::IdDescription)->setText(QStringLiteral("Super Famicom"));
        setupEdit(dialog, SetupId::IdRomDirectory)->setText(QString::fromStdString(m_dir->file("roms/gb")));
        QTest::keyClick(setupEdit(dialog, SetupId::IdDescription), Qt::Key_Return); // the default button
    });
    emit child<SystemListBox>(*frame, "systemList")->setupRequested();

    const marlit::CategoryCatalogue onDisk = marlit::CatalogueFile::load(m_dir->file("console.ini"));
    QCOMPARE(onDisk, frame->systems());
    QCOMPARE(onDisk.entryAt(1)->description, std::string("Super Famicom"));
    QCOMPARE(onDisk.entryAt(1)->romDirectory, m_dir->path() + "roms/gb/");
    QCOMPARE(frame->currentSystemIndex(), 1);
    QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/gb/");
    QTRY_COMPARE(romNames(*frame), std::vector<std::string>{"Tetris (W).gb"});
}

void MainFrameTest::setupCancelAfterThePickersWritesNothing()
{
    m_dir->write("emu/other");
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 0));
    const std::string before = m_dir->read("console.ini");
    auto frame = makeFrame();
    QString folderChosen, fileChosen;
    answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
        QVERIFY(dialog);
        answerNextModal([&](QWidget *picker) {
            auto *browser = qobject_cast<FolderBrowser *>(picker);
            QVERIFY(browser);
            auto *model = qobject_cast<QFileSystemModel *>(browser->folderTree()->model());
            browser->folderTree()->setCurrentIndex(model->index(QString::fromStdString(m_dir->file("roms/gb"))));
            QTest::keyClick(browser->folderTree(), Qt::Key_Return);
        });
        clickControl(dialog->control(SetupId::IdBrowseRomDirectory));
        folderChosen = setupEdit(dialog, SetupId::IdRomDirectory)->text();
        answerNextModal([&](QWidget *picker) {
            auto *files = qobject_cast<QFileDialog *>(picker);
            QVERIFY(files);
            auto *name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            name->setText(QString::fromStdString(m_dir->file("emu/other")));
            QTest::keyClick(name, Qt::Key_Return);
        });
        clickControl(dialog->control(SetupId::IdBrowseEmulator));
        fileChosen = setupEdit(dialog, SetupId::IdEmulator)->text();
        clickControl(dialog->control(SetupId::IdCancel));
    });
    QTest::mouseClick(child<QPushButton>(*frame, "setupButton"), Qt::LeftButton);
    QCOMPARE(folderChosen, QString::fromStdString(m_dir->file("roms/gb")));
    QCOMPARE(fileChosen, QString::fromStdString(m_dir->file("emu/other")));
    QCOMPARE(m_dir->read("console.ini"), before);
    QCOMPARE(frame->systems(), marlit::CatalogueFile::parse(before));
    QCOMPARE(frame->currentRomFolder(), m_dir->path() + "roms/nes/");
}

// A category file that cannot be written: the warning names it and the system's reason, and the
// list shows what the file holds, not the edit.
void MainFrameTest::setupSaveThatCannotBeWrittenShowsTheFile()
{
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 0));
    const std::string before = m_dir->read("console.ini");
    QCOMPARE(::chmod(m_dir->file("console.ini").c_str(), 0444), 0);
    auto frame = makeFrame();
    for (bool asNew : {false, true}) {
        answerNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
            QVERIFY(dialog);
            setupEdit(dialog, SetupId::IdName)->setText(QStringLiteral("Renamed"));
            if (asNew)
                clickControl(dialog->control(SetupId::IdSaveAsNewEntry));
            clickControl(dialog->control(SetupId::IdSave));
        });
        QTest::mouseClick(child<QPushButton>(*frame, "setupButton"), Qt::LeftButton);
        QCOMPARE(frame->systems(), marlit::CatalogueFile::parse(before));
        QCOMPARE(frame->currentSystemIndex(), 0);
    }
    QCOMPARE(m_dir->read("console.ini"), before);
    QCOMPARE(m_writeFailures, QStringList(2, QStringLiteral("console.ini: Permission denied")));
}

// "No Snapshots": a ROM's pictures are not even looked up. Switching to "Snapshots to the Right"
// and leaving with Escape shows them at once, at their new place; a font chosen with "Set Font"
// reaches the ROM list in its regular face, and the settings file at exit.
void MainFrameTest::configSnapshotModeAndFontTakeEffectAtOnce()
{
    m_dir->makeFolder("snaps/a");
    savePicture(m_dir->file("snaps/a/Zelda.png"), Qt::red);
    writeCatalogue("console.ini", {{"NES", m_dir->path() + "roms/nes", m_dir->path() + "snaps/a"}});
    m_dir->write("marlit.cfg", settingsBytes(true, true, 0, 800, 600, 1, 0));
    auto frame = makeFrame();
    SnapshotLoader &loader = frame->snapshotLoader();
    QSignalSpy delivered(&loader, &SnapshotLoader::snapshotReady);
    RomListBox *list = child<RomListBox>(*frame, "romList");
    QTest::keyClick(list, Qt::Key_Home);
    QTest::keyClick(list, Qt::Key_End); // Zelda (U) [!].nes
    loader.waitForIdle();
    QVERIFY(!frame->snapshot(0));
    QCOMPARE(delivered.count(), 0);

    answerNextModal([&](QWidget *modal) {
        auto *options = qobject_cast<OptionsDialog *>(modal);
        QVERIFY(options);
        clickControl(options->control(OptionsDialog::IdSnapshotsRight));
        QTest::keyClick(options, Qt::Key_Escape);
    });
    QTest::mouseClick(child<QPushButton>(*frame, "configButton"), Qt::LeftButton);
    QCOMPARE(frame->options().snapshotMode, int(marlit::SnapshotsRight));
    QCOMPARE(frame->snapshotGeometry().rectA, (marlit::LayoutRect{600, 250, 190, 150}));
    QCOMPARE(list->geometry().right(), 589);
    loader.waitForIdle();
    QVERIFY(frame->snapshot(0));
    QCOMPARE(frame->snapshot(0)->image().pixelColor(1, 1), QColor(Qt::red));

    QString face;
    answerNextModal([&](QWidget *modal) {
        auto *options = qobject_cast<OptionsDialog *>(modal);
        QVERIFY(options);
        answerNextModal([&](QWidget *fontModal) {
            auto *fontDialog = qobject_cast<RomFontDialog *>(fontModal);
            QVERIFY(fontDialog);
            auto *faces = fontDialog->findChild<QFontComboBox *>(QStringLiteral("faceBox"));
            faces->setCurrentFont(QFont(QStringLiteral("DejaVu Serif")));
            face = faces->currentFont().family();
            fontDialog->findChild<QDoubleSpinBox *>(QStringLiteral("sizeBox"))->setValue(16);
            QTest::keyClick(fontDialog, Qt::Key_Return);
        });
        clickControl(options->control(OptionsDialog::IdSetFont));
        clickControl(options->control(OptionsDialog::IdOk));
    });
    QTest::mouseClick(child<QPushButton>(*frame, "configButton"), Qt::LeftButton);
    const QFont font = list->itemFont();
    QCOMPARE(font.family(), face);
    QCOMPARE(font.weight(), QFont::Normal);
    QCOMPARE(font.style(), QFont::StyleNormal);
    QCOMPARE(list->itemHeight(), qRound(16 * list->logicalDpiY() / 72.0) + 2); // the font's pixels, and 2

    frame->close();
    const std::string bytes = m_dir->read("marlit.cfg");
    QCOMPARE(int(bytes[2]), int(marlit::SnapshotsRight));
    QCOMPARE(bytes.substr(9, 3), std::string("160"));
    QCOMPARE(bytes.substr(20, face.size() + 1), face.toStdString() + '\0');
}

void MainFrameTest::nextRowShowsAtOnceAndAnEmptyCellSaysWhatWasLookedFor()
{
    m_dir->makeFolder("snaps/a");
    savePicture(m_dir->file("snaps/a/MARIO.png"), Qt::green);
    savePicture(m_dir->file("snaps/a/Super Mario.png"), Qt::yellow);
    savePicture(m_dir->file("NoShot.png"), Qt::black);
    // Long unchanged, so what was read of the folder is trusted without reading it again.
    const timespec past[2] = {{time(nullptr) - 100, 0}, {time(nullptr) - 100, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, m_dir->file("snaps/a").c_str(), past, 0), 0);
    writeCatalogue("console.ini", {{"NES", m_dir->path() + "roms/nes", m_dir->path() + "snaps/a"}});
    m_dir->write("marlit.cfg", settingsBytes(true, true, 1, 800, 600, 1, 0));
    auto frame = makeFrame();
    frame->show();
    SnapshotLoader &loader = frame->snapshotLoader();
    const auto colourOf = [&](int slot) {
        const auto &image = frame->snapshot(slot);
        return image && !image->isNull() ? image->image().pixelColor(1, 1) : QColor();
    };
    const auto toolTipOverCell = [&] {
        const marlit::LayoutRect &cell = frame->snapshotGeometry().rectA;
        const QPoint inside(cell.x + cell.width / 2, cell.y + cell.height / 2);
        QHelpEvent help(QEvent::ToolTip, inside, frame->mapToGlobal(inside));
        QApplication::sendEvent(frame.get(), &help);
        return QToolTip::text();
    };

    // MARIO.NES, Super Mario (U).zip, Zelda (U) [!].nes: once the first is shown, the second's
    // picture is ready, and shown within the key press, before any other event is handled.
    RomListBox *list = child<RomListBox>(*frame, "romList");
    QTest::keyClick(list, Qt::Key_Home);
    loader.waitForIdle();
    QCOMPARE(colourOf(0), QColor(Qt::green));
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(colourOf(0), QColor(Qt::yellow));
    QCOMPARE(toolTipOverCell(), QString()); // a picture found says nothing
    loader.waitForIdle();
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(colourOf(0), QColor(Qt::black));

    const QString snaps = QString::fromStdString(m_dir->path() + "snaps/a/");
    QCOMPARE(toolTipOverCell(),
             QStringLiteral("No snapshot of \"Zelda (U) [!].nes\" found. Looked for, in this order:\n"
                            "    Zelda (U) [!].*    in %1\n"
                            "    Zelda.*    in %1\n"
                            "Shown instead: %2NoShot.png.")
                 .arg(snaps, QString::fromStdString(m_dir->path())));
}

void MainFrameTest::closingWritesTheSettingsFile()
{
    m_dir->write("marlit.cfg", settingsBytes(true, true, 2, 800, 600, 1, 1));
    auto frame = makeFrame();
    frame->SetRomListFont(QStringLiteral("Liberation Serif"), 90, 0x000000FF);
    frame->resize(1000, 700);
    frame->close();
    const std::string bytes = m_dir->read("marlit.cfg");
    QCOMPARE(bytes.size(), std::size_t(128));
    const std::string expected = [&] {
        std::string b = settingsBytes(true, true, 2, 1000, 700, 1, 1);
        b.replace(9, 3, "090");
        b.replace(12, 8, "000000ff");
        b.replace(20, 17, "Liberation Serif");
        b[36] = '\0';
        return b;
    }();
    QCOMPARE(bytes.substr(0, 37), expected.substr(0, 37));
}

QTEST_MAIN(MainFrameTest)
#include "tst_mainframe.moc"
