#include "gui/history/PlayHistory.h"

#include "core/history/HistoryStore.h"

#include <QMetaObject>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

std::int64_t wallClockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A launch that never became a play (a failed start) is forgotten once its watch is long over.
constexpr std::chrono::seconds kUnstartedKept{60};

} // namespace

// Answers on their way from the worker to the UI thread. The receiver is cleared, under the lock,
// when the object goes, so that a late answer is never handed to it.
struct PlayHistory::Mailbox
{
    std::mutex mutex;
    PlayHistory *receiver = nullptr;
    std::vector<std::function<void(PlayHistory &)>> deliveries;

    void send(std::function<void(PlayHistory &)> delivery)
    {
        const std::lock_guard lock(mutex);
        if (!receiver)
            return;
        deliveries.push_back(std::move(delivery));
        if (deliveries.size() == 1)
            QMetaObject::invokeMethod(receiver, "deliver", Qt::QueuedConnection);
    }
};

PlayHistory::PlayHistory(const std::string &workFolder, QObject *parent)
    : QObject(parent), m_mailbox(std::make_shared<Mailbox>()), m_worker(workFolder + marlit::HistoryStore::kFileName)
{
    m_mailbox->receiver = this;
    post([](marlit::HistoryStore &) {}); // says at once what opening found
}

PlayHistory::~PlayHistory()
{
    const std::lock_guard lock(m_mailbox->mutex);
    m_mailbox->receiver = nullptr;
    m_mailbox->deliveries.clear();
}

void PlayHistory::post(std::function<void(marlit::HistoryStore &)> job)
{
    m_worker.post([job = std::move(job), mailbox = m_mailbox](marlit::HistoryStore &store) {
        job(store);
        for (std::string &text : store.takeNotices())
            mailbox->send(
                [text = std::move(text)](PlayHistory &history) { emit history.notice(QString::fromLocal8Bit(text)); });
        if (store.waitingWrites() > 0)
            mailbox->send([](PlayHistory &history) { history.planRetry(); });
    });
}

void PlayHistory::planRetry()
{
    // Writes kept for a locked history go in without waiting for the next play.
    if (m_retryPlanned)
        return;
    m_retryPlanned = true;
    QTimer::singleShot(kLockedRetry, this, [this] {
        m_retryPlanned = false;
        post([](marlit::HistoryStore &store) { store.retryWaitingWrites(); });
    });
}

template <typename Result>
void PlayHistory::ask(Question question, std::function<Result(marlit::HistoryStore &)> work,
                      std::function<void(Result &&)> answer)
{
    const std::size_t kind = static_cast<std::size_t>(question);
    const quint64 generation = ++m_generations[kind];
    post([work = std::move(work), answer = std::move(answer), kind, generation,
          mailbox = m_mailbox](marlit::HistoryStore &store) mutable {
        auto result = std::make_shared<Result>(work(store));
        mailbox->send([answer = std::move(answer), result, kind, generation](PlayHistory &history) {
            if (history.m_generations[kind] == generation)
                answer(std::move(*result));
        });
    });
}

void PlayHistory::deliver()
{
    std::vector<std::function<void(PlayHistory &)>> deliveries;
    {
        const std::lock_guard lock(m_mailbox->mutex);
        deliveries.swap(m_mailbox->deliveries);
    }
    for (const auto &delivery : deliveries)
        delivery(*this);
}

void PlayHistory::recordPlay(const std::string &path, const marlit::SystemKey &system, std::int64_t startedAtMs)
{
    post([=](marlit::HistoryStore &store) { store.recordPlay(path, system, startedAtMs); });
}

void PlayHistory::addPlayedTime(const std::string &path, std::int64_t ms)
{
    post([=](marlit::HistoryStore &store) { store.addPlayedTime(path, ms); });
}

void PlayHistory::setFavourite(const std::string &path, const marlit::SystemKey &system, bool favourite)
{
    post([=](marlit::HistoryStore &store) { store.setFavourite(path, system, favourite); });
}

