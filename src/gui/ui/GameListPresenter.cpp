#include "gui/ui/GameListPresenter.h"

#include "core/catalogue/SystemEntry.h"
#include "core/fs/Paths.h"
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
    m_slotKinds = {std::vector<std::string>{"covers", "3dboxes", "miximages"},
                   std::vector<std::string>{"screenshots", "titlescreens", "images"}};
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

void GameListPresenter::showSystem(const marlit::SystemEntry *entry, const std::string &chosenFile,
                                   const std::string &chosenMedia)
{
    m_games.reset();
    m_romList->romModel()->setGames(nullptr);
    m_panel->clear();
    const std::string romFolder = entry ? marlit::withTrailingSeparator(entry->romDirectory) : std::string();
    if (romFolder.empty() && chosenFile.empty() && chosenMedia.empty()) {
        m_loader->stop();
        return;
    }
    const std::string home = QFile::encodeName(QDir::homePath()).toStdString();
    m_loader->read(romFolder, marlit::GameListPlaces::forRomFolder(romFolder, home, chosenFile, chosenMedia), home);
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

void GameListPresenter::setSlotKinds(int slot, std::vector<std::string> kinds)
{
    if (slot >= 0 && slot < kSlots && !kinds.empty())
        m_slotKinds[static_cast<std::size_t>(slot)] = std::move(kinds);
}

marlit::RomNames GameListPresenter::ordered(marlit::RomNames names, const std::string &folder) const
{
    return marlit::GameOrder::sorted(std::move(names), folder, m_games.get(), m_sort);
}
