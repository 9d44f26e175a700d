// The System Configuration dialog as a user meets it: the system's values in its edits, every
// value stored whole on "Save", the controls where the template puts them, and the pickers,
// answered here as a user would answer them.

#include "gui/catalogue/FolderBrowser.h"
#include "gui/catalogue/PresetMenu.h"
#include "gui/catalogue/SystemConfigDialog.h"

#include "core/catalogue/CatalogueFile.h"
#include "core/catalogue/SystemFileTypes.h"
#include "core/ui/DialogUnits.h"

#include "ModalAnswer.h"
#include "TempDir.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTreeView>
#include <QtTest>

using marlit::SystemEntry;
using marlit::test::answerNextModal;
using marlit::test::TempDir;
using Id = SystemConfigDialog::ControlId;

namespace {

SystemEntry loadedEntry(const std::string &record)
{
    const marlit::CategoryCatalogue catalogue = marlit::CatalogueFile::parse(record);
    return catalogue.entries().at(0);
}

QLineEdit *edit(const SystemConfigDialog &dialog, int id)
{
    return qobject_cast<QLineEdit *>(dialog.control(id));
}

void click(const SystemConfigDialog &dialog, int id)
{
    QTest::mouseClick(dialog.control(id), Qt::LeftButton);
}

QString qs(const std::string &text)
{
    return QString::fromStdString(text);
}

// The folder highlighted in an open picker.
QString highlightedFolder(FolderBrowser *browser)
{
    const QModelIndexList rows = browser->folderTree()->selectionModel()->selectedRows();
    return rows.isEmpty() ? QString()
                          : qobject_cast<QFileSystemModel *>(browser->folderTree()->model())->filePath(rows.first());
}

void solidPicture(const std::string &path, const QColor &color, const char *format)
{
    QDir().mkpath(QFileInfo(qs(path)).path());
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(color);
    QVERIFY(image.save(qs(path), format));
}

// Types the file's path into the picker's name field and presses Enter, as a user can.
void chooseFile(QFileDialog *picker, const QString &path)
{
    auto *nameEdit = picker->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(nameEdit);
    nameEdit->setText(path);
    QTest::keyClick(nameEdit, Qt::Key_Return);
}

QColor previewColor(SystemConfigDialog &dialog)
{
    return dialog.grab().toImage().pixelColor(dialog.iconPreviewRect().center());
}

} // namespace

class SystemConfigDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void showsTheSystemAndSaveStoresEveryValueWhole();
    void controlsStandWhereTheTemplatePutsThem();
    void folderPickerStartsOnTheStoredFolderAndTypedTextWins();
    void filePickersFillTheirFieldsAndTheIconPreview();
    void presetsOfferInstalledEmulatorsFirstAndFillTheSystem();
    void presetsNarrowAsTypedAndAreChosenByKeyboard();
    void opensWideForWholePathsAndKeepsAHugeValueWhole();
};

