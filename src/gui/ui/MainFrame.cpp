#include "gui/ui/MainFrame.h"

#include "core/catalogue/CatalogueFile.h"
#include "core/catalogue/CategoryTable.h"
#include "core/catalogue/NewWorkspace.h"
#include "core/catalogue/SystemFileTypes.h"
#include "core/fs/Paths.h"
#include "core/fs/WorkingDirectory.h"
#include "core/launch/CommandLine.h"
#include "core/ui/BesidePlacement.h"
#include "core/ui/GameListLayout.h"
#include "core/ui/WindowLayout.h"
#include "core/ui/WindowStartSize.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/browse/RomFolderTree.h"
#include "gui/catalogue/CatalogueWatch.h"
#include "gui/catalogue/EmulatorFinder.h"
#include "gui/catalogue/PresetIcons.h"
#include "gui/catalogue/SystemConfigDialog.h"
#include "gui/history/PlayHistory.h"
#include "gui/launch/EmulatorStarter.h"
#include "gui/launch/LaunchNotice.h"
#include "gui/metadata/GameDetailsPanel.h"
#include "gui/snapshots/SnapshotLoader.h"
#include "gui/text/BoundedText.h"
#include "gui/ui/CategoryTabBar.h"
#include "gui/ui/ColorRef.h"
#include "gui/ui/GameListPresenter.h"
#include "gui/ui/HistoryPresenter.h"
#include "gui/ui/HistoryViews.h"
#include "gui/ui/OptionsDialog.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"
#include "gui/ui/SystemListBox.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTabBar>
#include <QToolTip>

#include <algorithm>

using marlit::CategoryCatalogue;
using marlit::SnapshotLayout;
using marlit::SystemEntry;

