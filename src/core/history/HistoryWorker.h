#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace marlit {

class HistoryStore;

// Runs the play history's work on a thread of its own, one job after another in the order they
// were posted, so that the disk and other processes' locks never hold up the caller. The database
// is opened on that thread, as its first job: creating the worker never waits for it.
//
// Closing waits a bounded time for what is queued; a thread stuck in the disk beyond that is left
// behind (with everything it uses) and never waited for.
class HistoryWorker
{
public:
    using Job = std::function<void(HistoryStore &)>;
    static constexpr std::chrono::milliseconds kCloseWait{2000};

    explicit HistoryWorker(std::string databasePath);
    ~HistoryWorker(); // runs what is queued, waiting at most kCloseWait
    HistoryWorker(const HistoryWorker &) = delete;
    HistoryWorker &operator=(const HistoryWorker &) = delete;

    // Queues a job; never waits for the thread.
    void post(Job job);
    // Waits until every job posted so far has run, at most bound; false when the time ran out.
    bool waitUntilDone(std::chrono::milliseconds bound);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace marlit
