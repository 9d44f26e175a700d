// A new user's first minutes: in a new workspace the window offers a system for each known
// emulator found (a fake PATH and table here), writes the chosen ones in place of the blank
// records and never offers again; a system without an emulator says so instead of starting
// nothing.

#include "ModalAnswer.h"
#include "TempDir.h"

#include "core/catalogue/CatalogueFile.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/catalogue/EmulatorFinder.h"
#include "gui/catalogue/FirstStartOffer.h"
#include "gui/catalogue/FolderBrowser.h"
#include "gui/catalogue/PresetMenu.h"
#include "gui/catalogue/SystemConfigDialog.h"
#include "gui/launch/EmulatorStarter.h"
#include "gui/launch/LaunchNotice.h"
#include "gui/snapshots/IconImage.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/SystemListBox.h"

#include <QApplication>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <sys/stat.h>

#include <algorithm>
#include <memory>

using marlit::test::answerNextModal;
using marlit::test::TempDir;

namespace {

// DOSBox serves one system, Mednafen two; PCSX2 is only a Flatpak and flatpak is not on PATH.
// Their programs have names of their own: Marlit also looks in Debian's games folders, where a
// real one may be installed.
const char *const kTable = R"json({ "format": 1, "emulators": [
  { "name": "DOSBox", "programs": ["dosbox-fake"], "flatpaks": [], "install": "sudo apt install dosbox",
    "parameters": "@-exit", "extensions": ["exe", "com"], "checked": "dosbox(1)",
    "systems": [ { "name": "DOSBox", "description": "MS-DOS programs", "category": "Computer" } ] },
  { "name": "PCSX2", "programs": [], "flatpaks": ["net.pcsx2.PCSX2"], "install": "flatpak install net.pcsx2.PCSX2",
    "parameters": "", "extensions": ["iso"], "checked": "pcsx2 --help",
    "systems": [ { "name": "Sony", "description": "PlayStation 2", "category": "Console" } ] },
  { "name": "Mednafen", "programs": ["mednafen-fake"], "flatpaks": [], "install": "sudo apt install mednafen",
    "parameters": "-video.fs 1", "extensions": ["zip"], "checked": "mednafen(6)",
    "systems": [ { "name": "Nintendo", "description": "NES", "category": "Console" },
                 { "name": "Game Boy", "description": "Game Boy Color", "category": "Handheld" } ] }
] })json";

std::string record(const std::string &name, const std::string &description, const std::string &romDirectory,
                   const std::string &emulator, const std::string &commandLine, const std::string &icon = {})
{
    return "NAME = " + name + "\r\nDESC = " + description + "\r\nROMDIR = " + romDirectory + "\r\nEMU = " + emulator +
           "\r\nCOMMAND LINE = " + commandLine + "\r\nICON = " + icon +
           "\r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";
}

// Picks folder in the next folder picker, and says where the picker started.
void pickFolder(const std::string &folder, QString *startedOn)
{
    answerNextModal([=](QWidget *modal) {
        auto *browser = qobject_cast<FolderBrowser *>(modal);
        QVERIFY(browser);
        auto *model = qobject_cast<QFileSystemModel *>(browser->folderTree()->model());
        *startedOn = model->filePath(browser->folderTree()->currentIndex());
        browser->folderTree()->setCurrentIndex(model->index(QString::fromStdString(folder)));
        QTest::keyClick(browser->folderTree(), Qt::Key_Return);
    });
}

} // namespace

class NewUserTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void offerWritesTheChosenSystemsInPlaceOfTheBlankRecordsOnce();
    void dismissedOfferIsNotMadeAgainAndNothingFoundSaysHowToInstall();
    void systemWithoutEmulatorSaysSoAndStartsNothing();
    void setupPresetsAreTheEmulatorsFoundNow();
    void largeOfferIsLaidOutOnceWithWholeNames();
    void unusableTableIsSaidInTheWindow();

