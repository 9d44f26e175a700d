#include "core/history/HistoryWorker.h"

#include "core/history/HistoryStore.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace marlit {

namespace {

constexpr int kNiceness = 10;

} // namespace

struct HistoryWorker::Shared
{
    explicit Shared(std::string databasePath) : store(std::move(databasePath)) {}

    void run()
    {
        // Background work: on a busy machine the window's thread goes first.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kNiceness);
        store.open();
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return !jobs.empty() || stopping; });
            if (jobs.empty())
                break;
            Job job = std::move(jobs.front());
            jobs.pop_front();
            lock.unlock();
            job(store);
            job = nullptr; // what it holds goes before it counts as done
            lock.lock();
            ++done;
            changed.notify_all();
        }
        finished = true;
        changed.notify_all();
    }

    HistoryStore store; // the worker thread's alone

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    unsigned long long posted = 0;
    unsigned long long done = 0;
    bool stopping = false;
    bool finished = false;
    std::thread thread;
};

HistoryWorker::HistoryWorker(std::string databasePath) : m_shared(std::make_shared<Shared>(std::move(databasePath)))
{
    // The thread holds the shared state itself, so a thread left behind at close stays sound.
    m_shared->thread = std::thread([shared = m_shared] { shared->run(); });
}

HistoryWorker::~HistoryWorker()
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->stopping = true;
    m_shared->changed.notify_all();
    const bool finished = m_shared->changed.wait_for(lock, kCloseWait, [this] { return m_shared->finished; });
    lock.unlock();
    if (finished)
        m_shared->thread.join();
    else
        m_shared->thread.detach();
}

void HistoryWorker::post(Job job)
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->jobs.push_back(std::move(job));
    ++m_shared->posted;
    m_shared->changed.notify_all();
}

bool HistoryWorker::waitUntilDone(std::chrono::milliseconds bound)
{
    std::unique_lock lock(m_shared->mutex);
    const unsigned long long target = m_shared->posted;
    return m_shared->changed.wait_for(lock, bound, [&] { return m_shared->done >= target; });
}

} // namespace marlit
