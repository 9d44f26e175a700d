#pragma once

#include "core/browse/FolderEntries.h"
#include "core/metadata/GameListPlaces.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <set>
#include <string>

class FolderReaderPool;
struct FolderAnswer;

// Lists the folders of a system's game lists and pictures (its media and metafile folders, and
// the game folders Pegasus' list names) in folder reader processes, a request per folder: one
// that never answers holds a reader, never a thread of this process, and the others still come.
// The listings are told once all have answered, or kWaitMs after they were asked for with those
// that had, and again as each late one comes.
class GameListFolders : public QObject
{
    Q_OBJECT

public:
    static constexpr int kWaitMs = 1000;

    explicit GameListFolders(FolderReaderPool &pool, QObject *parent = nullptr);

    // Lists places' folders (those found there); the listing before is dropped.
    void list(const marlit::GameListPlaces &places, const std::string &romFolder, const std::string &home);
    void stop();
    // Whether listings are still to be told.
    bool listing() const { return !m_asked.empty() && !m_told; }

signals:
    // places as listed (the game folders its list names taken as metafile folders) and the
    // folders that answered.
    void listed(const marlit::GameListPlaces &places, std::shared_ptr<const marlit::FolderEntriesByPath> listings);

private:
    void onAnswered(const std::shared_ptr<FolderAnswer> &answer);
    void tell();

    FolderReaderPool &m_pool;
    std::set<quint64> m_asked; // not answered yet
    quint64 m_gameFoldersId = 0;
    marlit::GameListPlaces m_places;
    std::shared_ptr<marlit::FolderEntriesByPath> m_listings;
    bool m_told = false;
    QTimer m_wait;
};