private:
    // A window on the workspace, once its search for emulators is over.
    std::unique_ptr<MainFrame> startWindow();
    FirstStartOffer *offerOf(MainFrame &frame) { return frame.findChild<FirstStartOffer *>(); }
    void makeProgram(const std::string &name);

    std::unique_ptr<TempDir> m_dir;
    std::string m_workspace;
};

void NewUserTest::init()
{
    m_dir = std::make_unique<TempDir>();
    m_dir->write("share/marlit/emulators.json", kTable);
    m_dir->makeFolder("home");
    m_dir->makeFolder("bin");
    m_dir->write("roms/DOS games/HELLO.COM");
    m_dir->write("roms/NES/Zelda (U).nes");
    m_dir->makeFolder("workspace");
    m_workspace = m_dir->file("workspace/");
    // The table is found where Marlit's installed one would be; the emulators on this PATH only.
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(m_dir->file("share")));
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(m_dir->file("nowhere")));
    qputenv("HOME", QByteArray::fromStdString(m_dir->file("home")));
    qputenv("PATH", QByteArray::fromStdString(m_dir->file("bin")));
}

void NewUserTest::cleanup()
{
    m_dir.reset();
}

void NewUserTest::makeProgram(const std::string &name)
{
    // Writes its arguments, one per bracket pair, to a file named after it.
    m_dir->write("bin/" + name,
                 "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > '" + m_dir->file(name + ".args") + "'\n");
    QCOMPARE(chmod(m_dir->file("bin/" + name).c_str(), 0755), 0);
}

std::unique_ptr<MainFrame> NewUserTest::startWindow()
{
    auto frame = std::make_unique<MainFrame>(m_workspace);
    QSignalSpy found(&frame->emulatorFinder(), &EmulatorFinder::found);
    [&] { QVERIFY(found.wait(20000)); }();
    [&] { QVERIFY(frame->romFolderReader().waitForIdle()); }(); // folders are read by reader processes
    return frame;
}

void NewUserTest::offerWritesTheChosenSystemsInPlaceOfTheBlankRecordsOnce()
{
    makeProgram("dosbox-fake");
    makeProgram("mednafen-fake");
    auto frame = startWindow();
    FirstStartOffer *offer = offerOf(*frame);
    QVERIFY(offer);
    QVERIFY(offer->isVisible());
    QVERIFY(!offer->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr); // the window stays usable
    QCOMPARE(offer->lines().size(), 3u);                  // PCSX2 is not installed
    QCOMPARE(offer->lines()[1]->parent()->text(0), QStringLiteral("Mednafen"));
    QCOMPARE(offer->lines()[2]->text(1), QStringLiteral("Handheld"));

    // A folder picked for DOSBox ticks its line; the picker starts at home, the next beside it.
    QString startedOn;
    pickFolder(m_dir->file("roms/DOS games"), &startedOn);
    QTest::mouseClick(offer->folderButton(0), Qt::LeftButton);
    QCOMPARE(startedOn, QString::fromStdString(m_dir->file("home")));
    // Enter on a line picks its folder too, and adds nothing yet.
    auto *tree = offer->findChild<QTreeWidget *>(QStringLiteral("systemTree"));
    QTest::keyClick(tree, Qt::Key_Down); // Mednafen
    QTest::keyClick(tree, Qt::Key_Down); // its NES
    pickFolder(m_dir->file("roms/NES"), &startedOn);
    QTest::keyClick(tree, Qt::Key_Return);
    QCOMPARE(startedOn, QString::fromStdString(m_dir->file("roms")));
    QVERIFY(offer->isVisible());
    offer->lines()[2]->setCheckState(0, Qt::Checked); // ticked, its folder left for later
    QTest::mouseClick(offer->findChild<QPushButton *>(QStringLiteral("addButton")), Qt::LeftButton);
    QTRY_VERIFY(!offerOf(*frame));

    const std::string bin = m_dir->file("bin/");
    const std::string blank(marlit::CatalogueTemplate);
    QCOMPARE(m_dir->read("workspace/classic.ini"), blank);
    // Each gets the icon drawn for its kind, written into the workspace.
    const std::string icons = m_dir->file("workspace/icons/");
    QCOMPARE(m_dir->read("workspace/computer.ini"), record("DOSBox", "MS-DOS programs", m_dir->file("roms/DOS games/"),
                                                           bin + "dosbox-fake", "@-exit", icons + "computer.svg"));
    QCOMPARE(m_dir->read("workspace/console.ini"), record("Nintendo", "NES", m_dir->file("roms/NES/"),
                                                          bin + "mednafen-fake", "-video.fs 1", icons + "console.svg"));
    QCOMPARE(m_dir->read("workspace/handheld.ini"),
             record("Game Boy", "Game Boy Color", "", bin + "mednafen-fake", "-video.fs 1", icons + "handheld.svg"));
    QVERIFY(!IconImage::read(icons + "computer.svg", 32, 1.0).isNull());
    QVERIFY(m_dir->exists("workspace/marlit.offered"));

    // The first system added is shown, and plays.
    QCOMPARE(frame->findChild<QTabBar *>(QStringLiteral("categoryTabs"))->currentIndex(), 3);
    auto *roms = frame->findChild<RomListBox *>(QStringLiteral("romList"));
    QVERIFY(frame->romFolderReader().waitForIdle()); // its folder is read by a reader process
    QCOMPARE(roms->count(), 1);
    roms->setCurrentRow(0);
    frame->OnPlay();
    QTRY_COMPARE(m_dir->read("dosbox-fake.args"), "[" + m_dir->file("roms/DOS games/HELLO.COM") + "][-exit]");

    // Not offered again, even with every system blank once more.
    frame.reset();
    for (const char *file : {"computer.ini", "console.ini", "handheld.ini"})
        m_dir->write(std::string("workspace/") + file, blank);
    frame = startWindow();
    QCOMPARE(offerOf(*frame), nullptr);
}

