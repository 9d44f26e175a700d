#include "gui/metadata/GameListFolders.h"

#include "core/metadata/GameCollectionReader.h"
#include "gui/browse/FolderReaderPool.h"

GameListFolders::GameListFolders(FolderReaderPool &pool, QObject *parent) : QObject(parent), m_pool(pool)
{
    connect(&m_pool, &FolderReaderPool::answered, this, &GameListFolders::onAnswered);
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &GameListFolders::tell);
}

void GameListFolders::list(const marlit::GameListPlaces &places, const std::string &romFolder, const std::string &home)
{
    stop();
    m_places = places;
    m_places.gameFolderList.clear();
    m_listings = std::make_shared<marlit::FolderEntriesByPath>();
    const auto ask = [&](const std::string &folder, int depth) {
        marlit::FolderRequest request;
        request.entriesOf = folder;
        request.entriesDepth = static_cast<std::uint8_t>(depth);
        m_asked.insert(m_pool.send(std::move(request)));
    };
    for (const marlit::MediaFolder &folder : places.mediaFolders)
        ask(folder.path, marlit::GameCollectionReader::kMediaDepth);
    for (const std::string &folder : places.metafileFolders)
        ask(folder, 0);
    if (!places.gameFolderList.empty()) {
        marlit::FolderRequest request;
        request.entriesOf = places.gameFolderList;
        request.entriesNamedIn = true;
        request.entriesHolding = romFolder;
        request.home = home;
        m_gameFoldersId = m_pool.send(std::move(request));
        m_asked.insert(m_gameFoldersId);
    }
    if (m_asked.empty())
        tell();
    else
        m_wait.start(kWaitMs);
}

void GameListFolders::stop()
{
    for (const quint64 id : m_asked)
        m_pool.abandon(id);
    m_asked.clear();
    m_gameFoldersId = 0;
    m_told = false;
    m_wait.stop();
}

void GameListFolders::onAnswered(const std::shared_ptr<FolderAnswer> &answer)
{
    const marlit::FolderListing &listing = answer->listing;
    if (!listing.hasEntries || m_asked.erase(listing.id) == 0)
        return;
    // Once told, the listings may be in a reader's hands: a late answer goes to a copy.
    if (m_told)
        m_listings = std::make_shared<marlit::FolderEntriesByPath>(*m_listings);
    std::vector<std::string> gameFolders;
    for (const marlit::FolderEntries &folder : listing.entries) {
        if (listing.id == m_gameFoldersId)
            gameFolders.push_back(folder.folder);
        m_listings->insert_or_assign(folder.folder, folder);
    }
    m_places.takeGameFolders(gameFolders);
    if (m_asked.empty() || m_told)
        tell();
}

void GameListFolders::tell()
{
    m_wait.stop();
    m_told = true;
    emit listed(m_places, m_listings);
}
