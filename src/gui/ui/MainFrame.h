#pragma once

#include "core/app/SettingsFile.h"
#include "core/browse/RomNames.h"
#include "core/browse/RomSearch.h"
#include "core/catalogue/CategoryCatalogue.h"
#include "core/fs/FileStamp.h"
#include "core/ui/SnapshotLayout.h"
#include "gui/catalogue/FirstStartOffer.h"
#include "gui/snapshots/SnapshotImage.h"
#include "gui/ui/BrowsingSession.h"

#include <QFont>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class CatalogueWatch;
class EmulatorFinder;
class EmulatorStarter;
class GameListPresenter;
class HistoryPresenter;
class HistoryViews;
class PlayHistory;
struct FolderAnswer;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;
class RomFolderReader;
class RomFolderTree;
class RomListBox;
class SnapshotLoader;
class SystemConfigDialog;
class SystemListBox;

// The program's one window: the category tabs, the system list and the folder tree on the left;
// the buttons, the ROM list, the search row and the snapshot pictures on the right. It owns the
// catalogue of the active category and every value the handlers share.
class MainFrame : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMinimumWidth = 640;
    static constexpr int kMinimumHeight = 480;

    // Works in workFolder ("" for the working directory): reads "marlit.cfg" there, creates
    // every control (each has an object name after its member), makes sure the catalogue files
    // exist there and selects the remembered (or first) category and system. The window is not
    // shown yet.
    explicit MainFrame(std::string workFolder = {}, QWidget *parent = nullptr);
    ~MainFrame() override;

    // Tells the user that a catalogue file could not be written; replaceable for tests.
    using WriteFailureReport = std::function<void(QWidget *parent, const QString &file, const QString &reason)>;
    void setWriteFailureReport(WriteFailureReport report) { reportWriteFailure = std::move(report); }
    // Tells the user that a change was not saved because another program had changed the
    // catalogue file (text names the file); replaceable for tests.
    using ChangedFileReport = std::function<void(QWidget *parent, const QString &text)>;
    void setChangedFileReport(ChangedFileReport report) { reportChangedFile = std::move(report); }

    int currentSystemIndex() const { return browsing->state().system(); }

    // Adds a copy of entry as the last system and highlights it; the views follow it.
    void AppendEntry(const marlit::SystemEntry &entry);
    // Writes each chosen system to its tab's catalogue in place of the blank record, then shows
    // the first of them.
    void addSystems(const std::vector<FirstStartOffer::Choice> &choices);

    void SetRomListFont(const QString &face, int pointSizeTenths, std::uint32_t color);

    // Read access for tests and the layout.
    const marlit::CategoryCatalogue &systems() const { return catalogue; }
    int category() const { return browsing->state().category(); }
    const std::string &currentRomFolder() const { return browsing->state().romFolder(); }
    const marlit::RomSearch &romSearch() const { return browsing->state().search(); }
    BrowsingSession &browsingSession() const { return *browsing; }
    const marlit::SnapshotGeometry &snapshotGeometry() const { return geometry; }
    const std::optional<SnapshotImage> &snapshot(int slot) const { return slot == 0 ? snapshotA : snapshotB; }
    const marlit::AppSettings &options() const { return settings; }
    SnapshotLoader &snapshotLoader() const { return *loader; }
    RomFolderReader &romFolderReader() const { return *folderReader; }
    EmulatorStarter &emulatorStarter() const { return *starter; }
    EmulatorFinder &emulatorFinder() const { return *finder; }
    PlayHistory &playHistory() const { return *history; }
    GameListPresenter &gameListPresenter() const { return *gameLists; }

    // Writes "marlit.cfg" (once; a second call does nothing).
    void writeSettings();

    // For the other views of the browsing (the TV view): the window shows what they choose.
    // The system at row of category's tab; a view of the system (Folder: its ROM directory);
    // a search text applied ("" clears it).
    void showSystem(int category, int row);
    void showView(marlit::BrowseView view);
    void applySearch(const QString &text);
    // While another view covers the window, its pictures are neither looked for nor decoded;
    // they are again, for the ROM then chosen, when it shows again.
    void pausePictures(bool paused);
    RomListBox &romListBox() const { return *romList; }
    const std::string &workspace() const { return workFolder; }

signals:
    // "TV Mode" chosen in the system list's menu.
    void tvModeRequested();