void NewUserTest::dismissedOfferIsNotMadeAgainAndNothingFoundSaysHowToInstall()
{
    // A workspace with a system of the user's is not new.
    m_dir->write("workspace/console.ini", record("NES", "", "", "", ""));
    auto frame = startWindow();
    QCOMPARE(offerOf(*frame), nullptr);
    QVERIFY(!m_dir->exists("workspace/marlit.offered"));

    // An emptied one is; with no emulator found it says how to install one, and closed, it is
    // not offered again.
    m_dir->write("workspace/console.ini", "");
    frame = startWindow();
    FirstStartOffer *offer = offerOf(*frame);
    QVERIFY(offer);
    auto *hint = offer->findChild<QLabel *>(QStringLiteral("installHint"));
    QVERIFY(hint);
    QVERIFY(hint->text().contains(QStringLiteral("sudo apt install dosbox")));
    offer->close();
    QTRY_VERIFY(!offerOf(*frame));
    QVERIFY(m_dir->exists("workspace/marlit.offered"));
    frame = startWindow();
    QCOMPARE(offerOf(*frame), nullptr);
    QCOMPARE(m_dir->read("workspace/console.ini"), std::string());
}

void NewUserTest::systemWithoutEmulatorSaysSoAndStartsNothing()
{
    m_dir->write("workspace/classic.ini", record("DOS", "", m_dir->file("roms/DOS games/"), "", "@-exit"));
    auto frame = startWindow();
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    LaunchNotice *notice = frame->emulatorStarter().notice();
    auto *roms = frame->findChild<RomListBox *>(QStringLiteral("romList"));
    QVERIFY(frame->romFolderReader().waitForIdle()); // its folder is read by a reader process
    QCOMPARE(roms->count(), 1);
    roms->setCurrentRow(0);

    const std::function<void()> actions[] = {
        [&] { QTest::mouseClick(frame->findChild<QPushButton *>(QStringLiteral("playButton")), Qt::LeftButton); },
        [&] { QTest::keyClick(roms, Qt::Key_Return); },
        [&] { frame->findChild<SystemListBox *>(QStringLiteral("systemList"))->launchEmulatorRequested(); },
    };
    for (const auto &action : actions) {
        notice->hide();
        action();
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->message(), QStringLiteral("This system has no emulator yet: click Setup"));
        QCOMPARE(notice->commandLine(), QString());
        QVERIFY(!notice->findChild<QPushButton *>(QStringLiteral("launchNoticeCopy"))->isVisible());
    }
}