void SystemConfigDialogTest::showsTheSystemAndSaveStoresEveryValueWhole()
{
    // A snapshot folder whose name is Latin-1, not UTF-8: not valid text in the locale.
    const SystemEntry entry = loadedEntry("NAME = NES\r\nDESC = Nintendo\r\nROMDIR = /roms/nes/\r\n"
                                          "EMU = /opt/emu/run.sh\r\nCOMMAND LINE = @-fs\r\nICON = /icons/nes.ico\r\n"
                                          "SNAPADIR = /shots/caf\xE9/\r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n");
    SystemConfigDialog dialog(entry, "default.ico");
    QCOMPARE(edit(dialog, Id::IdEmulator)->text(), QStringLiteral("/opt/emu/run.sh"));
    QCOMPARE(edit(dialog, Id::IdName)->text(), QStringLiteral("NES"));
    QCOMPARE(edit(dialog, Id::IdCommandLine)->text(), QStringLiteral("-fs"));
    QVERIFY(qobject_cast<QCheckBox *>(dialog.control(Id::IdParamsAfterRom))->isChecked());
    QVERIFY(qobject_cast<QRadioButton *>(dialog.control(Id::IdEditCurrentEntry))->isChecked());
    QVERIFY(!dialog.savesAsNew());

    // Values far past 255 characters, typed or pasted, are kept whole.
    const std::string longName(300, 'N');
    const std::string longFolder = "/roms/" + std::string(4000, 'x');
    edit(dialog, Id::IdName)->setText(qs(longName));
    edit(dialog, Id::IdRomDirectory)->setText(qs(longFolder));
    dialog.show();
    click(dialog, Id::IdSaveAsNewEntry);
    QVERIFY(dialog.savesAsNew());
    QVERIFY(!qobject_cast<QRadioButton *>(dialog.control(Id::IdEditCurrentEntry))->isChecked());
    click(dialog, Id::IdSave);

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const SystemEntry &saved = dialog.edited();
    QCOMPARE(saved.name, longName);
    QCOMPARE(saved.romDirectory, longFolder + "/");
    QCOMPARE(saved.snapshotDirA, std::string("/shots/caf\xE9/"));
    QCOMPARE(saved.emulatorDirectory, std::string("/opt/emu/"));
    QCOMPARE(saved.emulatorFile, std::string("run.sh"));
    QCOMPARE(saved.commandLine, std::string("-fs"));
    QVERIFY(saved.paramsAfterRom);
    QCOMPARE(saved.iconPath, std::string("/icons/nes.ico"));

    // "File Types:" left as shown keeps the emulator's; typed, they are the system's own.
    for (const QString &typed : {QStringLiteral("*.cue *.m3u"), QStringLiteral("*.chd")}) {
        SystemConfigDialog typesDialog(SystemEntry{}, "default.ico");
        typesDialog.setFileTypes("*.cue *.m3u");
        qobject_cast<QLineEdit *>(typesDialog.control(Id::IdFileTypes))->setText(typed);
        click(typesDialog, Id::IdSave);
        const std::string *own = typesDialog.edited().values.find(marlit::SystemFileTypes::kKey);
        QCOMPARE(own ? QString::fromStdString(*own) : QStringLiteral("(the emulator's)"),
                 typed == "*.chd" ? typed : QStringLiteral("(the emulator's)"));
    }
}

void SystemConfigDialogTest::controlsStandWhereTheTemplatePutsThem()
{
    SystemConfigDialog dialog(SystemEntry{}, "default.ico");
    QCOMPARE(dialog.font().pointSize(), 8);
    const QFontMetrics metrics(dialog.font(), &dialog);
    const auto units = marlit::DialogBaseUnits::fromFont(
        metrics.horizontalAdvance(QString::fromLatin1(marlit::DialogBaseUnits::kAverageWidthSample)), metrics.height());
    const auto pixels = [&](int x, int y, int width, int height) {
        const marlit::LayoutRect r = units.toPixels(marlit::LayoutRect{x, y, width, height});
        return QRect(r.x, r.y, r.width, r.height);
    };
    // "File Types:" stands below the parameters; what is below them moved down one row.
    QCOMPARE(dialog.size(), QSize(units.toPixelsX(300), units.toPixelsY(233)));
    QCOMPARE(dialog.control(Id::IdFileTypes)->geometry(), pixels(98, 105, 186, 14));
    QCOMPARE(dialog.control(Id::IdName)->geometry(), pixels(98, 7, 130, 14));
    QCOMPARE(dialog.control(Id::IdPresets)->geometry(), pixels(232, 7, 52, 14));
    QCOMPARE(dialog.control(Id::IdBrowseIcon)->geometry(), pixels(268, 190, 16, 15));
    QCOMPARE(dialog.control(Id::IdSaveAsNewEntry)->geometry(), pixels(15, 210, 78, 10));
    QCOMPARE(dialog.control(1014)->geometry(), pixels(7, 59, 88, 14));
    QCOMPARE(qobject_cast<QLabel *>(dialog.control(1014))->text(), QStringLiteral("Emulation Executable:"));
    QCOMPARE(dialog.iconPreviewRect(), QRect(units.toPixelsX(180), units.toPixelsY(191), 32, 32));

    // Tab goes down the fields as they stand, each with its "..." button, from the name, where
    // the dialog puts the focus, round to it again.
    QCOMPARE(dialog.focusWidget(), dialog.control(Id::IdName));
    QList<int> order;
    QWidget *widget = dialog.control(Id::IdName);
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->property("controlId").toInt();
        widget = widget->nextInFocusChain();
    } while (widget != dialog.control(Id::IdName));
    QCOMPARE(order, (QList<int>{1003, 1028, 1004, 1005, 1021, 1006, 1022, 1007, 1011, 1029, 1008,
                                1023, 1009, 1024, 1010, 1026, 1041, 1027, 1001, 1002, 1,    2}));
}