namespace {

// What a window manager adds around the client area at most, caption and borders, before the
// window is shown and its frame known.
constexpr marlit::PixelSize kFrameAllowance{16, 48};

constexpr int kSlotA = SnapshotLayout::kSlotA;
constexpr int kSlotB = SnapshotLayout::kSlotB;

void warnWriteFailure(QWidget *parent, const QString &file, const QString &reason)
{
    QMessageBox::warning(parent, QStringLiteral("Marlit"),
                         QStringLiteral("The catalogue file \"%1\" could not be written: %2.\n\n"
                                        "The systems are shown as the file holds them.")
                             .arg(file, reason));
}

void warnChangedFile(QWidget *parent, const QString &text)
{
    QMessageBox::warning(parent, QStringLiteral("Marlit"), text);
}

QString changedFileText(const char *file)
{
    return QStringLiteral("The catalogue file \"%1\" was changed by another program. Your change was not saved; "
                          "the systems are shown as the file now holds them.")
        .arg(QFile::decodeName(QByteArray(file)));
}

QRect toQRect(const marlit::LayoutRect &rect)
{
    return QRect(rect.x, rect.y, rect.width, rect.height);
}

// Rectangles at creation are given by their edges; the layout moves most controls at once.
void placeByEdges(QWidget *widget, int left, int top, int right, int bottom)
{
    widget->setGeometry(left, top, right - left, bottom - top);
}

template <typename Widget> Widget *makeControl(QWidget *parent, const char *objectName)
{
    auto *widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

} // namespace

MainFrame::MainFrame(std::string folder, QWidget *parent)
    : QWidget(parent), workFolder(marlit::withTrailingSeparator(std::move(folder))),
      reportWriteFailure(warnWriteFailure), reportChangedFile(warnChangedFile)
{
    setWindowTitle(QStringLiteral("Marlit"));
    // The remembered options, font, selection and client size.
    const std::optional<marlit::SettingsRecord> stored =
        marlit::SettingsFile::load(workFile(marlit::SettingsFile::kFileName));
    const marlit::SettingsRecord start = marlit::SettingsFile::startupValues(stored);
    settings = start.settings;
    fontPointSize = start.fontPointSize;
    fontColor = start.fontColor;
    fontFace = QString::fromLocal8Bit(start.fontFace);
    storedFontFace = start.fontFace;
    // The file keeps the client size, so it is applied as the client size: the window no longer
    // shrinks by its frame at every start. It is fitted to the screen the window opens on.
    const QRect available = screen()->availableGeometry();
    const marlit::WindowStartSize size = marlit::WindowStartSize::choose(
        stored && stored->settings.rememberWindowSize ? std::optional(marlit::PixelSize{start.width, start.height})
                                                      : std::nullopt,
        {available.width(), available.height()}, kFrameAllowance, {kMinimumWidth, kMinimumHeight});
    setMinimumSize(size.minimum.width, size.minimum.height);
    resize(size.client.width, size.client.height);

    // Made before the loader's threads exist: it forks the process its folder readers come from.
    folderReader = new RomFolderReader(this);
    loader = new SnapshotLoader(workFolder, this);
    connect(loader, &SnapshotLoader::snapshotReady, this, &MainFrame::onSnapshotReady);
    // Opened on its own thread: the window never waits for the database.
    history = new PlayHistory(workFolder, this);

    catalogueWatch = new CatalogueWatch(this);
    catalogueWatch->setObjectName(QStringLiteral("catalogueWatch"));
    connect(catalogueWatch, &CatalogueWatch::changedOnDisk, this, &MainFrame::followCatalogueOnDisk);

    OnCreate();
    // The remembered category and system are shown, or the first where they are gone.
    browsing->restore(start.category, start.system);
    {
        const QSignalBlocker blocker(categoryTabs);
        categoryTabs->setCurrentIndex(browsing->state().category());
    }
    OnSelChangeCategory();
    SetRomListFont(fontFace, fontPointSize, fontColor);
    creating = false;
}

MainFrame::~MainFrame() = default;

void MainFrame::OnCreate()
{
    // Where Tahoma is missing, a face of similar width keeps the four tabs inside their strip.
    static const bool substituted = [] {
        QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
        return true;
    }();
    Q_UNUSED(substituted);
    tabFont = QFont(QStringLiteral("Tahoma"));
    tabFont.setPointSizeF(8.5);

    systemList = makeControl<SystemListBox>(this, "systemList");
    placeByEdges(systemList, 10, 50, 225, 284);
    systemList->setWorkFolder(workFolder);

    romList = makeControl<RomListBox>(this, "romList");
    placeByEdges(romList, 235, 50, 700, 440);
    starter = new EmulatorStarter(romList, this); // says over the ROM list when a start fails
    historyPresenter = new HistoryPresenter(*history, romList, *starter, this);
    historyViews = new HistoryViews(*history, romList, *starter, folderReader->pool(), this);
    browsing = new BrowsingSession(*folderReader, *historyPresenter, *historyViews, romList, this);
    gameLists = new GameListPresenter(
        romList, this, folderReader->pool(), *history, [this] { return historyPresenter->system(); },
        [this](const QString &text) { starter->notice()->showFailure(text); });
    connect(gameLists, &GameListPresenter::gamesChanged, this, [this] { onGamesChanged(false); });
    connect(gameLists, &GameListPresenter::namesOrdered, this, &MainFrame::showNames);
    connect(gameLists, &GameListPresenter::sortChanged, this, [this] { onGamesChanged(true); });

    folderTree = makeControl<RomFolderTree>(this, "folderTree");
    placeByEdges(folderTree, 10, 294, 225, 480);

    categoryTabs = makeControl<CategoryTabBar>(this, "categoryTabs");
    placeByEdges(categoryTabs, 11, 28, 225, 50);
    categoryTabs->setFont(tabFont);
    for (int index = 0; index < marlit::CategoryTable::kCount; ++index)
        categoryTabs->addTab(QString::fromLatin1(marlit::CategoryTable::tabText(index)));

    categoryLabel = makeControl<QLabel>(this, "categoryLabel");
    categoryLabel->setText(QStringLiteral("Category Select"));
    placeByEdges(categoryLabel, 60, 10, 180, 30);

    playButton = makeControl<QPushButton>(this, "playButton");
    playButton->setText(QStringLiteral("Play!"));
    playButton->setDefault(true);
    placeByEdges(playButton, 235, 10, 355, 40);

    setupButton = makeControl<QPushButton>(this, "setupButton");
    setupButton->setText(QStringLiteral("Setup"));
    placeByEdges(setupButton, 375, 10, 495, 40);

    configButton = makeControl<QPushButton>(this, "configButton");
    configButton->setText(QStringLiteral("Config"));
    placeByEdges(configButton, 515, 10, 635, 40);

    filterModeButton = makeControl<QPushButton>(this, "filterModeButton");
    filterModeButton->setText(QStringLiteral("Search For"));
    placeByEdges(filterModeButton, 235, 450, 315, 470);

    searchEdit = makeControl<QLineEdit>(this, "searchEdit");
    placeByEdges(searchEdit, 325, 450, 630, 470);

    applyButton = makeControl<QPushButton>(this, "applyButton");
    applyButton->setText(QStringLiteral("Apply"));
    placeByEdges(applyButton, 640, 450, 700, 470);

    // The controls that follow the window's size stand above the others, should they overlap.
    for (QWidget *widget : std::initializer_list<QWidget *>{folderTree, romList, playButton, setupButton, configButton,
                                                            filterModeButton, searchEdit, applyButton})
        widget->raise();

    // Tab reaches every control in the order they are read: the left column downwards, then the
    // buttons, the ROM list and the search row. Enter presses a button that has the focus.
    QWidget *previous = nullptr;
    for (QWidget *widget :
         std::initializer_list<QWidget *>{categoryTabs, systemList, folderTree, playButton, setupButton, configButton,
                                          romList, filterModeButton, searchEdit, applyButton}) {
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
    for (QPushButton *button : {setupButton, configButton, filterModeButton, applyButton})
        button->setAutoDefault(true);
    auto *findShortcut = new QShortcut(QKeySequence::Find, this);
    connect(findShortcut, &QShortcut::activated, this, [this] {
        searchEdit->setFocus(Qt::ShortcutFocusReason);
        searchEdit->selectAll();
    });
    connect(searchEdit, &QLineEdit::returnPressed, this, &MainFrame::OnSearchReturn);

    connect(categoryTabs, &QTabBar::currentChanged, this, &MainFrame::OnSelChangeCategory);
    connect(systemList, &SystemListBox::systemSelectionChanged, this, &MainFrame::OnSelChangeSystem);
    connect(systemList, &SystemListBox::systemDoubleClicked, this, &MainFrame::OnLaunchEmulator);
    connect(systemList, &SystemListBox::launchEmulatorRequested, this, &MainFrame::OnLaunchEmulator);
    connect(systemList, &SystemListBox::setupRequested, this, &MainFrame::OnSetup);
    connect(systemList, &SystemListBox::addSystemRequested, this, &MainFrame::OnAddSystem);
    connect(systemList, &SystemListBox::listOperationRequested, this, &MainFrame::ApplyListOperation);
    connect(systemList, &SystemListBox::tvModeRequested, this, &MainFrame::tvModeRequested);
    connect(folderTree, &QTreeWidget::currentItemChanged, this, &MainFrame::OnSelChangedFolder);
    // Choosing the shown system or folder again reads it afresh, for storage that tells no changes.
    connect(systemList, &ListBoxView::selectedRowClickedAgain, this, &MainFrame::OnSelChangeSystem);
    connect(folderTree, &RomFolderTree::currentFolderClickedAgain, this, &MainFrame::OnSelChangedFolder);
    connect(folderReader, &RomFolderReader::treeRead, this, &MainFrame::onTreeRead);
    connect(folderReader, &RomFolderReader::listRead, this, &MainFrame::onListRead);
    connect(folderReader, &RomFolderReader::statusChanged, romList, &RomListBox::setPlaceholder);
    connect(folderReader, &RomFolderReader::picturesChanged, this, &MainFrame::OnSelChangeRom);
    connect(romList, &RomListBox::romSelectionChanged, this, &MainFrame::OnSelChangeRom);
    connect(romList, &RomListBox::playRequested, this, &MainFrame::OnPlay);
    connect(romList, &RomListBox::stopGameRequested, starter, &EmulatorStarter::stop);
    connect(starter, &EmulatorStarter::gameRunningChanged, romList, &RomListBox::setGameRunning);
    connect(playButton, &QPushButton::clicked, this, &MainFrame::OnPlay);
    connect(setupButton, &QPushButton::clicked, this, &MainFrame::OnSetup);
    connect(configButton, &QPushButton::clicked, this, &MainFrame::OnConfig);
    connect(filterModeButton, &QPushButton::clicked, this, &MainFrame::OnSearchMode);
    connect(applyButton, &QPushButton::clicked, this, &MainFrame::OnApplyClear);

    const std::array<bool, 4> created = marlit::CatalogueFile::ensureCatalogueFiles(workFolder);
    finder = new EmulatorFinder(folderReader->pool(), this);
    connect(finder, &EmulatorFinder::found, this, &MainFrame::onEmulatorsFound);
    finder->findAtStart(workFolder, std::all_of(created.begin(), created.end(), [](bool made) { return made; }));
}

bool MainFrame::event(QEvent *event)
{
    // Whenever the window becomes active the keys act on the ROM list.
    if (event->type() == QEvent::WindowActivate && romList)
        romList->setFocus(Qt::ActiveWindowFocusReason);
    // Over a cell that shows the fallback picture or nothing: which names were looked for, where.
    if (event->type() == QEvent::ToolTip && settings.snapshotMode != marlit::NoSnapshots) {
        const auto *help = static_cast<QHelpEvent *>(event);
        for (const int slot : {kSlotA, kSlotB}) {
            const QRect cell = toQRect(slot == kSlotA ? geometry.rectA : geometry.rectB);
            const std::string why = cell.contains(help->pos()) ? loader->whyNoPicture(slot) : std::string();
            if (!why.empty()) {
                // Bounded: the folders it names come from the catalogue, whatever their length.
                QToolTip::showText(help->globalPos(), boundedText(why, 8 * kShownCharacters), this, cell);
                return true;
            }
        }
    }
    return QWidget::event(event);
}

void MainFrame::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    OnSize(width(), height());
}

void MainFrame::closeEvent(QCloseEvent *event)
{
    writeSettings();
    // The plays still running end with the window; the history writes them before the program
    // ends, waiting a bounded time.
    starter->endWatches();
    event->accept();
}

void MainFrame::writeSettings()
{
    if (settingsWritten)
        return;
    settingsWritten = true;

    marlit::SettingsRecord record;
    record.settings = settings;
    record.width = width();
    record.height = height();
    record.category = browsing->state().category();
    record.system = systemList->currentRow();
    record.fontPointSize = fontPointSize;
    record.fontColor = fontColor;
    // A face the locale cannot decode is written back as it was read, unless another was chosen.
    record.fontFace =
        fontFace == QString::fromLocal8Bit(storedFontFace) ? storedFontFace : fontFace.toLocal8Bit().toStdString();
    marlit::SettingsFile::save(workFile(marlit::SettingsFile::kFileName), record);
}

void MainFrame::SetRomListFont(const QString &face, int pointSizeTenths, std::uint32_t color)
{
    fontFace = face;
    fontPointSize = pointSizeTenths;
    fontColor = color;
    romList->SetItemFont(face, pointSizeTenths, colorFromColorRef(color));
}

// ---- Category and system selection -------------------------------------------------------

void MainFrame::OnSelChangeCategory()
{
    const int category = categoryTabs->currentIndex();
    if (const char *file = marlit::CategoryTable::fileName(category))
        LoadCatalogue(file);
    // The start-up call restores the remembered system; a later tab change takes the first.
    systemList->setCurrentRow(browsing->chooseCategory(category, catalogue, creating));
    OnSelChangeSystem();
}

void MainFrame::OnSelChangeSystem()
{
    const int row = systemList->currentRow();
    const SystemEntry *entry = catalogue.entryAt(row);
    {
        const QSignalBlocker blocker(folderTree);
        folderTree->clear();
    }
    gameLists->showSystem(entry);
    clearSnapshots();
    // What the readers find comes to onTreeRead and onListRead.
    if (entry)
        folderReader->setFileTypes(fileTypesOf(*entry));
    browsing->chooseSystem(row, entry);
    if (browsing->state().listsFolders())
        folderTree->awaitFolders();

    OnSize(width(), height());
    requestDefaultSnapshot();
    update(snapshotAreaRect());
}

void MainFrame::requestDefaultSnapshot()
{
    if (!looksForPictures())
        return;
    const SystemEntry *entry = selectedEntry();
    const std::optional<int> slot = SnapshotLayout::defaultSnapshotSlot(entry);
    if (!slot)
        return;
    loader->requestFile(*slot, entry->defaultSnapshot, cellSize(*slot));
}

void MainFrame::LoadCatalogue(const char *fileName)
{
    marlit::StampedCatalogue read = marlit::CatalogueFile::loadStamped(workFile(fileName));
    catalogue = std::move(read.catalogue);
    catalogueStamp = read.stamp;
    systemList->setCatalogue(catalogue);
    catalogueWatch->follow(workFile(fileName), catalogueStamp);
}

marlit::WriteResult MainFrame::SaveCatalogue(const char *fileName, const CategoryCatalogue &changed,
                                             const std::optional<marlit::FileStamp> &readFrom)
{
    return marlit::CatalogueFile::saveIfUnchanged(workFile(fileName), changed, readFrom);
}

void MainFrame::reportUnsaved(const char *fileName, const marlit::WriteResult &result)
{
    if (result.wasChangedMeanwhile()) {
        if (reportChangedFile)
            reportChangedFile(this, changedFileText(fileName));
    } else if (!result.ok() && reportWriteFailure) {
        reportWriteFailure(this, QFile::decodeName(QByteArray(fileName)), QString::fromLocal8Bit(result.reason()));
    }
}

void MainFrame::showSystem(int category, int row)
{
    if (category != categoryTabs->currentIndex()) {
        const QSignalBlocker blocker(categoryTabs);
        categoryTabs->setCurrentIndex(category);
        OnSelChangeCategory();
    }
    if (row != systemList->currentRow() && catalogue.entryAt(row)) {
        systemList->setCurrentRow(row);
        OnSelChangeSystem();
    }
}

// ---- Folder tree and ROM list -------------------------------------------------------------

void MainFrame::showView(marlit::BrowseView view)
{
    if (QTreeWidgetItem *item =
            view == marlit::BrowseView::Folder ? folderTree->romsItem() : folderTree->viewItem(view))
        folderTree->setCurrentItem(item);
}

void MainFrame::applySearch(const QString &text)
{
    searchEdit->setText(text);
    if (!text.isEmpty())
        OnSearchReturn();
    else if (browsing->state().search().applied())
        OnApplyClear();
}

void MainFrame::OnSelChangedFolder()
{
    // Without a ROM directory nothing is listed, not the working directory.
    if (browsing->chooseFolder(folderTree->selectedView(), folderTree->selectedPath()) &&
        browsing->state().listsFolders())
        FillRomList(browsing->state().romFolder());
    update(snapshotAreaRect());
}

void MainFrame::FillRomList(const std::string &folder)
{
    folderReader->readList(folder, gameLists->readersSearch(browsing->state().search()));
}

void MainFrame::onTreeRead(const std::shared_ptr<FolderAnswer> &answer, bool refresh)
{
    // A refresh that lost the selected folder selects its nearest remaining ancestor: list it.
    if (!folderTree->replaceFolders(answer->listing.tree.folders, answer->listing.tree.unanswered) && refresh)
        OnSelChangedFolder();
}

void MainFrame::onListRead(const std::shared_ptr<FolderAnswer> &answer, bool refresh)
{
    gameLists->romFolderAnswered(browsing->state().romFolder(), answer->listing.metafiles);
    marlit::RomNames names =
        gameLists->shown(std::move(answer->listing.names), browsing->state().romFolder(), browsing->state().search());
    if (!gameLists->ordersLater(names, browsing->state().romFolder(), refresh))
        showNames(std::move(names), refresh);
}

void MainFrame::showNames(marlit::RomNames names, bool refresh)
{
    if (!refresh) {
        romList->setNames(std::move(names));
    } else if (!romList->replaceNames(std::move(names))) {
        // The selected ROM is gone, and with it what its pictures showed.
        clearSnapshots();
        requestDefaultSnapshot();
        update(snapshotAreaRect());
    }
}

void MainFrame::onGamesChanged(bool sortChanged)
{
    OnSize(width(), height());
    // The rows take the new order, keeping the selected one; a history view keeps its own. A
    // search applied is read again whole, to be matched against the titles too.
    if (!historyViews->shown()) {
        if (!sortChanged && browsing->state().search().applied() && gameLists->describes() &&
            browsing->state().listsFolders())
            FillRomList(browsing->state().romFolder());
        else if (sortChanged || gameLists->sort() != marlit::GameSort::Name)
            folderReader->refreshList();
        else if (gameLists->describes() && !gameLists->ordering()) {
            // "Name" goes by the titles the lists give: the rows shown take their order, from the
            // top unless a ROM is selected, which stays so (an order under way follows them). The
            // lists' own files leave the rows.
            const bool keep = romList->currentRow() >= 0;
            marlit::RomNames names = gameLists->shown(romList->romModel()->names(), browsing->state().romFolder(),
                                                      browsing->state().search());
            if (!gameLists->ordersLater(names, browsing->state().romFolder(), keep))
                showNames(std::move(names), keep);
        }
    }
    OnSelChangeRom();
    update(snapshotAreaRect());
}

void MainFrame::OnSearchMode()
{
    browsing->toggleSearchMode();
    filterModeButton->setText(browsing->state().search().mode() == marlit::FilterMode::FilterOut
                                  ? QStringLiteral("Filter Out")
                                  : QStringLiteral("Search For"));
}

void MainFrame::OnSearchReturn()
{
    browsing->applyAfresh(searchEdit->text().toLocal8Bit().toStdString());
    showSearch();
}

void MainFrame::OnApplyClear()
{
    browsing->applyOrClear(searchEdit->text().toLocal8Bit().toStdString());
    showSearch();
}

void MainFrame::showSearch()
{
    applyButton->setText(browsing->state().search().applied() ? QStringLiteral("Clear") : QStringLiteral("Apply"));
    OnSelChangedFolder();
}

// ---- Snapshots ----------------------------------------------------------------------------

void MainFrame::OnSelChangeRom()
{
    const SystemEntry *entry = selectedEntry();
    const int row = romList->currentRow();
    browsing->chooseRom(row);
    gameLists->showRom(row);
    // Without snapshots no picture is looked up or decoded.
    if (!entry || row < 0 || !looksForPictures())
        return;
    // A row of "All Games" names its sub-folder too; the pictures go by the file's name.
    const std::string romName = marlit::splitAfterLastSeparator(romList->nameAt(row)).name;

    // The slots are emptied now and filled when their pictures are decoded; the area is
    // repainted then, so the old pictures do not flash away while the arrow key is held.
    requestGamePicture(kSlotA, *entry, romName);
    requestGamePicture(kSlotB, *entry, romName);

    // The rows next to it are decoded ahead, behind these, so that moving on shows them at once.
    std::vector<std::string> neighbours;
    for (const int next : {row + 1, row - 1})
        if (next >= 0 && next < romList->count())
            neighbours.push_back(marlit::splitAfterLastSeparator(romList->nameAt(next)).name);
    loader->prefetch({entry->snapshotDirA, entry->snapshotDirB}, {cellSize(kSlotA), cellSize(kSlotB)}, neighbours);
}

void MainFrame::requestGamePicture(int slot, const SystemEntry &entry, const std::string &romName)
{
    const std::string &folder = slot == kSlotA ? entry.snapshotDirA : entry.snapshotDirB;
    std::optional<SnapshotImage> &image = slot == kSlotA ? snapshotA : snapshotB;
    // The game lists know a ROM by its whole path: in "All Games", with its sub-folder.
    const std::string described = gameLists->picture(slot, romList->romModel()->pathAt(romList->currentRow()));
    if (!folder.empty()) {
        image.reset();
        loader->requestSnapshot(slot, folder, romName, cellSize(slot), described);
    } else if (!described.empty()) {
        image.reset();
        loader->requestFile(slot, described, cellSize(slot), SnapshotImage::Fit::KeepProportions);
    } else if (gameLists->describes()) {
        // The slot showed the last ROM's picture from the game lists: back to the system's own,
        // and the cell is painted empty meanwhile (no new picture may come to repaint it).
        image.reset();
        update(snapshotAreaRect());
        if (SnapshotLayout::defaultSnapshotSlot(&entry) == slot)
            loader->requestFile(slot, entry.defaultSnapshot, cellSize(slot));
        else
            loader->cancel(slot);
    }
}

QSize MainFrame::cellSize(int slot) const
{
    const marlit::LayoutRect &rect = slot == kSlotA ? geometry.rectA : geometry.rectB;
    return QSize(rect.width, rect.height);
}

void MainFrame::clearSnapshots()
{
    snapshotA.reset();
    snapshotB.reset();
    loader->cancel(kSlotA);
    loader->cancel(kSlotB);
    loader->cancelPrefetch();
}

void MainFrame::pausePictures(bool paused)
{
    if (paused == picturesPaused)
        return;
    picturesPaused = paused;
    clearSnapshots();
    if (!paused) {
        requestDefaultSnapshot();
        OnSelChangeRom();
    }
    update(snapshotAreaRect());
}

void MainFrame::onSnapshotReady(int slot, const SnapshotImage &image)
{
    (slot == kSlotA ? snapshotA : snapshotB) = image;
    update(snapshotAreaRect());
}

// ---- Launching ----------------------------------------------------------------------------

void MainFrame::OnPlay()
{
    const SystemEntry *entry = selectedEntry();
    const int row = romList->currentRow();
    if (!entry || sayIfNoEmulator(*entry))
        return;
    // Play, Enter or a double click that starts nothing says why.
    if (row < 0) {
        starter->notice()->showFailure(tr("Choose a ROM first"));
        return;
    }
    const QModelIndex index = romList->romModel()->index(row);
    if (romList->romModel()->data(index, RomListModel::MissingRole).toBool()) {
        starter->notice()->showFailure(
            tr("%1 is no longer in its folder").arg(index.data(RomListModel::FileNameRole).toString()));
        return;
    }
    // A sheet or list that names a file the folder does not hold still starts, saying so.
    const std::string folder = browsing->folderOf(row);
    QStringList missing;
    for (const std::string &file : folderReader->missingPartsOf(folder + romList->nameAt(row)))
        missing << neutralised(QFile::decodeName(QByteArray::fromStdString(file)));
    const QString warning = missing.isEmpty() ? QString() : tr("Missing from this game: %1").arg(missing.join(u", "));
    historyPresenter->launched(
        starter->start(marlit::CommandLine::request(*entry, folder, romList->nameAt(row)), warning), row);
}

void MainFrame::OnLaunchEmulator()
{
    const SystemEntry *entry = selectedEntry();
    if (!entry || sayIfNoEmulator(*entry))
        return;
    starter->start(marlit::CommandLine::emulatorOnlyRequest(*entry));
}

bool MainFrame::sayIfNoEmulator(const SystemEntry &entry)
{
    if (entry.hasEmulator())
        return false;
    // Starting nothing would only fail with an empty program name.
    starter->notice()->showFailure(tr("This system has no emulator yet: click Setup"), QString());
    return true;
}

// ---- Dialogs ------------------------------------------------------------------------------

void MainFrame::OnSetup()
{
    // Without a system, in a category left empty, the dialog can only add one: it opens blank.
    runSystemConfig(selectedEntry());
}

void MainFrame::OnAddSystem()
{
    runSystemConfig(nullptr);
}

void MainFrame::runSystemConfig(const SystemEntry *entry)
{
    SystemConfigDialog dialog(entry ? *entry : SystemEntry{}, workFile("default.ico"), this);
    if (!entry)
        dialog.offerNewEntryOnly();
    dialog.setGameListsFound(gameLists->foundText());
    std::vector<std::string> romFolders;
    for (int row = 0; row <= catalogue.lastIndex(); ++row)
        if (const SystemEntry *other = catalogue.entryAt(row); other && other != entry && !other->romDirectory.empty())
            romFolders.push_back(other->romDirectory);
    dialog.setOtherFolders(std::move(romFolders));
    dialog.setStore(
        [this, &dialog](const SystemEntry &edited, bool asNew) { return storeSetup(dialog, edited, asNew); });
    dialog.setFileTypes(marlit::SystemFileTypes::text(entry ? *entry : SystemEntry{}, finder->latest().emulators));
    // The presets known so far at once, and the installed ones looked for again meanwhile.
    dialog.setPresets(finder->latest().systems, true, finder->latest().unansweredFolders);
    openSetup = &dialog;
    finder->find();
    {
        // The program's own files are found through the working directory, which a picker may
        // move: it is the same again as soon as the dialog is closed.
        const marlit::WorkingDirectoryKeeper workingDirectory;
        dialog.exec();
    }
    openSetup = nullptr;
    OnSize(width(), height());
    update(snapshotAreaRect());
}

bool MainFrame::storeSetup(SystemConfigDialog &dialog, const SystemEntry &edited, bool asNew)
{
    CategoryCatalogue changed = catalogue;
    const bool adds = asNew || !selectedEntry();
    if (adds)
        changed.append(edited);
    else
        *changed.entryAt(browsing->state().system()) = edited;
    // A new ROM folder, snapshot folder or default picture shows at once: the views follow the
    // stored record.
    if (storeListChange(changed, adds ? changed.lastIndex() : browsing->state().system()))
        return true;
    // Refused: the list shows the file as it now is, and the dialog what the user typed over it.
    if (!adds && selectedEntry())
        dialog.showOver(*selectedEntry());
    return false;
}

void MainFrame::OnConfig()
{
    const bool showedSnapshots = showsSnapshots();
    OptionsDialog dialog(settings, RomListFont{fontFace, fontPointSize, colorFromColorRef(fontColor)}, this);
    connect(&dialog, &OptionsDialog::romListFontChosen, this, [this](const RomListFont &font) {
        SetRomListFont(font.face, font.pointSizeTenths, colorRefFromColor(font.color));
    });
    dialog.exec();

    // A new snapshot mode shows at once: the pictures move, or are looked up now that they are
    // wanted, or are dropped.
    const QRect oldArea = snapshotAreaRect();
    OnSize(width(), height());
    if (showsSnapshots() && !showedSnapshots) {
        requestDefaultSnapshot();
        OnSelChangeRom();
    } else if (!showsSnapshots()) {
        clearSnapshots();
    }
    update(oldArea.united(snapshotAreaRect()));
}

// ---- Catalogue editing --------------------------------------------------------------------

void MainFrame::ApplyListOperation(marlit::ListOperation operation)
{
    CategoryCatalogue changed = catalogue;
    const std::optional<int> rowAfter = changed.apply(operation, browsing->state().system());
    if (!rowAfter)
        return;
    storeListChange(changed, *rowAfter);
}

void MainFrame::AppendEntry(const SystemEntry &entry)
{
    // The other systems keep their order, however the user just arranged them.
    CategoryCatalogue changed = catalogue;
    changed.append(entry);
    storeListChange(changed, changed.lastIndex());
}

bool MainFrame::storeListChange(const CategoryCatalogue &changed, int rowAfter)
{
    const char *file = marlit::CategoryTable::fileName(browsing->state().category());
    if (!file)
        return false;

    // The file is written only while it is the one shown, then read back, so that file,
    // catalogue and list agree afterwards; the user learns why a change was not written once
    // the list shows the file as it is.
    const marlit::WriteResult result = SaveCatalogue(file, changed, catalogueStamp);
    reloadCatalogue(file, result.ok() ? std::optional<int>(rowAfter) : std::nullopt);
    reportUnsaved(file, result);
    return result.ok();
}

void MainFrame::reloadCatalogue(const char *fileName, std::optional<int> rowAfter)
{
    const CategoryCatalogue before = catalogue;
    const int rowBefore = browsing->state().system();
    LoadCatalogue(fileName);
    const int row = rowAfter ? std::min(*rowAfter, catalogue.lastIndex()) : catalogue.rowFollowing(before, rowBefore);

    // The highlighted row and the browsing's system stay together. The views are read again only when
    // they would show another record: not for a system that merely moved, nor for the echo of
    // a change that left the highlighted system as it was.
    systemList->setCurrentRow(row);
    const SystemEntry *shown = before.entryAt(rowBefore);
    const SystemEntry *highlighted = catalogue.entryAt(row);
    if (shown && highlighted && *shown == *highlighted)
        browsing->moveSystem(row);
    else
        OnSelChangeSystem();
}

void MainFrame::followCatalogueOnDisk()
{
    if (const char *file = marlit::CategoryTable::fileName(browsing->state().category()))
        reloadCatalogue(file, std::nullopt);
}

// ---- Emulators found ---------------------------------------------------------------------

void MainFrame::onEmulatorsFound()
{
    const EmulatorFinder::Result &found = finder->latest();
    if (openSetup)
        openSetup->setPresets(found.systems, finder->searching(), found.unansweredFolders);
    // The shown system's game files may be known only now.
    if (const SystemEntry *entry = selectedEntry(); entry && browsing->state().listsFolders()) {
        if (std::vector<std::string> types = fileTypesOf(*entry); types != folderReader->fileTypes()) {
            folderReader->setFileTypes(std::move(types));
            folderReader->readListAgain();
        }
    }
    if (found.offerToWorkspace && found.knowsEmulators)
        offerEmulatorsFound();
    // A table that cannot be used at all is said here too, not only on standard error.
    if (!found.knowsEmulators && !found.problems.empty())
        starter->notice()->showFailure(tr("The table of known emulators cannot be used: %1")
                                           .arg(neutralised(QFile::decodeName(found.problems.front().c_str()))),
                                       QString());
    // A folder of PATH that does not answer is named once, and again in "Presets...".
    for (const std::string &folder : found.newlyUnanswered)
        starter->notice()->showFailure(tr("Emulators were not looked for in %1: the folder does not answer")
                                           .arg(neutralised(QFile::decodeName(folder.c_str()))));
}

std::vector<std::string> MainFrame::fileTypesOf(const SystemEntry &entry) const
{
    return marlit::SystemFileTypes::patterns(marlit::SystemFileTypes::text(entry, finder->latest().emulators));
}

void MainFrame::offerEmulatorsFound()
{
    // Beside the window, which stays usable; answered or dismissed, it is not offered again here.
    const std::string home = QFile::encodeName(QDir::homePath()).toStdString();
    auto *offer = new FirstStartOffer(finder->latest().systems, home, this);
    offer->setAttribute(Qt::WA_DeleteOnClose);
    connect(offer, &FirstStartOffer::systemsChosen, this, &MainFrame::addSystems);
    connect(offer, &FirstStartOffer::addSystemRequested, this, &MainFrame::OnAddSystem);
    connect(offer, &QDialog::finished, this, [this] { marlit::NewWorkspace::markOffered(workFolder); });
    const QRect frame = frameGeometry();
    const QRect screenArea = screen()->availableGeometry();
    const marlit::LayoutRect place =
        marlit::placeBeside({frame.x(), frame.y(), frame.width(), frame.height()},
                            {offer->wantedWidth(), std::max(380, offer->sizeHint().height())},
                            {offer->minimumSizeHint().width(), offer->minimumSizeHint().height()},
                            {screenArea.x(), screenArea.y(), screenArea.width(), screenArea.height()});
    offer->resize(place.width, place.height);
    offer->move(place.x, place.y);
    offer->show();
}

void MainFrame::addSystems(const std::vector<FirstStartOffer::Choice> &choices)
{
    if (choices.empty())
        return;
    std::array<std::optional<int>, marlit::CategoryTable::kCount> firstAdded{}; // where written
    for (int category = 0; category < marlit::CategoryTable::kCount; ++category) {
        std::vector<SystemEntry> systems;
        for (const FirstStartOffer::Choice &choice : choices) {
            if (choice.category != category)
                continue;
            systems.push_back(choice.entry);
            if (systems.back().iconPath.empty())
                systems.back().iconPath = PresetIcons::fileFor(category, workFolder);
        }
        if (systems.empty())
            continue;
        // The tab's file as it is now: the systems go in place of its blank record.
        const char *file = marlit::CategoryTable::fileName(category);
        marlit::StampedCatalogue read = marlit::CatalogueFile::loadStamped(workFile(file));
        CategoryCatalogue &changed = read.catalogue;
        const int first = changed.placeInsteadOfBlank(systems);
        const marlit::WriteResult result = SaveCatalogue(file, changed, read.stamp);
        if (result.ok())
            firstAdded[static_cast<std::size_t>(category)] = first;
        reportUnsaved(file, result);
    }

    // The first system added is shown, ready to play.
    const int category = choices.front().category;
    {
        const QSignalBlocker blocker(categoryTabs);
        categoryTabs->setCurrentIndex(category);
    }
    OnSelChangeCategory();
    const std::optional<int> row = firstAdded[static_cast<std::size_t>(category)];
    if (row && *row != systemList->currentRow() && catalogue.entryAt(*row)) {
        systemList->setCurrentRow(*row);
        OnSelChangeSystem();
    }
}

// ---- Layout and painting ------------------------------------------------------------------

void MainFrame::LayoutSnapshots()
{
    const SystemEntry *entry = selectedEntry();
    // Where the pictures were is painted again too: a system without pictures, or a smaller
    // area, leaves no strips of the old ones where no control covers them.
    const QRect before = geometry.pictureCount > 0 ? snapshotAreaRect() : QRect();
    // A system whose game lists have pictures has a cell for each slot.
    const bool described = gameLists && gameLists->hasPictures();
    geometry = marlit::SnapshotLayout::compute(
        width(), height(), settings.snapshotMode, described ? 2 : marlit::SnapshotLayout::pictureCount(entry),
        !described && marlit::SnapshotLayout::singlePictureInSlotB(entry), geometry);
    const QRect after = geometry.pictureCount > 0 ? snapshotAreaRect() : QRect();
    if (!before.united(after).isEmpty())
        update(before.united(after));
}

void MainFrame::OnSize(int width, int height)
{
    if (!romList)
        return;
    LayoutSnapshots();
    marlit::ControlGeometry controls = marlit::WindowLayout::compute(width, height, settings.snapshotMode, geometry);
    const marlit::GameListGeometry described =
        gameLists->describes()
            ? marlit::GameListLayout::apply(controls, width, gameLists->sortLabel()->sizeHint().width(),
                                            gameLists->sortChoice()->sizeHint().width())
            : marlit::GameListGeometry{};
    const std::pair<QWidget *, std::optional<marlit::LayoutRect>> gameListPlaces[] = {
        {gameLists->panel(), described.detailsPanel},
        {gameLists->sortLabel(), described.sortLabel},
        {gameLists->sortChoice(), described.sortChoice},
    };
    for (const auto &[widget, rect] : gameListPlaces) {
        if (rect)
            widget->setGeometry(toQRect(*rect));
        widget->setVisible(rect.has_value());
    }
    const std::pair<QWidget *, marlit::LayoutRect> places[] = {
        {folderTree, controls.folderTree},     {romList, controls.romList},
        {playButton, controls.playButton},     {setupButton, controls.setupButton},
        {configButton, controls.configButton}, {filterModeButton, controls.filterModeButton},
        {searchEdit, controls.searchEdit},     {applyButton, controls.applyButton},
    };
    for (const auto &[widget, rect] : places)
        widget->setGeometry(toQRect(rect));
}

QRect MainFrame::snapshotAreaRect() const
{
    const marlit::LayoutArea &area = geometry.snapshotArea;
    return QRect(QPoint(area.left, area.top), QPoint(area.right - 1, area.bottom - 1));
}

void MainFrame::paintEvent(QPaintEvent *)
{
    if (!showsSnapshots())
        return;
    QPainter painter(this);
    if (snapshotA)
        snapshotA->draw(painter, toQRect(geometry.rectA));
    if (snapshotB)
        snapshotB->draw(painter, toQRect(geometry.rectB));
}

// Compiled here so that programs using other widgets do not pull in the whole window.
#include "moc_MainFrame.cpp"
