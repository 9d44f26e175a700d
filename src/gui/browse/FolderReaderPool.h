#pragma once

#include "core/browse/FolderListing.h"
#include "core/browse/FolderRequest.h"
#include "core/browse/ReaderSpawner.h"
#include "core/fs/FileDescriptor.h"

#include <QObject>

#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QSocketNotifier;

// One part of a reader's answer: a list, a tree, the presence of files checked, or the watch
// of folders watched only (a listing with none of these), with the inotify descriptor that
// watches it when one was asked for.
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
// reads after it. The pool's end ends every reader and waits for none.
class FolderReaderPool : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxReaders = 4;

    explicit FolderReaderPool(QObject *parent = nullptr);
    ~FolderReaderPool() override;

    // Sends request, with an id of the pool's; gives that id.
    quint64 send(marlit::FolderRequest request);
    // Nothing more of id's answer is delivered.
    void abandon(quint64 id);
    bool wanted(quint64 id) const { return m_wanted.count(id) > 0; }

    int readerCount() const { return static_cast<int>(m_readers.size()); }
    int busyCount() const;

signals:
    void progress(quint64 id, quint64 namesSoFar);
    // A part of id's answer. The receiver may take the watch out of it.
    void answered(const std::shared_ptr<FolderAnswer> &answer);

private:
    struct Reader;
    struct Ready
    {
        std::shared_ptr<FolderAnswer> answer;
        bool last; // the request's last part
    };

    Reader *idleReader();
    Reader *startReader();
    void dispatch(Reader &reader, const marlit::FolderRequest &request);
    static void owe(Reader &reader, const marlit::FolderRequest &request);
    // Answers what reader still owes as failures with error, and makes it idle.
    static void answerOwedParts(Reader &reader, int error, std::vector<Ready> &ready);
    void dispatchQueued();
    void readAnswers(Reader &reader);
    // Ends reader and drops it from the pool; the parts it still owed are answered with error.
    void retire(Reader &reader, int error, std::vector<Ready> &ready);
    void deliver(const std::vector<Ready> &ready);

    marlit::ReaderSpawner m_spawner;
    std::vector<std::unique_ptr<Reader>> m_readers;
    std::deque<marlit::FolderRequest> m_queue; // waiting for a reader
    std::set<quint64> m_wanted;                // sent or queued, not abandoned, not fully answered
    quint64 m_nextId = 1;
};