void SystemConfigDialogTest::folderPickerStartsOnTheStoredFolderAndTypedTextWins()
{
    TempDir dir;
    dir.makeFolder("roms/nes");
    dir.makeFolder("roms/snes");
    SystemEntry entry;
    entry.romDirectory = dir.file("roms/nes/");
    SystemConfigDialog dialog(entry, "default.ico");
    dialog.show();

    // What is typed is not where the picker opens: it opens on the stored folder.
    edit(dialog, Id::IdRomDirectory)->setText(QStringLiteral("/typed"));
    QString startedOn, status;
    answerNextModal([&](QWidget *modal) {
        auto *browser = qobject_cast<FolderBrowser *>(modal);
        QVERIFY(browser);
        startedOn = highlightedFolder(browser);
        status = browser->statusText();
        auto *model = qobject_cast<QFileSystemModel *>(browser->folderTree()->model());
        browser->folderTree()->setCurrentIndex(model->index(qs(dir.file("roms/snes"))));
        QTest::keyClick(browser->folderTree(), Qt::Key_Return);
    });
    click(dialog, Id::IdBrowseRomDirectory);
    QCOMPARE(startedOn, qs(dir.file("roms/nes")));
    QCOMPARE(status, qs(dir.file("roms/nes/"))); // whole, as it fits
    QCOMPARE(edit(dialog, Id::IdRomDirectory)->text(), qs(dir.file("roms/snes")));

    // An empty field opens the picker at the user's home folder; a cancel changes nothing.
    dir.makeFolder("home");
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(dir.file("home")));
    answerNextModal([&](QWidget *modal) {
        auto *browser = qobject_cast<FolderBrowser *>(modal);
        QVERIFY(browser);
        startedOn = highlightedFolder(browser);
        status = browser->statusText();
        QTest::keyClick(browser->folderTree(), Qt::Key_Escape);
    });
    click(dialog, Id::IdBrowseSnapshotDirA);
    qputenv("HOME", home);
    QCOMPARE(startedOn, qs(dir.file("home")));
    QCOMPARE(status, qs(dir.file("home")));
    QCOMPARE(edit(dialog, Id::IdSnapshotDirA)->text(), QString());

    // Typing over the picker's choice: the typed text is what "Save" stores.
    edit(dialog, Id::IdRomDirectory)->setText(QStringLiteral("/typed/again"));
    click(dialog, Id::IdSave);
    QCOMPARE(dialog.edited().romDirectory, std::string("/typed/again/"));
    QCOMPARE(dialog.edited().snapshotDirA, std::string());
}

