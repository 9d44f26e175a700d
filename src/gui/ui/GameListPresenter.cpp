#include "gui/ui/GameListPresenter.h"

#include <utility>

#include "core/catalogue/SystemEntry.h"
#include "core/fs/Paths.h"
#include "core/metadata/GameListChoice.h"
#include "core/metadata/GameListPlaces.h"
#include "core/metadata/GameSearch.h"
#include "gui/browse/RomPresenceCheck.h"
#include "gui/history/PlayHistory.h"
#include "gui/metadata/GameDetailsPanel.h"
#include "gui/metadata/GameListFolders.h"
#include "gui/metadata/GameListLoader.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QtConcurrentRun>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kOrderNiceness = 5;

} // namespace

GameListPresenter::GameListPresenter(RomListBox *romList, QWidget *window, FolderReaderPool &readers,
                                     PlayHistory &history, ShownSystem shownSystem, Say say)
    : QObject(window), m_romList(romList), m_say(std::move(say)), m_loader(new GameListLoader(this)),
      m_placesCheck(new RomPresenceCheck(readers, this)), m_folders(new GameListFolders(readers, this)),
      m_panel(new GameDetailsPanel(window)), m_sortLabel(new QLabel(window)), m_sortChoice(new QComboBox(window)),
      m_history(history), m_shownSystem(std::move(shownSystem)), m_ordering(new QFutureWatcher<Ordered>(this))
{
    m_panel->setObjectName(QStringLiteral("gameDetails"));
    m_orderingThread.setMaxThreadCount(1);
    m_sortLabel->setObjectName(QStringLiteral("sortLabel"));
    m_sortLabel->setText(tr("Sort by"));
    m_sortLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_sortChoice->setObjectName(QStringLiteral("sortChoice"));
    for (const marlit::GameSort sort : marlit::GameOrder::kAll)
        m_sortChoice->addItem(tr(marlit::GameOrder::text(sort)), static_cast<int>(sort));
    m_sortLabel->setBuddy(m_sortChoice);
    for (QWidget *widget : std::initializer_list<QWidget *>{m_panel, m_sortLabel, m_sortChoice})
        widget->hide();
    connect(m_sortChoice, &QComboBox::currentIndexChanged, this, [this] {
        m_sort = static_cast<marlit::GameSort>(m_sortChoice->currentData().toInt());
        if (!askOwnPlays())
            emit sortChanged();
    });
    connect(m_ordering, &QFutureWatcher<Ordered>::finished, this, [this] {
        QFuture<Ordered> future = m_ordering->future();
        if (future.resultCount() == 0)
            return;
        Ordered ordered = future.takeResult();
        m_orderUnderWay = 0;
        // Late: another listing came meanwhile, or the list shows other rows (another system,
        // folder or view).
        if (ordered.generation != m_orderGeneration || ordered.rowsReplaced != m_romList->romModel()->replacements())
            return;
        // Game lists that arrived meanwhile order them again, by what they say.
        if (ordered.games != m_games && ordersLater(ordered.names, ordered.folder, ordered.refresh))
            return;
        emit namesOrdered(std::move(ordered.names), ordered.refresh);
    });
    connect(m_loader, &GameListLoader::collectionRead, this, &GameListPresenter::onCollectionRead);
    connect(m_placesCheck, &RomPresenceCheck::checked, this, &GameListPresenter::onPlacesChecked);
    connect(m_folders, &GameListFolders::listed, this,
            [this](const marlit::GameListPlaces &places, std::shared_ptr<const marlit::FolderEntriesByPath> listings) {
                m_loader->read(m_romFolder, places, m_home, std::move(listings));
            });
}

GameListPresenter::~GameListPresenter() = default;

void GameListPresenter::showSystem(const marlit::SystemEntry *entry)
{
    m_games.reset();
    m_ownPlays.reset();
    m_history.cancel(PlayHistory::Question::Plays);
    m_romList->romModel()->setGames(nullptr);
    m_panel->clear();
    const marlit::GameListChoice choice = entry ? marlit::GameListChoice::of(*entry) : marlit::GameListChoice{};
    for (int slot = 0; slot < kSlots; ++slot)
        m_slotKinds[static_cast<std::size_t>(slot)] = choice.kindsFor(slot);
    m_romFolder = entry ? marlit::withTrailingSeparator(entry->romDirectory) : std::string();
    m_checkWhenAnswered = false;
    m_romFolderMetafiles.clear();
    m_placesCheck->stop();
    m_folders->stop();
    m_loader->stop();
    if (m_romFolder.empty() && choice.file.empty() && choice.mediaFolder.empty())
        return;
    m_home = QFile::encodeName(QDir::homePath()).toStdString();
    m_basePlaces = marlit::GameListPlaces::forRomFolder(m_romFolder, m_home, choice.file, choice.mediaFolder);
    m_romFolderMetafiles.clear();
    m_places = m_basePlaces;
    if (m_romFolder.empty())
        m_placesCheck->check(m_places.paths());
    else
        m_checkWhenAnswered = true;
}

void GameListPresenter::romFolderAnswered(const std::string &folder, const std::vector<std::string> &metafiles)
{
    bool metafilesChanged = false;
    if (!m_romFolder.empty() && folder == m_romFolder) {
        metafilesChanged = metafiles != m_romFolderMetafiles;
        m_romFolderMetafiles = metafiles;
    }
    if (!std::exchange(m_checkWhenAnswered, false) && !metafilesChanged)
        return;
    m_places = m_basePlaces;
    m_places.addMetafiles(m_romFolder, m_romFolderMetafiles);
    m_placesCheck->check(m_places.paths());
}

