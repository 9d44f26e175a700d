#pragma once

#include "core/app/SettingsFile.h"
#include "core/browse/RomListing.h"
#include "core/catalogue/CategoryCatalogue.h"
#include "gui/snapshots/SnapshotImage.h"
#include "core/ui/SnapshotLayout.h"
#include "gui/ui/SystemListBox.h"

#include <QFont>
#include <QWidget>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;
class RomFolderTree;
class RomListBox;
class SnapshotLoader;

// The program's one window: the category tabs, the system list and the folder tree on the left;
// the buttons, the ROM list, the search row and the snapshot pictures on the right. It owns the
// catalogue of the active category and every value the handlers share.
class MainFrame : public QWidget, public SystemListHost
{
    Q_OBJECT

public:
    // The controls' ids; each control also carries its id in the "controlId" property and has an
    // object name after its member.
    enum ControlId : int {
        IdSystemList = 100,
        IdFolderTree = 101,
        IdRomList = 102,
        IdCategoryTabs = 200,
        IdPlayButton = 201,
        IdSetupButton = 202,
        IdConfigButton = 203,
        IdFilterModeButton = 204,
        IdApplyButton = 205,
        IdSearchEdit = 210,
        IdCategoryLabel = 0xFFFF,
    };

    static constexpr int kMinimumWidth = 640;
    static constexpr int kMinimumHeight = 480;

    // Reads "marlit.cfg" from the working directory, creates every control, makes sure the
    // catalogue files exist and selects the remembered (or first) category and system. The
    // window is not shown yet.
    explicit MainFrame(QWidget *parent = nullptr);
    ~MainFrame() override;

    // SystemListHost
    int currentSystemIndex() const override { return currentSystem; }
    int lastSystemIndex() const override { return catalogue.lastIndex(); }
    void OnSelChangeSystem() override;
    void OnSetup() override;
    void OnLaunchEmulator() override;
    void ApplyListOperation(int operation) override;

    // Adds a copy of entry after the last system and moves the selected system one place down.
    void AppendEntry(const marlit::SystemEntry &entry);

    void SetRomListFont(const QString &face, int pointSizeTenths, std::uint32_t color);

    // Read access for tests and the layout.
    const marlit::CategoryCatalogue &systems() const { return catalogue; }
    int category() const { return currentCategory; }
    const std::string &currentRomFolder() const { return romFolder; }
    const std::string &currentSearchText() const { return searchText; }
    bool isSearchApplied() const { return searchApplied; }
    marlit::FilterMode currentFilterMode() const { return filterMode; }
    const marlit::SnapshotGeometry &snapshotGeometry() const { return geometry; }
    const std::optional<SnapshotImage> &snapshot(int slot) const { return slot == 0 ? snapshotA : snapshotB; }
    const marlit::AppSettings &options() const { return settings; }
    SnapshotLoader &snapshotLoader() const { return *loader; }

    // Writes "marlit.cfg" (once; a second call does nothing).
    void writeSettings();

public slots:
    void OnSelChangeCategory();
    void OnSelChangedFolder();
    void OnSelChangeRom();
    void OnPlay();
    void OnConfig();
    void OnSearchMode();
    void OnApplyClear();

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
    void LoadCatalogue(const char *fileName);
    marlit::WriteResult SaveCatalogue(const char *fileName, const marlit::CategoryCatalogue &changed);
    void storeListChange(marlit::CategoryCatalogue changed, int operation);
    void requestDefaultSnapshot();
    void onSnapshotReady(int slot, const SnapshotImage &image);
    QRect snapshotAreaRect() const;
    const marlit::SystemEntry *selectedEntry() const { return catalogue.entryAt(currentSystem); }

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

    std::string romRoot;
    std::string romFolder;
    std::string searchText = ".";
    marlit::CategoryCatalogue catalogue;
    marlit::AppSettings settings;
    int currentCategory = 0;
    int currentSystem = 0;
    marlit::FilterMode filterMode = marlit::FilterMode::SearchFor;
    bool searchApplied = false;
    bool creating = true;
    bool settingsWritten = false;
    int fontPointSize = 120;
    std::uint32_t fontColor = 0;
    QString fontFace = QStringLiteral("Arial");

    std::optional<SnapshotImage> snapshotB;
    std::optional<SnapshotImage> snapshotA;
    marlit::SnapshotGeometry geometry;
    SnapshotLoader *loader = nullptr;
};