void SystemConfigDialogTest::filePickersFillTheirFieldsAndTheIconPreview()
{
    TempDir dir;
    dir.write("emu/run.sh");
    dir.write("emu/other-emulator");
    for (const char *name : {"shots/a.png", "shots/B.PNG", "shots/c.Jpeg", "shots/notes.txt"})
        dir.write(name);
    solidPicture(dir.file("default.ico"), Qt::blue, "ICO");
    solidPicture(dir.file("icons/red.png"), Qt::red, "PNG");

    SystemEntry entry;
    entry.emulatorDirectory = dir.file("emu");
    entry.emulatorFile = "/run.sh";
    entry.defaultSnapshot = dir.file("shots/a.png");
    SystemConfigDialog dialog(entry, dir.file("default.ico"));
    dialog.show();
    QCOMPARE(previewColor(dialog), QColor(Qt::blue)); // no icon of its own: the default icon

    // The emulator: all files, from the emulator's folder, or from the installed programs when
    // the system names none; a cancel changes nothing.
    QString title, startFolder;
    SystemConfigDialog bare(SystemEntry{}, dir.file("default.ico"));
    answerNextModal([&](QWidget *modal) {
        auto *picker = qobject_cast<QFileDialog *>(modal);
        QVERIFY(picker);
        startFolder = picker->directory().absolutePath();
        picker->reject();
    });
    click(bare, Id::IdBrowseEmulator);
    QCOMPARE(startFolder, QStringLiteral("/usr/bin"));
    answerNextModal([&](QWidget *modal) {
        auto *picker = qobject_cast<QFileDialog *>(modal);
        QVERIFY(picker);
        picker->reject();
    });
    click(dialog, Id::IdBrowseEmulator);
    QCOMPARE(dialog.edited(), entry);
    answerNextModal([&](QWidget *modal) {
        auto *picker = qobject_cast<QFileDialog *>(modal);
        QVERIFY(picker);
        title = picker->windowTitle();
        startFolder = picker->directory().absolutePath();
        chooseFile(picker, qs(dir.file("emu/other-emulator")));
    });
    click(dialog, Id::IdBrowseEmulator);
    QCOMPARE(title, QStringLiteral("Select an Emulator"));
    QCOMPARE(startFolder, qs(dir.file("emu")));
    QCOMPARE(edit(dialog, Id::IdEmulator)->text(), qs(dir.file("emu/other-emulator")));
    QCOMPARE(dialog.edited().emulatorDirectory, dir.file("emu/"));
    QCOMPARE(dialog.edited().emulatorFile, std::string("other-emulator"));

    // The default snapshot: picture files in any letter case, from the snapshot's folder.
    QStringList listed;
    answerNextModal([&](QWidget *modal) {
        auto *picker = qobject_cast<QFileDialog *>(modal);
        QVERIFY(picker);
        title = picker->windowTitle();
        auto *list = picker->findChild<QListView *>(QStringLiteral("listView"));
        QVERIFY(list);
        const auto names = [&] {
            QStringList shown;
            for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
                shown << list->model()->index(row, 0, list->rootIndex()).data().toString();
            shown.sort();
            return shown;
        };
        if (QTest::qWaitFor([&] { return names().size() >= 3; }))
            listed = names();
        chooseFile(picker, qs(dir.file("shots/B.PNG")));
    });
    click(dialog, Id::IdBrowseDefaultSnapshot);
    QCOMPARE(title, QStringLiteral("Select a Default Snapshot"));
    QCOMPARE(listed, (QStringList{"B.PNG", "a.png", "c.Jpeg"}));
    QCOMPARE(edit(dialog, Id::IdDefaultSnapshot)->text(), qs(dir.file("shots/B.PNG")));

    // The icon: the preview shows the chosen one at once.
    answerNextModal([&](QWidget *modal) {
        auto *picker = qobject_cast<QFileDialog *>(modal);
        QVERIFY(picker);
        chooseFile(picker, qs(dir.file("icons/red.png")));
    });
    click(dialog, Id::IdBrowseIcon);
    QCOMPARE(dialog.edited().iconPath, dir.file("icons/red.png"));
    QCOMPARE(previewColor(dialog), QColor(Qt::red));

    // An icon file that is missing shows the default icon, as in the system list; only without
    // that too the preview is empty.
    entry.iconPath = dir.file("icons/no-such.ico");
    SystemConfigDialog missing(entry, dir.file("default.ico"));
    missing.show();
    QCOMPARE(previewColor(missing), QColor(Qt::blue));
    SystemConfigDialog unreadable(entry, dir.file("no-such.ico"));
    unreadable.show();
    QCOMPARE(previewColor(unreadable), unreadable.palette().color(QPalette::Window));
}

namespace {

marlit::SystemPreset preset(const char *emulator, const char *name, const char *description, bool installed,
                            const char *path = "", const char *commandLine = "", bool after = false)
{
    marlit::SystemPreset system;
    system.emulator = emulator;
    system.name = name;
    system.description = description;
    system.category = 1;
    system.install = std::string("sudo apt install ") + emulator;
    system.extensions = {"nes", "zip"};
    system.installed = installed;
    system.emulatorPath = path;
    system.commandLine = commandLine;
    system.paramsAfterRom = after;
    return system;
}

// The menu's items as a user reads them: text, "-" before a greyed one, submenus indented.
QStringList itemsOf(const QMenu *menu, const QString &indent = {})
{
    QStringList items;
    const auto *presets = qobject_cast<const PresetMenu *>(menu);
    for (QAction *action : presets ? presets->items() : menu->actions()) {
        if (action->isSeparator())
            items << indent + QStringLiteral("== ") + action->text();
        else if (action->menu())
            items << indent + action->text() + QStringLiteral(":")
                  << itemsOf(action->menu(), indent + QStringLiteral("  "));
        else
            items << indent + (action->isEnabled() ? QString() : QStringLiteral("- ")) + action->text();
    }
    return items;
}

} // namespace

