#include "gui/ui/GameListPresenter.h"

#include <utility>

#include "core/catalogue/SystemEntry.h"
#include "core/fs/Paths.h"
#include "core/metadata/GameListChoice.h"
#include "core/metadata/GameListPlaces.h"
#include "gui/metadata/GameDetailsPanel.h"
#include "gui/metadata/GameListLoader.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>

GameListPresenter::GameListPresenter(RomListBox *romList, QWidget *window, Say say)
    : QObject(window), m_romList(romList), m_say(std::move(say)), m_loader(new GameListLoader(this)),
      m_panel(new GameDetailsPanel(window)), m_sortLabel(new QLabel(window)), m_sortChoice(new QComboBox(window))
{
    m_panel->setObjectName(QStringLiteral("gameDetails"));
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
        emit sortChanged();
    });
    connect(m_loader, &GameListLoader::collectionRead, this, &GameListPresenter::onCollectionRead);
}

GameListPresenter::~GameListPresenter() = default;

void GameListPresenter::showSystem(const marlit::SystemEntry *entry)
{
    m_games.reset();
    m_romList->romModel()->setGames(nullptr);
    m_panel->clear();
    const marlit::GameListChoice choice = entry ? marlit::GameListChoice::of(*entry) : marlit::GameListChoice{};
    for (int slot = 0; slot < kSlots; ++slot)
        m_slotKinds[static_cast<std::size_t>(slot)] = choice.kindsFor(slot);
    const std::string romFolder = entry ? marlit::withTrailingSeparator(entry->romDirectory) : std::string();
    m_readWhenAnswered = nullptr;
    m_loader->stop();
    if (romFolder.empty() && choice.file.empty() && choice.mediaFolder.empty())
        return;
    const std::string home = QFile::encodeName(QDir::homePath()).toStdString();
    auto read = [this, romFolder, home, choice] {
        m_loader->read(romFolder,
                       marlit::GameListPlaces::forRomFolder(romFolder, home, choice.file, choice.mediaFolder), home);
    };
    if (romFolder.empty())
        read();
    else
        m_readWhenAnswered = std::move(read);
}

void GameListPresenter::romFolderAnswered()
{
    if (auto read = std::exchange(m_readWhenAnswered, nullptr))
        read();
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

marlit::RomNames GameListPresenter::ordered(marlit::RomNames names, const std::string &folder) const
{
    return marlit::GameOrder::sorted(std::move(names), folder, m_games.get(), m_sort);
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