bool GameListPresenter::waitForIdle(int timeoutMs)
{
    // The loader's threads post their answer only; a short tick wakes the loop to look again.
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(5);
    const auto busy = [this] { return m_placesCheck->checking() || m_folders->listing() || m_loader->reading(); };
    while (clock.elapsed() < timeoutMs) {
        if (!busy()) {
            QCoreApplication::processEvents(); // the answer posted last
            if (!busy())
                return true;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return false;
}

void GameListPresenter::onPlacesChecked(const std::vector<std::uint8_t> &present)
{
    // Checked again when a file came or went in their folders: the reader gives the same
    // collection while nothing it read changed.
    m_folders->list(m_places.found(present), m_romFolder, m_home);
}

void GameListPresenter::onCollectionRead(std::shared_ptr<const marlit::GameCollection> collection)
{
    for (const std::string &problem : collection->problems) {
        const QString text = tr("A game list could not be used: %1. The system is shown without it.")
                                 .arg(QFile::decodeName(QByteArray::fromStdString(problem)));
        if (m_said.contains(text))
            continue;
        m_said.insert(text);
        if (m_say)
            m_say(text);
    }
    if (collection == m_games)
        return;
    m_games = collection->empty() ? nullptr : std::move(collection);
    m_romList->romModel()->setGames(m_games);
    emit gamesChanged();
    askOwnPlays();
}

bool GameListPresenter::askOwnPlays()
{
    if (!marlit::GameOrder::usesOwnPlays(m_sort) || m_ownPlays || !describes())
        return false;
    const std::optional<marlit::SystemKey> system = m_shownSystem ? m_shownSystem() : std::nullopt;
    if (!system)
        return false;
    m_history.requestPlayed(*system, [this](std::vector<marlit::RomHistory> &&played) {
        marlit::OwnPlaysByPath plays;
        plays.reserve(played.size());
        for (marlit::RomHistory &rom : played)
            plays.emplace(std::move(rom.path), marlit::OwnPlays{rom.plays, rom.lastPlayedMs});
        m_ownPlays = std::move(plays);
        emit sortChanged();
    });
    return true;
}

void GameListPresenter::showRom(int row)
{
    if (!describes())
        return;
    if (row < 0) {
        m_panel->clear();
        return;
    }
    const RomListModel *model = m_romList->romModel();
    const QString fileName = model->data(model->index(row), RomListModel::FileNameRole).toString();
    m_panel->showGame(m_games->describe(model->pathAt(row)), fileName);
}

std::string GameListPresenter::picture(int slot, const std::string &romPath) const
{
    if (!m_games || slot < 0 || slot >= kSlots)
        return {};
    return m_games->picture(romPath, m_slotKinds[static_cast<std::size_t>(slot)]);
}

marlit::RomSearch GameListPresenter::readersSearch(const marlit::RomSearch &search) const
{
    return marlit::GameSearch::forReaders(search, m_games.get());
}

marlit::RomNames GameListPresenter::shown(marlit::RomNames names, const std::string &folder,
                                          const marlit::RomSearch &search) const
{
    return marlit::GameSearch::filtered(std::move(names), folder, m_games.get(), search);
}

bool GameListPresenter::ordersLater(marlit::RomNames &names, const std::string &folder, bool refresh)
{
    constexpr std::size_t kOrderedAtOnce = 2000; // rows: about a millisecond
    const quint64 generation = ++m_orderGeneration;
    if (!m_games || m_games->games.empty())
        return false;
    const marlit::GameSort sort = m_sort;
    if (names.size() <= kOrderedAtOnce) {
        names =
            marlit::GameOrder::ordered(std::move(names), folder, *m_games, sort, m_ownPlays ? &*m_ownPlays : nullptr);
        return false;
    }
    m_orderUnderWay = generation;
    std::optional<marlit::OwnPlaysByPath> own =
        marlit::GameOrder::usesOwnPlays(sort) ? m_ownPlays : std::optional<marlit::OwnPlaysByPath>();
    m_ordering->setFuture(QtConcurrent::run(
        &m_orderingThread, [names = std::move(names), folder, games = m_games, sort, own = std::move(own), refresh,
                            generation, replaced = m_romList->romModel()->replacements()]() mutable {
            // Background work: on a busy machine the window's thread, and the painter's, go first.
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kOrderNiceness);
            marlit::RomNames ordered =
                marlit::GameOrder::ordered(std::move(names), folder, *games, sort, own ? &*own : nullptr);
            return Ordered{std::move(ordered), folder, std::move(games), refresh, generation, replaced};
        }));
    return true;
}

QString GameListPresenter::foundText() const
{
    if (!m_games)
        return {};
    const auto joined = [](const std::vector<std::string> &paths) {
        QStringList texts;
        for (const std::string &path : paths)
            texts << QFile::decodeName(QByteArray::fromStdString(path));
        return texts.join(QStringLiteral(", "));
    };
    QStringList parts;
    if (!m_games->foundFiles.empty())
        parts << tr("%1 games in %2").arg(m_games->games.size()).arg(joined(m_games->foundFiles));
    if (m_games->media.size() > 0)
        parts << tr("pictures in %1").arg(joined(m_games->foundFolders));
    return parts.join(QStringLiteral("; "));
}