void SystemConfigDialogTest::presetsOfferInstalledEmulatorsFirstAndFillTheSystem()
{
    SystemEntry entry;
    entry.romDirectory = "/roms/nes/";
    entry.iconPath = "/icons/nes.ico";
    SystemConfigDialog dialog(entry, "default.ico");
    QCOMPARE(qobject_cast<QPushButton *>(dialog.control(Id::IdPresets))->menu(), dialog.presetMenu());
    QCOMPARE(itemsOf(dialog.presetMenu()), QStringList{"- No known emulators: their table could not be read"});
    dialog.setPresets({}, true);
    QCOMPARE(itemsOf(dialog.presetMenu()), QStringList{"- Looking for the installed emulators..."});

    // Installed emulators first, each group in the given order.
    dialog.setPresets({preset("PCSX2", "Sony", "PlayStation 2", false),
                       preset("FCEUX", "Nintendo", "NES", true, "/usr/games/fceux"),
                       preset("Mednafen", "Nintendo", "NES", true, "/usr/games/mednafen", "-video.fs 1"),
                       preset("DOSBox", "DOSBox", "MS-DOS programs", true, "/usr/bin/dosbox", "-exit", true),
                       preset("Mednafen", "Sega", "Game Gear", false)},
                      false);
    QCOMPARE(itemsOf(dialog.presetMenu()), (QStringList{
                                               "FCEUX: Nintendo \u2014 NES",
                                               "Mednafen:",
                                               "  Nintendo \u2014 NES",
                                               "  - Sega \u2014 Game Gear (not installed)",
                                               "DOSBox \u2014 MS-DOS programs",
                                               "== Not installed",
                                               "PCSX2: sudo apt install PCSX2",
                                           }));
    const QList<QAction *> top = dialog.presetMenu()->items();
    QCOMPARE(top.at(0)->toolTip(), QStringLiteral("Console tab; ROM files: .nes .zip"));
    QCOMPARE(top.at(4)->toolTip(), QStringLiteral("sudo apt install PCSX2 (click to copy)\nSony \u2014 PlayStation 2"));
    // Its install command is copied by a click.
    top.at(4)->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("sudo apt install PCSX2"));
    QCOMPARE(edit(dialog, Id::IdName)->text(), QString());

    // A table of hundreds of emulators still fits the screen: the menu scrolls.
    std::vector<marlit::SystemPreset> many;
    for (int index = 0; index < 400; ++index) {
        many.push_back(preset("Emulator", "System", "", true, "/usr/bin/emu"));
        many.back().emulator += ' ' + std::to_string(index);
    }
    PresetMenu tall;
    tall.setSystems(many, false);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    tall.popup(screen.topLeft());
    QTRY_VERIFY(tall.isVisible());
    QVERIFY(tall.height() <= screen.height());
    QVERIFY(tall.width() <= screen.width() / 2);
    tall.close();

    // DOSBox fills the system; the ROM folder and the icon stay the user's.
    top.at(2)->trigger();
    QCOMPARE(edit(dialog, Id::IdName)->text(), QStringLiteral("DOSBox"));
    QCOMPARE(edit(dialog, Id::IdDescription)->text(), QStringLiteral("MS-DOS programs"));
    QCOMPARE(edit(dialog, Id::IdEmulator)->text(), QStringLiteral("/usr/bin/dosbox"));
    QCOMPARE(edit(dialog, Id::IdCommandLine)->text(), QStringLiteral("-exit"));
    QVERIFY(qobject_cast<QCheckBox *>(dialog.control(Id::IdParamsAfterRom))->isChecked());
    QCOMPARE(edit(dialog, Id::IdRomDirectory)->text(), QStringLiteral("/roms/nes/"));
    QCOMPARE(edit(dialog, Id::IdRomDirectory)->placeholderText(), QStringLiteral("a folder of *.nes *.zip files"));

    // Mednafen's parameters go before the ROM: the box is cleared again.
    top.at(1)->menu()->actions().at(0)->trigger();
    QVERIFY(!qobject_cast<QCheckBox *>(dialog.control(Id::IdParamsAfterRom))->isChecked());
    dialog.show();
    click(dialog, Id::IdSave);
    SystemEntry expected = entry;
    expected.name = "Nintendo";
    expected.description = "NES";
    expected.emulatorDirectory = "/usr/games/";
    expected.emulatorFile = "mednafen";
    expected.commandLine = "-video.fs 1";
    QCOMPARE(dialog.edited(), expected);
}

