#pragma once

#include "core/metadata/GameCollection.h"
#include "core/metadata/GameCollectionReader.h"
#include "core/metadata/GameListPlaces.h"

#include <QObject>

#include <memory>
#include <string>

// Reads a system's game lists and media folders off the UI thread (GameCollectionReader, whose
// collections stay held until their files change) and hands the newest request's collection to
// the UI thread; an answer to an older request is dropped.
//
// The reads run on threads of their own that the loader does not wait for: a file on a share
// that never answers holds up neither the window nor its closing. Folders are never read here:
// their listings come with the request (GameListFolders). At most kMaxReads reads run at once; a
// request beyond them waits for one to end, or for one to have gone on for kStuckMs, when it is
// taken for stuck and another thread starts (kMaxThreads in all, stuck ones too).
class GameListLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxReads = 3;
    static constexpr int kStuckMs = 2000;
    static constexpr int kMaxThreads = 12;

    explicit GameListLoader(QObject *parent = nullptr);
    ~GameListLoader() override;

    // Makes every earlier request stale.
    // listings: as GameCollectionReader::read takes them.
    void read(const std::string &romFolder, const marlit::GameListPlaces &places, const std::string &home,
              std::shared_ptr<const marlit::FolderEntriesByPath> listings);
    // Drops whatever is pending.
    void stop();
    // Blocks until no read runs or waits (tests, benchmarks); the answer stays undelivered.
    void waitForIdle();
    // Whether a read runs or waits.
    bool reading() const;
    // Reads under way, stuck ones too (tests).
    int readsUnderWay() const;

signals:
    // The newest request's collection; the same object again when nothing changed on disk.
    void collectionRead(std::shared_ptr<const marlit::GameCollection> collection);

private:
    struct Shared;
    static void work(std::shared_ptr<Shared> shared);
    // Starts a thread for the pending request where one may start, else looks again later. Under
    // the lock.
    void startForPending();

    std::shared_ptr<Shared> m_shared;
    bool m_lookingAgain = false; // a timer will look at the pending request again
};