void PlayHistory::forget(const std::string &path)
{
    post([=](marlit::HistoryStore &store) { store.forget(path); });
}

void PlayHistory::requestFavouritePaths(const marlit::SystemKey &system,
                                        std::function<void(std::unordered_set<std::string> &&)> answer)
{
    ask<std::unordered_set<std::string>>(
        Question::Stars,
        [system](marlit::HistoryStore &store) {
            std::vector<std::string> paths = store.favouritePaths(system);
            // Built here, so the UI thread only takes it over.
            return std::unordered_set<std::string>(std::make_move_iterator(paths.begin()),
                                                   std::make_move_iterator(paths.end()));
        },
        std::move(answer));
}

void PlayHistory::requestFavourites(const marlit::SystemKey &system, std::function<void(ViewAnswer &&)> answer)
{
    ask<ViewAnswer>(
        Question::View,
        [system](marlit::HistoryStore &store) {
            std::vector<marlit::RomHistory> rows = store.favourites(system);
            return ViewAnswer{std::move(rows), store.unreadable()};
        },
        std::move(answer));
}

void PlayHistory::requestRecentlyPlayed(const marlit::SystemKey &system, std::function<void(ViewAnswer &&)> answer)
{
    ask<ViewAnswer>(
        Question::View,
        [system](marlit::HistoryStore &store) {
            std::vector<marlit::RomHistory> rows = store.recentlyPlayed(system, kRecentLimit);
            return ViewAnswer{std::move(rows), store.unreadable()};
        },
        std::move(answer));
}

void PlayHistory::requestPlayed(const marlit::SystemKey &system,
                                std::function<void(std::vector<marlit::RomHistory> &&)> answer)
{
    ask<std::vector<marlit::RomHistory>>(
        Question::Plays, [system](marlit::HistoryStore &store) { return store.recentlyPlayed(system, kPlayedLimit); },
        std::move(answer));
}

void PlayHistory::requestSummary(const std::string &path,
                                 std::function<void(std::optional<marlit::RomHistory> &&)> answer)
{
    ask<std::optional<marlit::RomHistory>>(
        Question::Summary, [path](marlit::HistoryStore &store) { return store.find(path); }, std::move(answer));
}

void PlayHistory::cancel(Question question)
{
    ++m_generations[static_cast<std::size_t>(question)];
}

void PlayHistory::expectPlay(quint64 launchId, std::string path, marlit::SystemKey system)
{
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(m_launches, [&](const auto &entry) {
        return !entry.second.counted && now - entry.second.asked > kUnstartedKept;
    });
    m_launches[launchId] = Launch{std::move(path), std::move(system), wallClockMs(), now, false};
}

void PlayHistory::playStarted(quint64 launchId)
{
    const auto found = m_launches.find(launchId);
    if (found == m_launches.end() || found->second.counted)
        return;
    found->second.counted = true;
    recordPlay(found->second.path, found->second.system, found->second.startedAtMs);
}

void PlayHistory::playEnded(quint64 launchId, std::chrono::milliseconds played)
{
    const auto found = m_launches.find(launchId);
    if (found == m_launches.end())
        return;
    if (found->second.counted)
        addPlayedTime(found->second.path, played.count());
    m_launches.erase(found);
}

bool PlayHistory::finish(std::chrono::milliseconds bound)
{
    auto left = std::make_shared<std::atomic<std::size_t>>(0);
    m_worker.post([left](marlit::HistoryStore &store) {
        store.retryWaitingWrites();
        *left = store.waitingWrites();
    });
    const bool done = m_worker.waitUntilDone(bound);
    if (*left > 0)
        std::fprintf(stderr,
                     "marlit: %zu changes to the play history were not written: %s is locked by another program.\n",
                     left->load(), marlit::HistoryStore::kFileName);
    return done;
}
