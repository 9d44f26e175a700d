#include "gui/catalogue/SystemConfigDialog.h"

#include "core/catalogue/SystemFileTypes.h"
#include "core/fs/Paths.h"
#include "gui/catalogue/DialogTemplate.h"
#include "gui/catalogue/FolderBrowser.h"
#include "gui/catalogue/PresetIcons.h"
#include "gui/catalogue/PresetMenu.h"
#include "gui/metadata/GameListsField.h"
#include "gui/snapshots/IconImage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>
#include <climits>

using marlit::SystemEntry;

namespace {

// Where the emulator's picker starts when the system names no folder of the emulator.
constexpr const char *kProgramsFolder = "/usr/bin";

// The longest path the system takes: no edit is shorter, so no path is ever cut.
constexpr int kPathMaxLength = PATH_MAX;

// A value longer than this (a damaged or hostile catalogue) is shown by its beginning and kept
// whole: an edit lays out all of its text, which for megabytes takes seconds at every change.
constexpr std::size_t kEditableBytes = 64 * 1024;
constexpr std::size_t kShownBytes = 1024;

// How wide the dialog may open to show its paths whole: most of the screen, never beyond it.
constexpr int kWidestScreenPercent = 90;

enum class ControlKind { DefaultButton, Button, BrowseButton, Radio, Edit, CheckBox, Label, RightLabel, GameLists };

struct ControlTemplate
{
    int id;
    ControlKind kind;
    const char *text;
    marlit::LayoutRect rect; // dialog units
    const char *objectName;
};

// The controls in the template's order, which is also the Tab key's order.
constexpr ControlTemplate kControls[] = {
    {1, ControlKind::DefaultButton, "Save", {116, 207, 50, 14}, "saveButton"},
    {2, ControlKind::Button, "Cancel", {212, 207, 50, 14}, "cancelButton"},
    {1001, ControlKind::Radio, "Edit Current Entry", {15, 196, 79, 10}, "editCurrentEntryRadio"},
    {1002, ControlKind::Radio, "Save as New Entry", {15, 210, 78, 10}, "saveAsNewEntryRadio"},
    // The name's edit leaves room for the button that fills the system from a known emulator.
    {1003, ControlKind::Edit, "", {98, 7, 130, 14}, "nameEdit"},
    {1028, ControlKind::Button, "Presets...", {232, 7, 52, 14}, "presetsButton"},
    {1004, ControlKind::Edit, "", {98, 24, 186, 14}, "descriptionEdit"},
    {1005, ControlKind::Edit, "", {98, 41, 167, 14}, "romDirectoryEdit"},
    {1006, ControlKind::Edit, "", {98, 58, 167, 14}, "emulatorEdit"},
    {1007, ControlKind::Edit, "", {98, 75, 186, 14}, "commandLineEdit"},
    {1008, ControlKind::Edit, "", {98, 122, 167, 14}, "snapshotDirAEdit"},
    {1009, ControlKind::Edit, "", {98, 139, 167, 14}, "snapshotDirBEdit"},
    {1010, ControlKind::Edit, "", {98, 156, 167, 14}, "defaultSnapshotEdit"},
    {1029, ControlKind::Edit, "", {98, 105, 186, 14}, "fileTypesEdit"},
    {1011,
     ControlKind::CheckBox,
     "Apply Command Line Parameters after ROM Filename",
     {98, 92, 186, 10},
     "paramsAfterRomCheck"},
    {-1, ControlKind::RightLabel, "Company Name:", {7, 9, 88, 14}, "nameLabel"},
    {1012, ControlKind::RightLabel, "System Description:", {7, 26, 88, 14}, "descriptionLabel"},
    {1013, ControlKind::RightLabel, "ROM Directory:", {7, 43, 88, 14}, "romDirectoryLabel"},
    {1014, ControlKind::RightLabel, "Emulation Executable:", {7, 59, 88, 14}, "emulatorLabel"},
    {1015, ControlKind::RightLabel, "Command Line Parameters:", {7, 76, 88, 14}, "commandLineLabel"},
    {1016, ControlKind::RightLabel, "Snapshot A Directory:", {7, 124, 88, 14}, "snapshotDirALabel"},
    {1017, ControlKind::RightLabel, "Snapshot B Directory:", {7, 141, 88, 14}, "snapshotDirBLabel"},
    {1030, ControlKind::RightLabel, "File Types:", {7, 107, 88, 14}, "fileTypesLabel"},
    {1018, ControlKind::RightLabel, "Default Snapshot:", {7, 157, 88, 14}, "defaultSnapshotLabel"},
    {1019, ControlKind::Label, "Display Icon:", {128, 193, 43, 8}, "iconLabel"},
    {1020, ControlKind::Label, "Browse for icon:", {212, 193, 54, 8}, "browseIconLabel"},
    {1021, ControlKind::BrowseButton, "...", {268, 41, 16, 15}, "browseRomDirectoryButton"},
    {1022, ControlKind::BrowseButton, "...", {268, 57, 16, 15}, "browseEmulatorButton"},
    {1023, ControlKind::BrowseButton, "...", {268, 122, 16, 15}, "browseSnapshotDirAButton"},
    {1024, ControlKind::BrowseButton, "...", {268, 139, 16, 15}, "browseSnapshotDirBButton"},
    {1026, ControlKind::BrowseButton, "...", {268, 156, 16, 15}, "browseDefaultSnapshotButton"},
    {1027, ControlKind::BrowseButton, "...", {268, 190, 16, 15}, "browseIconButton"},
    // What other front-ends' game lists the system has, and the choice of others.
    {1040, ControlKind::RightLabel, "Game Lists:", {7, 175, 88, 14}, "gameListsLabel"},
    {1041, ControlKind::GameLists, "", {98, 173, 186, 14}, "gameListsField"},
};

constexpr int kTabOrder[] = {
    SystemConfigDialog::IdName,
    SystemConfigDialog::IdPresets,
    SystemConfigDialog::IdDescription,
    SystemConfigDialog::IdRomDirectory,
    SystemConfigDialog::IdBrowseRomDirectory,
    SystemConfigDialog::IdEmulator,
    SystemConfigDialog::IdBrowseEmulator,
    SystemConfigDialog::IdCommandLine,
    SystemConfigDialog::IdParamsAfterRom,
    SystemConfigDialog::IdFileTypes,
    SystemConfigDialog::IdSnapshotDirA,
    SystemConfigDialog::IdBrowseSnapshotDirA,
    SystemConfigDialog::IdSnapshotDirB,
    SystemConfigDialog::IdBrowseSnapshotDirB,
    SystemConfigDialog::IdDefaultSnapshot,
    SystemConfigDialog::IdBrowseDefaultSnapshot,
    SystemConfigDialog::IdGameLists,
    SystemConfigDialog::IdBrowseIcon,
    SystemConfigDialog::IdEditCurrentEntry,
    SystemConfigDialog::IdSaveAsNewEntry,
    SystemConfigDialog::IdSave,
    SystemConfigDialog::IdCancel,
};

QString fromBytes(const std::string &text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

std::string toBytes(const QString &text)
{
    return QFile::encodeName(text).toStdString();
}

QWidget *makeControl(const ControlTemplate &control, QWidget *parent)
{
    const QString text = QString::fromLatin1(control.text);
    QWidget *widget = nullptr;
    switch (control.kind) {
    case ControlKind::DefaultButton:
    case ControlKind::Button:
    case ControlKind::BrowseButton: {
        auto *button = new QPushButton(text, parent);
        button->setDefault(control.kind == ControlKind::DefaultButton);
        widget = button;
        break;
    }
    case ControlKind::Radio:
        widget = new QRadioButton(text, parent);
        break;
    case ControlKind::Edit:
        widget = new QLineEdit(parent);
        break;
    case ControlKind::CheckBox:
        widget = new QCheckBox(text, parent);
        break;
    case ControlKind::GameLists:
        // Tab stops at its button, which carries the line's id.
        widget = new GameListsField(parent);
        widget->focusProxy()->setProperty("controlId", control.id);
        break;
    case ControlKind::Label:
    case ControlKind::RightLabel: {
        auto *label = new QLabel(text, parent);
        label->setAlignment((control.kind == ControlKind::RightLabel ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
        widget = label;
        break;
    }
    }
    widget->setObjectName(QString::fromLatin1(control.objectName));
    widget->setProperty("controlId", control.id);
    return widget;
}

// The picture formats the system list can draw, as file patterns; icon files first.
QString iconFilter()
{
    QStringList patterns{QStringLiteral("*.ico")};
    for (const QByteArray &format : QImageReader::supportedImageFormats()) {
        const QString pattern = QStringLiteral("*.") + QString::fromLatin1(format).toLower();
        if (!patterns.contains(pattern))
            patterns << pattern;
    }
    return QStringLiteral("Icon Files (%1)").arg(patterns.join(u' '));
}

} // namespace

SystemConfigDialog::SystemConfigDialog(const SystemEntry &entry, std::string defaultIcon, QWidget *owner)
    : QDialog(owner), openedEntry(entry), editedEntry(entry), defaultIconPath(std::move(defaultIcon))
{
    setWindowTitle(QStringLiteral("System Configuration"));
    createControls();
    OnInitDialog();
    loadIconPreview();
    // The first thing to type is the system's name.
    control(IdName)->setFocus(Qt::OtherFocusReason);
    openWideEnoughForPaths();
}

void SystemConfigDialog::openWideEnoughForPaths()
{
    int missing = 0;
    for (auto place = widens.cbegin(); place != widens.cend(); ++place) {
        const auto *edit = static_cast<const QLineEdit *>(place.key());
        const int wanted = edit->fontMetrics().horizontalAdvance(edit->text()) + 16;
        missing = std::max(missing, wanted - place.value().width());
    }
    const QScreen *shownOn = screen();
    const int widest = shownOn ? shownOn->availableGeometry().width() * kWidestScreenPercent / 100 : width();
    resize(std::clamp(width() + missing, minimumWidth(), std::max(widest, minimumWidth())), height());
    // A hidden dialog hears of its new size only once shown: the controls are placed now.
    placeForWidth();
}

void SystemConfigDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    placeForWidth();
}

void SystemConfigDialog::placeForWidth()
{
    const int extra = width() - minimumWidth();
    for (auto place = widens.cbegin(); place != widens.cend(); ++place)
        place.key()->setGeometry(place.value().adjusted(0, 0, extra, 0));
    for (auto place = follows.cbegin(); place != follows.cend(); ++place)
        place.key()->setGeometry(place.value().translated(extra, 0));
}

SystemConfigDialog::~SystemConfigDialog() = default;

void SystemConfigDialog::createControls()
{
    DialogTemplate layout(*this, kWidthUnits, kHeightUnits);
    // Wider, never narrower or taller than the template: the paths get the room.
    setMinimumSize(size());
    setMaximumSize(QWIDGETSIZE_MAX, height());
    for (const ControlTemplate &control : kControls) {
        QWidget *widget = makeControl(control, this);
        layout.place(widget, control.rect);
        controls.insert(control.id, widget);
        // The edits grow with the dialog; what stands to their right (the "..." buttons and
        // "Presets...") moves with it. The bottom row stays where the template has it.
        if (control.kind == ControlKind::Edit)
            widens.insert(widget, widget->geometry());
        else if (control.rect.x >= kPresetsX && control.rect.y < kIconPreviewY)
            follows.insert(widget, widget->geometry());
    }
    // Tab goes down the fields as they stand, each followed by its "..." button, then to the
    // choice of entry and the two buttons.
    QWidget *previous = nullptr;
    for (const int id : kTabOrder) {
        // A line of several widgets takes the focus at the one it names as its proxy.
        QWidget *next = control(id)->focusProxy() ? control(id)->focusProxy() : control(id);
        if (previous)
            setTabOrder(previous, next);
        previous = next;
    }
    previewRect = QRect(layout.toPixels(marlit::LayoutRect{kIconPreviewX, kIconPreviewY, 0, 0}).topLeft(),
                        QSize(kIconSize, kIconSize));

    entryChoice = new QButtonGroup(this);
    entryChoice->addButton(qobject_cast<QRadioButton *>(control(IdEditCurrentEntry)), IdEditCurrentEntry);
    entryChoice->addButton(qobject_cast<QRadioButton *>(control(IdSaveAsNewEntry)), IdSaveAsNewEntry);
    connect(entryChoice, &QButtonGroup::idClicked, this, [this](int id) { saveAsNew = id == IdSaveAsNewEntry; });

    connect(qobject_cast<QPushButton *>(control(IdSave)), &QPushButton::clicked, this, &QDialog::accept);
    connect(qobject_cast<QPushButton *>(control(IdCancel)), &QPushButton::clicked, this, &QDialog::reject);
    const auto onClick = [this](int id, auto handler) {
        connect(qobject_cast<QPushButton *>(control(id)), &QPushButton::clicked, this, handler);
    };
    onClick(IdBrowseRomDirectory, [this] { browseFolder(&SystemEntry::romDirectory, IdRomDirectory); });
    onClick(IdBrowseSnapshotDirA, [this] { browseFolder(&SystemEntry::snapshotDirA, IdSnapshotDirA); });
    onClick(IdBrowseSnapshotDirB, [this] { browseFolder(&SystemEntry::snapshotDirB, IdSnapshotDirB); });
    onClick(IdBrowseEmulator, [this] { OnBrowseEmulator(); });
    onClick(IdBrowseDefaultSnapshot, [this] { OnBrowseDefaultSnapshot(); });
    onClick(IdBrowseIcon, [this] { OnBrowseIcon(); });

    presets = new PresetMenu(this);
    qobject_cast<QPushButton *>(control(IdPresets))->setMenu(presets);
    connect(presets, &PresetMenu::chosen, this, &SystemConfigDialog::applyPreset);
}

void SystemConfigDialog::setPresets(std::vector<marlit::SystemPreset> systems, bool searching,
                                    std::vector<std::string> unanswered)
{
    presets->setSystems(std::move(systems), searching, std::move(unanswered));
}

void SystemConfigDialog::applyPreset(const marlit::SystemPreset &system)
{
    system.storeInto(editedEntry);
    // A system without an icon gets the one drawn for its kind, beside the workspace's default.
    if (editedEntry.iconPath.empty()) {
        editedEntry.iconPath =
            PresetIcons::fileFor(system.category, marlit::splitAfterLastSeparator(defaultIconPath).folder);
        loadIconPreview();
        update();
    }
    const marlit::SystemConfigFields fields = marlit::SystemConfigFields::fromEntry(editedEntry);
    setEditText(IdName, fields.name);
    setEditText(IdDescription, fields.description);
    setEditText(IdEmulator, fields.emulatorPath);
    setEditText(IdCommandLine, fields.commandLine);
    qobject_cast<QCheckBox *>(control(IdParamsAfterRom))->setChecked(fields.paramsAfterRom);
    // What to pick next, and what it should hold.
    QStringList extensions;
    for (const std::string &extension : system.extensions)
        extensions << QStringLiteral("*.") + QString::fromStdString(extension);
    auto *romDirectory = qobject_cast<QLineEdit *>(control(IdRomDirectory));
    romDirectory->setPlaceholderText(extensions.isEmpty() ? tr("the folder of its ROM files")
                                                          : tr("a folder of %1 files").arg(extensions.join(u' ')));
    romDirectory->setToolTip(romDirectory->placeholderText());
    // The emulator's files, unless the user typed others.
    if (editText(IdFileTypes) == shownTexts.value(IdFileTypes))
        setEditText(IdFileTypes, extensions.join(u' ').toStdString());
}

void SystemConfigDialog::setFileTypes(const std::string &known)
{
    setEditText(IdFileTypes, known);
}

GameListsField *SystemConfigDialog::gameListsField() const
{
    return qobject_cast<GameListsField *>(control(IdGameLists));
}

void SystemConfigDialog::setGameListsFound(const QString &found)
{
    gameListsField()->setFound(found);
}

void SystemConfigDialog::OnInitDialog()
{
    gameListsField()->setChoice(marlit::GameListChoice::of(editedEntry));
    showFields(marlit::SystemConfigFields::fromEntry(editedEntry));
    entryChoice->button(saveAsNew ? IdSaveAsNewEntry : IdEditCurrentEntry)->setChecked(true);
}

void SystemConfigDialog::showFields(const marlit::SystemConfigFields &fields)
{
    setEditText(IdName, fields.name);
    setEditText(IdDescription, fields.description);
    setEditText(IdRomDirectory, fields.romDirectory);
    setEditText(IdEmulator, fields.emulatorPath);
    setEditText(IdCommandLine, fields.commandLine);
    setEditText(IdSnapshotDirA, fields.snapshotDirA);
    setEditText(IdSnapshotDirB, fields.snapshotDirB);
    setEditText(IdDefaultSnapshot, fields.defaultSnapshot);
    qobject_cast<QCheckBox *>(control(IdParamsAfterRom))->setChecked(fields.paramsAfterRom);
}

void SystemConfigDialog::offerNewEntryOnly()
{
    saveAsNew = true;
    entryChoice->button(IdSaveAsNewEntry)->setChecked(true);
    control(IdEditCurrentEntry)->setEnabled(false);
}

void SystemConfigDialog::accept()
{
    typedFields().storeInto(editedEntry);
    gameListsField()->choice().storeInto(editedEntry);
    // Types left as shown stay what they were: the emulator's, which follow a better table later.
    if (const std::string types = editText(IdFileTypes); types != shownTexts.value(IdFileTypes))
        editedEntry.values.set(marlit::SystemFileTypes::kKey, types);
    if (storeEdits && !storeEdits(editedEntry, saveAsNew))
        return;
    QDialog::accept();
}

void SystemConfigDialog::showOver(const SystemEntry &onDisk)
{
    const marlit::SystemConfigFields kept =
        marlit::SystemConfigFields::keepingEdits(marlit::SystemConfigFields::fromEntry(openedEntry), typedFields(),
                                                 marlit::SystemConfigFields::fromEntry(onDisk));
    SystemEntry entry = onDisk;
    if (editedEntry.iconPath != openedEntry.iconPath)
        entry.iconPath = editedEntry.iconPath;
    kept.storeInto(entry);
    // The next refusal compares with the file as it is now: what the user typed stays theirs.
    openedEntry = onDisk;
    editedEntry = entry;
    showFields(kept);
    loadIconPreview();
    update();
}

marlit::SystemConfigFields SystemConfigDialog::typedFields() const
{
    marlit::SystemConfigFields fields;
    fields.name = editText(IdName);
    fields.description = editText(IdDescription);
    fields.romDirectory = editText(IdRomDirectory);
    fields.emulatorPath = editText(IdEmulator);
    fields.commandLine = editText(IdCommandLine);
    fields.paramsAfterRom = qobject_cast<QCheckBox *>(control(IdParamsAfterRom))->isChecked();
    fields.snapshotDirA = editText(IdSnapshotDirA);
    fields.snapshotDirB = editText(IdSnapshotDirB);
    fields.defaultSnapshot = editText(IdDefaultSnapshot);
    return fields;
}

void SystemConfigDialog::setEditText(int id, const std::string &text)
{
    auto *edit = qobject_cast<QLineEdit *>(control(id));
    const bool tooLong = text.size() > kEditableBytes;
    // Its beginning only (a character cut at the end shows as one replacement mark).
    const QString shown = tooLong ? fromBytes(text.substr(0, kShownBytes)) + QChar(0x2026) : fromBytes(text);
    edit->setMaxLength(std::max<int>(kPathMaxLength, static_cast<int>(shown.size())));
    edit->setText(shown);
    edit->setReadOnly(tooLong);
    edit->setToolTip(tooLong ? tr("This value is too long to edit here (%1 bytes); it is kept as it is.")
                                   .arg(static_cast<qulonglong>(text.size()))
                             : QString());
    shownTexts.insert(id, text);
}

std::string SystemConfigDialog::editText(int id) const
{
    const auto *edit = qobject_cast<const QLineEdit *>(control(id));
    const std::string &shown = shownTexts.value(id);
    if (edit->isReadOnly())
        return shown;
    return edit->text() == fromBytes(shown) ? shown : toBytes(edit->text());
}

// ---- Pickers ------------------------------------------------------------------------------

void SystemConfigDialog::browseFolder(std::string SystemEntry::*field, int editId)
{
    // The picker opens on the folder the field holds, not on what is typed in the edit; an
    // empty field opens it at the user's home folder, where their collections usually are.
    const std::string &current = editedEntry.*field;
    FolderBrowser browser(current.empty() ? toBytes(QDir::homePath()) : current, this, otherFolders);
    if (browser.Browse() != FolderBrowser::FolderChosen)
        return;
    editedEntry.*field = browser.GetPath();
    setEditText(editId, editedEntry.*field);
}

std::optional<std::string> SystemConfigDialog::pickFile(const QString &title, const std::string &startFolder,
                                                        const QString &filter)
{
    // Qt's own file dialog: its name filters ignore the letter case, as the pickers need.
    QFileDialog picker(this, title, fromBytes(startFolder), filter);
    picker.setObjectName(QStringLiteral("filePicker"));
    picker.setOption(QFileDialog::DontUseNativeDialog);
    picker.setFileMode(QFileDialog::ExistingFile);
    picker.setAcceptMode(QFileDialog::AcceptOpen);
    if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty())
        return std::nullopt;
    return toBytes(picker.selectedFiles().constFirst());
}

void SystemConfigDialog::OnBrowseEmulator()
{
    // Programs here have no extension to filter by. Without a folder of the emulator's, the
    // picker starts where installed programs are.
    const std::optional<std::string> path =
        pickFile(QStringLiteral("Select an Emulator"),
                 editedEntry.emulatorDirectory.empty() ? std::string(kProgramsFolder) : editedEntry.emulatorDirectory,
                 QStringLiteral("All Files (*)"));
    if (!path)
        return;
    marlit::PathSplit parts = marlit::splitAfterLastSeparator(*path);
    editedEntry.emulatorDirectory = std::move(parts.folder);
    editedEntry.emulatorFile = std::move(parts.name);
    setEditText(IdEmulator, *path);
}

void SystemConfigDialog::OnBrowseDefaultSnapshot()
{
    const std::optional<std::string> path =
        pickFile(QStringLiteral("Select a Default Snapshot"),
                 marlit::splitAfterLastSeparator(editedEntry.defaultSnapshot).folder,
                 QStringLiteral("Snapshot Files (*.bmp *.gif *.jpg *.jpeg *.png)"));
    if (!path)
        return;
    editedEntry.defaultSnapshot = *path;
    setEditText(IdDefaultSnapshot, *path);
}

void SystemConfigDialog::OnBrowseIcon()
{
    const std::optional<std::string> path =
        pickFile(QStringLiteral("Select a Display Icon"), marlit::splitAfterLastSeparator(editedEntry.iconPath).folder,
                 iconFilter());
    if (!path)
        return;
    editedEntry.iconPath = *path;
    loadIconPreview();
    update();
}

// ---- Icon preview -------------------------------------------------------------------------

void SystemConfigDialog::loadIconPreview()
{
    // As in the system list: an icon file that is missing or unreadable shows the default icon.
    if (!editedEntry.iconPath.empty())
        iconPreview = IconImage::read(editedEntry.iconPath, kIconSize, devicePixelRatioF());
    if (editedEntry.iconPath.empty() || iconPreview.isNull())
        iconPreview = IconImage::read(defaultIconPath, kIconSize, devicePixelRatioF());
}

void SystemConfigDialog::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    if (iconPreview.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(previewRect.topLeft(), iconPreview);
}

// Compiled here so that programs using other widgets do not pull in the whole dialog.
#include "moc_SystemConfigDialog.cpp"