// The menu opens with the focus in its filter field; typing narrows it to one flat list, Down
// goes into it and Enter chooses, there or in the field (the first item left). What is not
// installed still copies its install command.
void SystemConfigDialogTest::presetsNarrowAsTypedAndAreChosenByKeyboard()
{
    SystemConfigDialog dialog(SystemEntry{}, "default.ico");
    dialog.setPresets({preset("Mednafen", "Nintendo", "NES", true, "/usr/games/mednafen"),
                       preset("Mednafen", "Sega", "Game Gear", true, "/usr/games/mednafen"),
                       preset("FCEUX", "Nintendo", "Famicom", true, "/usr/games/fceux"),
                       preset("PCSX2", "Sony", "PlayStation 2", false)},
                      false);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    PresetMenu *menu = dialog.presetMenu();
    QLineEdit *field = menu->filterField();
    struct Step
    {
        const char *typed;
        QStringList left;
    };
    const Step steps[] = {
        {"",
         {"Mednafen:", "  Nintendo \u2014 NES", "  Sega \u2014 Game Gear", "FCEUX: Nintendo \u2014 Famicom",
          "== Not installed", "PCSX2: sudo apt install PCSX2"}},
        // By system, in any case, across emulators; a submenu's systems come out flat.
        {"nintendo", {"Mednafen: Nintendo \u2014 NES", "FCEUX: Nintendo \u2014 Famicom"}},
        {"GEAR", {"Mednafen: Sega \u2014 Game Gear"}},
        // By emulator, and by the install command of one that is not installed.
        {"fceux", {"FCEUX: Nintendo \u2014 Famicom"}},
        {"apt install pc", {"== Not installed", "PCSX2: sudo apt install PCSX2"}},
        {"zzz", {"- No emulator or system holds \u201Czzz\u201D"}},
    };
    for (const Step &step : steps) {
        field->setText(QString::fromUtf8(step.typed));
        QCOMPARE(itemsOf(menu), step.left);
    }

    // Opened, the field has the focus: typed, then Down and Enter choose the second item left.
    field->clear();
    menu->popup(dialog.mapToGlobal(QPoint(0, 0)));
    QTRY_VERIFY(menu->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), field);
    QTest::keyClicks(field, QStringLiteral("nintendo"));
    QCOMPARE(itemsOf(menu).size(), 2);
    QTest::keyClick(field, Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(menu->activeAction(), menu->items().at(1));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(edit(dialog, Id::IdDescription)->text(), QStringLiteral("Famicom"));

    // Enter in the field takes the first item left; the text typed is kept for the next opening.
    menu->popup(dialog.mapToGlobal(QPoint(0, 0)));
    QTRY_COMPARE(QApplication::focusWidget(), field);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("gear"));
    QTest::keyClick(field, Qt::Key_Return);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(edit(dialog, Id::IdDescription)->text(), QStringLiteral("Game Gear"));

    // Found by its command, one not installed copies it.
    field->setText(QStringLiteral("pcsx2"));
    menu->items().constLast()->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("sudo apt install PCSX2"));
}

// A long ROM folder is shown whole: the dialog opens wider, the edits with it, the "..." buttons
// beside them. A 50 MB description (a damaged catalogue) is shown by its beginning, cannot be
// typed over, and "Save" keeps it whole.
void SystemConfigDialogTest::opensWideForWholePathsAndKeepsAHugeValueWhole()
{
    SystemEntry entry;
    entry.romDirectory = "/media/collection/" + std::string(120, 'r') + "/";
    entry.description = std::string(50 * 1024 * 1024, 'd');
    SystemConfigDialog dialog(entry, "default.ico");
    SystemConfigDialog narrow(SystemEntry{}, "default.ico");
    QLineEdit *folder = edit(dialog, Id::IdRomDirectory);
    QVERIFY(dialog.width() > narrow.width());
    QVERIFY(folder->width() > folder->fontMetrics().horizontalAdvance(folder->text()));
    const int extra = dialog.width() - narrow.width();
    QCOMPARE(dialog.control(Id::IdBrowseRomDirectory)->x(), narrow.control(Id::IdBrowseRomDirectory)->x() + extra);
    QCOMPARE(dialog.control(Id::IdPresets)->x(), narrow.control(Id::IdPresets)->x() + extra);
    QCOMPARE(dialog.control(Id::IdSave)->geometry(), narrow.control(Id::IdSave)->geometry());
    QCOMPARE(dialog.maximumHeight(), narrow.height());

    QLineEdit *description = edit(dialog, Id::IdDescription);
    QVERIFY(description->text().size() < 2000);
    QVERIFY(description->isReadOnly());
    click(dialog, Id::IdSave);
    QCOMPARE(dialog.edited().description.size(), entry.description.size());
    QCOMPARE(dialog.edited().romDirectory, entry.romDirectory);
}

QTEST_MAIN(SystemConfigDialogTest)
#include "tst_systemconfigdialog.moc"