public slots:
    void OnSelChangeCategory();
    void OnSelChangeSystem();
    void OnSetup();
    // "Add System...": System Configuration on a blank system, saved as a new one.
    void OnAddSystem();
    void OnLaunchEmulator();
    void ApplyListOperation(marlit::ListOperation operation);
    void OnSelChangedFolder();
    void OnSelChangeRom();
    void OnPlay();
    void OnConfig();
    void OnSearchMode();
    void OnApplyClear();
    void OnSearchReturn();

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void OnCreate();
    void OnSize(int width, int height);
    void LayoutSnapshots();
    void FillRomList(const std::string &folder);
    // The search row shows the search as it is now, and the list is filled with it.
    void showSearch();
    void onTreeRead(const std::shared_ptr<FolderAnswer> &answer, bool refresh);
    void onListRead(const std::shared_ptr<FolderAnswer> &answer, bool refresh);
    // The ROM list's rows, as a listing gives them: in place of those shown, or kept selected
    // where a refresh still has the selected ROM.
    void showNames(marlit::RomNames names, bool refresh);
    // The shown system's game lists arrived or the order changed: layout, rows and pictures follow.
    void onGamesChanged(bool sortChanged);
    // The slot's picture from the game lists' media, where the system's own folders give none.
    void requestGamePicture(int slot, const marlit::SystemEntry &entry, const std::string &romName);
    void LoadCatalogue(const char *fileName);
    // Writes changed only while the file is still in the state readFrom (nothing: no file).
    marlit::WriteResult SaveCatalogue(const char *fileName, const marlit::CategoryCatalogue &changed,
                                      const std::optional<marlit::FileStamp> &readFrom);
    // Tells the user why a change to the file was not written, when it was not.
    void reportUnsaved(const char *fileName, const marlit::WriteResult &result);
    // Writes a changed catalogue and reads it back; rowAfter is the row to highlight once it is
    // written. Unwritten, the highlight stays on the system it was on, and the user is told why.
    // True when the file was written.
    bool storeListChange(const marlit::CategoryCatalogue &changed, int rowAfter);
    void runSystemConfig(const marlit::SystemEntry *entry);
    bool storeSetup(SystemConfigDialog &dialog, const marlit::SystemEntry &edited, bool asNew);
    // Reads the file again and shows it: the highlight goes to rowAfter when given, else stays
    // on its system wherever the file now has it. The views follow when the highlighted record
    // is not the one they show.
    void reloadCatalogue(const char *fileName, std::optional<int> rowAfter);
    // The shown catalogue's file was changed by another program.
    void followCatalogueOnDisk();
    std::string workFile(const char *name) const { return workFolder + name; }
    void onEmulatorsFound();
    void offerEmulatorsFound();
    std::vector<std::string> fileTypesOf(const marlit::SystemEntry &entry) const;
    // Says in the launch notice that the system has no emulator, when it has none.
    bool sayIfNoEmulator(const marlit::SystemEntry &entry);
    void requestDefaultSnapshot();
    void onSnapshotReady(int slot, const SnapshotImage &image);
    QRect snapshotAreaRect() const;
    const marlit::SystemEntry *selectedEntry() const { return catalogue.entryAt(browsing->state().system()); }
    // The size a picture is decoded for: its slot's cell.
    QSize cellSize(int slot) const;
    // Empties both slots and drops every pending decode, prefetches included.
    void clearSnapshots();
    bool showsSnapshots() const { return settings.snapshotMode != marlit::NoSnapshots; }
    bool looksForPictures() const { return showsSnapshots() && !picturesPaused; }

    // Controls, owned by the window as their parent.
    SystemListBox *systemList = nullptr;
    RomListBox *romList = nullptr;
    RomFolderTree *folderTree = nullptr;
    QTabBar *categoryTabs = nullptr;
    QPushButton *playButton = nullptr;
    QPushButton *setupButton = nullptr;
    QPushButton *configButton = nullptr;
    QPushButton *filterModeButton = nullptr;
    QLineEdit *searchEdit = nullptr;
    QPushButton *applyButton = nullptr;
    QFont tabFont;
    QLabel *categoryLabel = nullptr;

    const std::string workFolder; // "" or ending with the separator
    WriteFailureReport reportWriteFailure;
    ChangedFileReport reportChangedFile;
    marlit::CategoryCatalogue catalogue;
    std::optional<marlit::FileStamp> catalogueStamp; // the state of the file it was read from
    CatalogueWatch *catalogueWatch = nullptr;
    marlit::AppSettings settings;
    bool creating = true;
    bool settingsWritten = false;
    bool picturesPaused = false;
    int fontPointSize = 120;
    std::uint32_t fontColor = 0;
    QString fontFace = QStringLiteral("Arial");
    std::string storedFontFace; // the face's bytes as marlit.cfg held them

    std::optional<SnapshotImage> snapshotB;
    std::optional<SnapshotImage> snapshotA;
    marlit::SnapshotGeometry geometry;
    RomFolderReader *folderReader = nullptr;
    SnapshotLoader *loader = nullptr;
    EmulatorStarter *starter = nullptr;
    EmulatorFinder *finder = nullptr;
    PlayHistory *history = nullptr;
    HistoryPresenter *historyPresenter = nullptr;
    HistoryViews *historyViews = nullptr;
    BrowsingSession *browsing = nullptr; // what is browsed, shared with every view of it
    GameListPresenter *gameLists = nullptr;
    SystemConfigDialog *openSetup = nullptr; // while "Setup" runs, for the presets found meanwhile
};
