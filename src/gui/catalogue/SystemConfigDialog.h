#pragma once

#include "core/catalogue/SystemConfigFields.h"
#include "core/catalogue/SystemEntry.h"
#include "core/catalogue/SystemPreset.h"

#include <QDialog>
#include <QHash>
#include <QImage>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class GameListsField;
class QLineEdit;
class PresetMenu;

// "System Configuration": edits a copy of one system. "Save" stores the edits in the copy and
// closes with Accepted; whether the copy replaces the system or is added as a new one is the
// radio buttons' choice, which the window reads afterwards. "Cancel", Escape and the close box
// close with Rejected. Folder fields are picked with FolderBrowser, the emulator, the default
// snapshot and the icon with a file picker; the icon is shown as a 32 x 32 preview. "Presets..."
// fills the name, description, emulator and parameters from a known emulator.
class SystemConfigDialog : public QDialog
{
    Q_OBJECT

public:
    // The controls' ids; each control carries its id in the "controlId" property.
    enum ControlId : int {
        IdSave = 1,
        IdCancel = 2,
        IdEditCurrentEntry = 1001,
        IdSaveAsNewEntry = 1002,
        IdName = 1003,
        IdDescription = 1004,
        IdRomDirectory = 1005,
        IdEmulator = 1006,
        IdCommandLine = 1007,
        IdSnapshotDirA = 1008,
        IdSnapshotDirB = 1009,
        IdDefaultSnapshot = 1010,
        IdParamsAfterRom = 1011,
        IdBrowseRomDirectory = 1021,
        IdBrowseEmulator = 1022,
        IdBrowseSnapshotDirA = 1023,
        IdBrowseSnapshotDirB = 1024,
        IdBrowseDefaultSnapshot = 1026,
        IdBrowseIcon = 1027,
        IdPresets = 1028,
        IdFileTypes = 1029,
        IdGameLists = 1041,
    };

    // The dialog's size and the icon preview's place, in dialog units.
    static constexpr int kWidthUnits = 300;
    static constexpr int kHeightUnits = 233;
    static constexpr int kIconPreviewX = 180;
    static constexpr int kIconPreviewY = 191;
    static constexpr int kIconSize = 32;
    static constexpr int kPresetsX = 232; // where "Presets..." and the "..." buttons start

    // entry: the system to edit; defaultIcon: the icon file shown when the entry names none.
    SystemConfigDialog(const marlit::SystemEntry &entry, std::string defaultIcon, QWidget *owner = nullptr);
    ~SystemConfigDialog() override;

    // The edited copy: after "Save", the values as the user left them.
    const marlit::SystemEntry &edited() const { return editedEntry; }
    // True when "Save as New Entry" is chosen.
    bool savesAsNew() const { return saveAsNew; }
    // Chooses "Save as New Entry" and greys "Edit Current Entry": for a category without
    // systems, where there is no entry to edit.
    void offerNewEntryOnly();

    QWidget *control(int id) const { return controls.value(id); }
    // The "Game Lists:" line, and what the window found for the system it edits.
    GameListsField *gameListsField() const;
    void setGameListsFound(const QString &found);

    // Asked by "Save" with the edited copy and the radio buttons' choice; true once it is stored.
    // When it is not (the file changed meanwhile), the dialog stays open with what was typed.
    using Store = std::function<bool(const marlit::SystemEntry &edited, bool asNew)>;
    void setStore(Store store) { storeEdits = std::move(store); }
    // After a refused save: the system as its file now holds it, under the user's changes. The
    // fields the user changed keep their values; the others show the file's.
    void showOver(const marlit::SystemEntry &onDisk);
    // Shows the system's game file types ("File Types:"), as they are in force for it now.
    void setFileTypes(const std::string &known);

    // The known systems "Presets..." offers (installed ones first); searching: a search for them
    // is under way.
    // unanswered: folders of PATH passed over because they did not answer.
    void setPresets(std::vector<marlit::SystemPreset> systems, bool searching,
                    std::vector<std::string> unanswered = {});
    PresetMenu *presetMenu() const { return presets; }
    // Fills the name, description, emulator, parameters and the "after ROM" box from system, and
    // says beside the ROM folder which files it takes; the ROM folder is left to the user.
    void applyPreset(const marlit::SystemPreset &system);
    // The other systems' ROM folders, offered as places by the folder picker.
    void setOtherFolders(std::vector<std::string> folders) { otherFolders = std::move(folders); }
    // Where the icon preview is drawn, in client pixels.
    QRect iconPreviewRect() const { return previewRect; }

public slots:
    // "Save": reads every edit into the copy, then closes with Accepted.
    void accept() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createControls();
    void openWideEnoughForPaths();
    void placeForWidth();
    void OnInitDialog();
    void browseFolder(std::string marlit::SystemEntry::*field, int editId);
    void OnBrowseEmulator();
    void OnBrowseDefaultSnapshot();
    void OnBrowseIcon();
    std::optional<std::string> pickFile(const QString &title, const std::string &startFolder, const QString &filter);
    void loadIconPreview();
    marlit::SystemConfigFields typedFields() const;
    void showFields(const marlit::SystemConfigFields &fields);

    // Shows text (its bytes) in an edit whose length limit never cuts it.
    void setEditText(int id, const std::string &text);
    // The edit's text as bytes: the bytes it was given while the user has not changed it, so
    // a name that is not valid in the locale's encoding is stored as it was read.
    std::string editText(int id) const;

    marlit::SystemEntry openedEntry; // what the fields started from
    marlit::SystemEntry editedEntry;
    bool saveAsNew = false;
    Store storeEdits;
    std::vector<std::string> otherFolders;
    std::string defaultIconPath;
    QImage iconPreview;
    QRect previewRect;

    QHash<int, QWidget *> controls;
    QHash<int, std::string> shownTexts;
    QHash<QWidget *, QRect> widens; // at the template's width
    QHash<QWidget *, QRect> follows;
    QButtonGroup *entryChoice = nullptr;
    PresetMenu *presets = nullptr;
};
