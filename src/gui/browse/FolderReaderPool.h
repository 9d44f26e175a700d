#pragma once

#include "core/browse/FolderListing.h"
#include "core/browse/FolderRequest.h"
#include "core/browse/ReaderSpawner.h"
#include "core/fs/FileDescriptor.h"

#include <QObject>

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;

// One part of a reader's answer: a list, a tree, the presence of files checked, folders listed
// for the game lists, or the watch of folders watched only (a listing with none of these), with
// the inotify descriptor that watches it when one was asked for.
struct FolderAnswer
{
    marlit::FolderListing listing;
    marlit::FileDescriptor watch;
};

// Reads folders in reader processes (ReaderSpawner), so the window never waits for storage.
//
// A request goes to an idle reader, or to a new one while there are fewer than kMaxReaders;
// answers are read as they come, a piece per turn of the event loop, and delivered in parts.
// A request that is no longer wanted (abandon) keeps its reader busy until it answers, and its
// answer is dropped; when every reader is busy and another is needed, a reader with an
// abandoned request is ended (SIGKILL) for it, so a read that never returns never holds up the
// reads after it.
//
// What storage that never answers can hold is bounded: a request waits (held) while a read of
// the same folder is under way, whether wanted or not, so each folder has one stuck reader at
// most; and a reader ended in the middle of a read, which the kernel may keep for as long as
// the read lasts, counts until it is really gone: while kMaxEnding are, none is ended for room.
//
// The spawner is never waited for: readers are asked for and taken when they come, and a
// spawner that dies or stops answering is replaced (its readers die with it, and what they
// still owed is asked again of new ones). Failures are delivered in a later turn of
// the event loop, never from within send(), so the sender knows the id by then. The pool's end
// ends every reader and waits for none.
class FolderReaderPool : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxReaders = 4;
    static constexpr int kMaxEnding = 4;
    static constexpr int kSpawnTimeoutMs = 2000;
    // Readers that die together (with their spawner) may each have taken a request before their
    // end is seen: a request is asked again after that many deaths, and no more.
    static constexpr int kMaxAskedAgain = kMaxReaders;

    explicit FolderReaderPool(QObject *parent = nullptr);
    ~FolderReaderPool() override;

    // Sends request, with an id of the pool's; gives that id.
    quint64 send(marlit::FolderRequest request);
    // Nothing more of id's answer is delivered.
    void abandon(quint64 id);
    bool wanted(quint64 id) const { return m_wanted.count(id) > 0; }
    // Whether id waits for a read of the same folder that is under way.
    bool held(quint64 id) const;

    int readerCount() const { return static_cast<int>(m_readers.size()); }
    int busyCount() const;
    // Readers ended in the middle of a read and not gone yet.
    int endingCount() const { return static_cast<int>(m_ending.size()); }

signals:
    void progress(quint64 id, quint64 namesSoFar);
    // A part of id's answer. The receiver may take the watch out of it.
    void answered(const std::shared_ptr<FolderAnswer> &answer);

private:
    struct Reader;
    struct Ending;
    struct Ready
    {
        std::shared_ptr<FolderAnswer> answer;
        bool last; // the request's last part
    };

    Reader *idleReader(std::vector<Ready> &ready);
    void askForReader();
    void takeReaders();
    void replaceSpawner();
    void dispatch(Reader &reader, const marlit::FolderRequest &request, std::vector<Ready> &ready);
    static void owe(Reader &reader, const marlit::FolderRequest &request);
    // Answers what reader still owes as failures with error, and makes it idle.
    static void answerOwedParts(Reader &reader, int error, std::vector<Ready> &ready);
    void failQueued(int error, std::vector<Ready> &ready);
    bool folderBusy(const marlit::FolderRequest &request) const;
    void dispatchQueued();
    void readAnswers(Reader &reader);
    // Ends reader and drops it from the pool; the parts it still owed are answered with error,
    // or with askAgain asked once more of another reader (once per request).
    void retire(Reader &reader, int error, std::vector<Ready> &ready, bool askAgain = false);
    void deliver(std::vector<Ready> ready);
    void deliverLate();

    std::unique_ptr<marlit::ReaderSpawner> m_spawner;
    QSocketNotifier *m_spawnerNotifier = nullptr;
    QTimer *m_spawnTimer = nullptr;
    int m_asked = 0; // readers asked of the spawner, not taken yet
    std::vector<std::unique_ptr<Reader>> m_readers;
    std::vector<std::unique_ptr<Ending>> m_ending;
    std::deque<marlit::FolderRequest> m_queue; // waiting for a reader
    std::set<quint64> m_wanted;                // sent or queued, not abandoned, not fully answered
    std::map<quint64, int> m_askedAgain;       // times asked of another reader after one died
    std::vector<Ready> m_late;                 // failures met within send(), delivered next turn
    bool m_sending = false;
    quint64 m_nextId = 1;
};