// The presets of "Setup" are looked for again when it opens: an emulator installed meanwhile is
// there, and fills the system.
void NewUserTest::setupPresetsAreTheEmulatorsFoundNow()
{
    m_dir->write("workspace/classic.ini", record("Old", "", "", "", ""));
    auto frame = startWindow();
    makeProgram("dosbox-fake");
    bool answered = false;
    answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
        QVERIFY(dialog);
        // Known at once, as not installed (a click copies how to install it); installed as soon
        // as the new search is over.
        const QList<QAction *> known = dialog->presetMenu()->items();
        QVERIFY(std::any_of(known.begin(), known.end(), [](QAction *action) {
            return action->text() == QStringLiteral("DOSBox: sudo apt install dosbox");
        }));
        const auto dosbox = [&]() -> QAction * {
            const QList<QAction *> actions = dialog->presetMenu()->items();
            return !actions.isEmpty() && actions.first()->isEnabled() ? actions.first() : nullptr;
        };
        QTRY_VERIFY(dosbox() && dosbox()->text() == QStringLiteral("DOSBox \u2014 MS-DOS programs"));
        dosbox()->trigger();
        answered = true;
        QTest::mouseClick(dialog->control(SystemConfigDialog::IdSave), Qt::LeftButton);
    });
    QTest::mouseClick(frame->findChild<QPushButton *>(QStringLiteral("setupButton")), Qt::LeftButton);
    QVERIFY(answered);
    QCOMPARE(m_dir->read("workspace/classic.ini"),
             record("DOSBox", "MS-DOS programs", "", m_dir->file("bin/dosbox-fake"), "@-exit",
                    m_dir->file("workspace/icons/computer.svg")));
}

// A table of thousands of systems (most emulators serving several) is laid out as often as one of
// a few: once each line was added to the shown tree, which took minutes. Names are shown whole.
void NewUserTest::largeOfferIsLaidOutOnceWithWholeNames()
{
    const auto layoutsFor = [](int systemCount, int *nameColumn, int *widestName) {
        std::vector<marlit::SystemPreset> systems;
        for (int index = 0; index < systemCount; ++index) {
            marlit::SystemPreset system;
            system.emulator = "Emulator " + std::to_string(index / 3);
            system.name = "System " + std::to_string(index) + (index == 1 ? " with a rather long name indeed" : "");
            system.category = index % 4;
            system.installed = true;
            systems.push_back(system);
        }
        FirstStartOffer offer(systems, "/");
        offer.show();
        QCoreApplication::processEvents();
        const QFontMetrics metrics(offer.lines().front()->treeWidget()->font());
        *widestName = metrics.horizontalAdvance(offer.lines()[1]->text(0));
        *nameColumn = offer.lines().front()->treeWidget()->columnWidth(0);
        return offer.treeLayouts();
    };
    int nameColumn = 0;
    int widestName = 0;
    const int few = layoutsFor(30, &nameColumn, &widestName);
    QVERIFY(nameColumn > widestName);
    QCOMPARE(layoutsFor(6000, &nameColumn, &widestName), few);
    QVERIFY(few <= 3);
}

// A table of emulators that cannot be used at all is said in the window, not only on standard
// error, and nothing is offered.
void NewUserTest::unusableTableIsSaidInTheWindow()
{
    m_dir->write("share/marlit/emulators.json", "{ \"format\": 1, \"emulators\": [");
    auto frame = startWindow();
    QCOMPARE(offerOf(*frame), nullptr);
    auto *notice = frame->findChild<LaunchNotice *>();
    QVERIFY(notice);
    QTRY_VERIFY2(notice->message().startsWith(QStringLiteral("The table of known emulators cannot be used: ")),
                 qPrintable(notice->message()));
    QVERIFY(notice->isVisibleTo(frame.get()));
}

QTEST_MAIN(NewUserTest)
#include "tst_newuser.moc"
