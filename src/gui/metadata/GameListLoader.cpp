#include "gui/metadata/GameListLoader.h"

#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kNiceness = 5;

using Clock = std::chrono::steady_clock;

} // namespace

struct GameListLoader::Shared
{
    struct Request
    {
        quint64 generation;
        std::string romFolder;
        marlit::GameListPlaces places;
        std::string home;
        std::shared_ptr<const marlit::FolderEntriesByPath> listings;
    };

    marlit::GameCollectionReader reader;
    std::mutex mutex;
    std::condition_variable idle;
    GameListLoader *owner = nullptr; // null once the loader is gone
    quint64 generation = 0;
    std::optional<Request> pending;
    int running = 0;                             // threads, reading or about to take the pending request
    std::multiset<Clock::time_point> readsSince; // when each read under way began
};

GameListLoader::GameListLoader(QObject *parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    qRegisterMetaType<std::shared_ptr<const marlit::GameCollection>>();
    m_shared->owner = this;
}

GameListLoader::~GameListLoader()
{
    // Reads under way finish on their own and find no one to tell; answers already posted go
    // with this object.
    const std::lock_guard lock(m_shared->mutex);
    m_shared->owner = nullptr;
    m_shared->pending.reset();
}

void GameListLoader::read(const std::string &romFolder, const marlit::GameListPlaces &places, const std::string &home,
                          std::shared_ptr<const marlit::FolderEntriesByPath> listings)
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->pending = Shared::Request{++m_shared->generation, romFolder, places, home, std::move(listings)};
    startForPending();
}

void GameListLoader::startForPending()
{
    Shared &shared = *m_shared;
    // A thread started before, not yet reading, takes it.
    if (!shared.pending || shared.running > static_cast<int>(shared.readsSince.size()))
        return;
    // A read that has gone on for kStuckMs is a file on a share that stopped answering, which
    // may hold its thread for good: it leaves its place to another, up to kMaxThreads in all.
    const Clock::time_point now = Clock::now();
    const auto answering = shared.readsSince.lower_bound(now - std::chrono::milliseconds(kStuckMs));
    if (std::distance(answering, shared.readsSince.end()) < kMaxReads && shared.running < kMaxThreads) {
        try {
            std::thread(work, m_shared).detach();
            ++shared.running;
            return;
        } catch (const std::system_error &) {
            // No thread for now: looked at again below.
        }
    }
    // Looked at again when the oldest read still answering would count as stuck (by one timer,
    // however many requests came meanwhile).
    if (m_lookingAgain)
        return;
    m_lookingAgain = true;
    const Clock::time_point again = answering != shared.readsSince.end()
                                        ? *answering + std::chrono::milliseconds(kStuckMs)
                                        : now + std::chrono::milliseconds(kStuckMs);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(again - now) + std::chrono::milliseconds(1);
    QTimer::singleShot(wait, this, [this] {
        const std::lock_guard lock(m_shared->mutex);
        m_lookingAgain = false;
        startForPending();
    });
}

void GameListLoader::stop()
{
    const std::lock_guard lock(m_shared->mutex);
    ++m_shared->generation;
    m_shared->pending.reset();
}

void GameListLoader::waitForIdle()
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->idle.wait(lock, [this] { return m_shared->running == 0; });
}

bool GameListLoader::reading() const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->running > 0 || m_shared->pending;
}

int GameListLoader::readsUnderWay() const
{
    const std::lock_guard lock(m_shared->mutex);
    return static_cast<int>(m_shared->readsSince.size());
}

void GameListLoader::work(std::shared_ptr<Shared> shared)
{
    // Background work, on as many threads as a big list takes: the window's thread goes first, so
    // that it still answers at once on a machine with two cores.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kNiceness);
    std::unique_lock lock(shared->mutex);
    while (shared->pending) {
        const Shared::Request request = std::move(*shared->pending);
        shared->pending.reset();
        const auto since = shared->readsSince.insert(Clock::now());
        lock.unlock();
        std::shared_ptr<const marlit::GameCollection> collection;
        try {
            collection = shared->reader.read(request.romFolder, request.places, request.home,
                                             request.listings ? *request.listings : marlit::FolderEntriesByPath{});
        } catch (const std::bad_alloc &) {
            auto failed = std::make_shared<marlit::GameCollection>();
            failed->romFolder = request.romFolder;
            failed->problems.push_back("there was not enough memory to read the game lists");
            collection = std::move(failed);
        }
        lock.lock();
        shared->readsSince.erase(since);
        // Posted under the lock, so the loader cannot go meanwhile; a posted call to an object
        // deleted before it runs is dropped with it.
        if (shared->owner && request.generation == shared->generation) {
            GameListLoader *owner = shared->owner;
            QMetaObject::invokeMethod(
                owner,
                [owner, collection, generation = request.generation, weak = std::weak_ptr<Shared>(shared)] {
                    const std::shared_ptr<Shared> state = weak.lock();
                    bool newest = false;
                    if (state) {
                        const std::lock_guard newestLock(state->mutex);
                        newest = generation == state->generation;
                    }
                    if (newest)
                        emit owner->collectionRead(collection);
                },
                Qt::QueuedConnection);
        }
    }
    --shared->running;
    shared->idle.notify_all();
}
