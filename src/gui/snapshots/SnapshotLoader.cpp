#include "gui/snapshots/SnapshotLoader.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <new>
#include <utility>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#endif

namespace {

// A decoder that wakes up must not take the processor from the UI thread in the middle of handling
// a key press (with two cores and two decoders it would, for a whole time slice). Linux's batch
// policy keeps a thread's share of the processor but gives up preempting others when it wakes.
void yieldToTheUiThread()
{
#ifdef __linux__
    const sched_param parameters{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &parameters);
#endif
}

bool validSlot(int slot)
{
    return slot >= 0 && slot < SnapshotLoader::kSlots;
}

// A cell's size in the screen's pixels, as SnapshotImage::draw will want the picture on a dense
// screen.
QSize devicePixels(QSize cell)
{
    return (QSizeF(cell) * (qGuiApp ? qGuiApp->devicePixelRatio() : 1.0)).toSize();
}

} // namespace

// One picture to find and decode. What to decode never changes; whom it is for is changed only
// under the loader's mutex.
struct SnapshotLoader::Job
{
    std::string directory;
    std::string romName;
    std::string path;              // set: a known file, not looked up
    std::string insteadOfFallback; // set: shown when the look-up finds nothing, as a game's own
    QSize size;
    // How the known file is drawn; a game's own picture in place of the fallback keeps its
    // proportions.
    SnapshotImage::Fit fit = SnapshotImage::Fit::Stretch;

    int slot = -1; // the slot it is delivered to; -1: for the cache only
    quint64 generation = 0;
    bool started = false; // taken by a worker
    std::atomic<bool> abandoned{false};

    bool sameWork(const std::string &otherDirectory, const std::string &otherRomName, const std::string &otherPath,
                  QSize otherSize) const
    {
        return directory == otherDirectory && romName == otherRomName && path == otherPath && size == otherSize;
    }
};

SnapshotLoader::SnapshotLoader(const std::string &workFolder, QObject *parent)
    : SnapshotLoader(std::make_shared<marlit::SnapshotFinder>(workFolder + marlit::SnapshotFinder::kNoShotFile), parent)
{
}

SnapshotLoader::SnapshotLoader(std::shared_ptr<marlit::SnapshotFinder> finder, QObject *parent)
    : QObject(parent), m_finder(std::move(finder))
{
    qRegisterMetaType<SnapshotImage>();
    // One picture per slot decodes at a time; more threads would only compete for stale work.
    for (int i = 0; i < kSlots; ++i)
        m_workers.emplace_back([this] { work(); });
}

SnapshotLoader::~SnapshotLoader()
{
    // Whatever has not started is dropped; what runs stops at its next read and is waited for.
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (const JobPtr &job : m_slotJobs)
            if (job)
                abandon(job);
        for (const JobPtr &job : std::vector<JobPtr>(m_prefetchJobs))
            abandon(job);
    }
    m_workAvailable.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
}

void SnapshotLoader::requestSnapshot(int slot, const std::string &directory, const std::string &romName,
                                     QSize targetSize, const std::string &insteadOfFallback)
{
    request(slot, directory, romName, {}, SnapshotImage::Fit::Stretch, targetSize, insteadOfFallback);
}

void SnapshotLoader::requestFile(int slot, const std::string &path, QSize targetSize, SnapshotImage::Fit fit)
{
    request(slot, {}, {}, path, fit, targetSize, {});
}

void SnapshotLoader::cancel(int slot)
{
    if (!validSlot(slot))
        return;
    const auto index = static_cast<std::size_t>(slot);
    ++m_generations[index];
    m_delivered[index].reset();
    const std::lock_guard lock(m_mutex);
    if (m_slotJobs[index])
        abandon(m_slotJobs[index]);
}

marlit::SnapshotSearch SnapshotLoader::instead(const marlit::SnapshotSearch &search, const std::string &path)
{
    marlit::SnapshotSearch replaced;
    replaced.romName = search.romName;
    replaced.path = path;
    return replaced;
}

std::optional<marlit::SnapshotSearch> SnapshotLoader::heldSearch(const std::string &directory,
                                                                 const std::string &romName, const std::string &path)
{
    if (!path.empty()) {
        marlit::SnapshotSearch search;
        search.path = path;
        return search;
    }
    if (romName.empty())
        return std::nullopt;
    return m_finder->searchHeld(directory, romName);
}

void SnapshotLoader::request(int slot, std::string directory, std::string romName, std::string path,
                             SnapshotImage::Fit fit, QSize cell, const std::string &insteadOfFallback)
{
    if (!validSlot(slot))
        return;
    const QSize targetSize = devicePixels(cell);
    const auto index = static_cast<std::size_t>(slot);
    const quint64 generation = ++m_generations[index];
    m_delivered[index].reset();

    // A picture decoded before for this cell, from a file unchanged since, is shown at once.
    std::optional<marlit::SnapshotSearch> held = heldSearch(directory, romName, path);
    SnapshotImage::Fit heldFit = fit;
    if (held && held->fellBack && !insteadOfFallback.empty()) {
        held = instead(*held, insteadOfFallback);
        heldFit = SnapshotImage::Fit::KeepProportions;
    }
    if (held && deliverCached(slot, held, targetSize, heldFit))
        return;

    const std::lock_guard lock(m_mutex);
    JobPtr job;
    // A prefetch of the same picture, queued or under way, is taken over rather than started again.
    const auto prefetched = std::find_if(m_prefetchJobs.begin(), m_prefetchJobs.end(), [&](const JobPtr &candidate) {
        return candidate->sameWork(directory, romName, path, targetSize);
    });
    if (prefetched != m_prefetchJobs.end() && insteadOfFallback.empty()) {
        job = *prefetched;
        m_prefetchJobs.erase(prefetched);
        const auto queued = std::find(m_prefetches.begin(), m_prefetches.end(), job);
        if (queued != m_prefetches.end()) {
            m_prefetches.erase(queued);
            m_requests.push_back(job);
        }
    }
    if (m_slotJobs[index] && m_slotJobs[index] != job)
        abandon(m_slotJobs[index]);
    if (!job) {
        job = std::make_shared<Job>();
        job->directory = std::move(directory);
        job->romName = std::move(romName);
        job->path = std::move(path);
        job->fit = fit;
        job->insteadOfFallback = insteadOfFallback;
        job->size = targetSize;
        m_requests.push_back(job);
        ++m_unfinished;
    }
    job->slot = slot;
    job->generation = generation;
    m_slotJobs[index] = job;
    m_workAvailable.notify_one();
}

bool SnapshotLoader::deliverCached(int slot, const std::optional<marlit::SnapshotSearch> &search, QSize targetSize,
                                   SnapshotImage::Fit fit)
{
    std::optional<SnapshotImage> picture = m_cache.find(search->path, targetSize, fit);
    if (!picture)
        return false;
    const auto index = static_cast<std::size_t>(slot);
    {
        const std::lock_guard lock(m_mutex);
        if (m_slotJobs[index])
            abandon(m_slotJobs[index]);
    }
    m_delivered[index] = Delivered{*search, !picture->isNull()};
    emit snapshotReady(slot, *picture);
    return true;
}

void SnapshotLoader::prefetch(const std::array<std::string, kSlots> &directories,
                              const std::array<QSize, kSlots> &sizes, const std::vector<std::string> &romNames)
{
    struct Wanted
    {
        std::string directory;
        std::string romName;
        QSize size;
    };
    std::vector<Wanted> wanted;
    for (const std::string &romName : romNames) {
        for (std::size_t slot = 0; slot < kSlots; ++slot) {
            // Only pictures for a cell are kept, so there is nothing to prefetch without one.
            if (directories[slot].empty() || romName.empty() || !sizes[slot].isValid() || sizes[slot].isEmpty())
                continue;
            const QSize size = devicePixels(sizes[slot]);
            const std::optional<marlit::SnapshotSearch> held = m_finder->searchHeld(directories[slot], romName);
            if (held && m_cache.find(held->path, size))
                continue;
            wanted.push_back({directories[slot], romName, size});
        }
    }

    const std::lock_guard lock(m_mutex);
    std::vector<JobPtr> previous;
    previous.swap(m_prefetchJobs);
    for (const Wanted &picture : wanted) {
        const auto same = [&](const JobPtr &job) {
            return job && job->sameWork(picture.directory, picture.romName, {}, picture.size);
        };
        // What a slot has asked for already is under way for it.
        if (std::any_of(m_slotJobs.begin(), m_slotJobs.end(), same))
            continue;
        const auto kept = std::find_if(previous.begin(), previous.end(), same);
        if (kept != previous.end()) {
            m_prefetchJobs.push_back(*kept);
            previous.erase(kept);
            continue;
        }
        auto job = std::make_shared<Job>();
        job->directory = picture.directory;
        job->romName = picture.romName;
        job->size = picture.size;
        m_prefetchJobs.push_back(std::move(job));
        ++m_unfinished;
    }
    for (const JobPtr &job : previous)
        abandon(job);
    // The queue holds what is wanted and not under way, in the order now wanted.
    m_prefetches.clear();
    for (const JobPtr &job : m_prefetchJobs)
        if (!job->started)
            m_prefetches.push_back(job);
    if (!m_prefetches.empty())
        m_workAvailable.notify_all();
}

void SnapshotLoader::abandon(const JobPtr &job)
{
    job->abandoned = true;
    for (std::deque<JobPtr> *queue : {&m_requests, &m_prefetches}) {
        const auto queued = std::find(queue->begin(), queue->end(), job);
        if (queued != queue->end()) {
            queue->erase(queued);
            --m_unfinished; // never runs
        }
    }
    if (job->slot >= 0 && m_slotJobs[static_cast<std::size_t>(job->slot)] == job)
        m_slotJobs[static_cast<std::size_t>(job->slot)].reset();
    m_prefetchJobs.erase(std::remove(m_prefetchJobs.begin(), m_prefetchJobs.end(), job), m_prefetchJobs.end());
    if (m_unfinished == 0)
        m_workDone.notify_all();
}

std::string SnapshotLoader::whyNoPicture(int slot) const
{
    if (!validSlot(slot))
        return {};
    const std::optional<Delivered> &delivered = m_delivered[static_cast<std::size_t>(slot)];
    return delivered ? delivered->search.whyNoPicture(delivered->pictureRead) : std::string();
}

void SnapshotLoader::waitForWorkers()
{
    std::unique_lock lock(m_mutex);
    m_workDone.wait(lock, [this] { return m_unfinished == 0; });
}

void SnapshotLoader::waitForIdle()
{
    for (;;) {
        waitForWorkers();
        // Finished work has posted its delivery to this thread; handling it may ask for more.
        QCoreApplication::processEvents();
        const std::lock_guard lock(m_mutex);
        if (m_unfinished == 0 && m_results.empty())
            return;
    }
}

void SnapshotLoader::deliverResults()
{
    std::vector<Result> results;
    {
        const std::lock_guard lock(m_mutex);
        results.swap(m_results);
    }
    for (Result &result : results) {
        const auto index = static_cast<std::size_t>(result.slot);
        if (m_generations[index] != result.generation)
            continue; // asked for again or cancelled since
        m_delivered[index] = Delivered{std::move(result.search), !result.image.isNull()};
        emit snapshotReady(result.slot, result.image);
    }
}

void SnapshotLoader::work()
{
    yieldToTheUiThread();
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_workAvailable.wait(lock, [this] { return m_stopping || !m_requests.empty() || !m_prefetches.empty(); });
        if (m_stopping)
            return;
        std::deque<JobPtr> &queue = m_requests.empty() ? m_prefetches : m_requests;
        const JobPtr job = queue.front();
        queue.pop_front();
        job->started = true;
        lock.unlock();

        Result result = run(*job);

        lock.lock();
        if (!job->abandoned && job->slot >= 0) {
            const auto index = static_cast<std::size_t>(job->slot);
            result.slot = job->slot;
            result.generation = job->generation;
            if (m_slotJobs[index] == job)
                m_slotJobs[index].reset();
            if (m_results.empty())
                QMetaObject::invokeMethod(this, "deliverResults", Qt::QueuedConnection);
            m_results.push_back(std::move(result));
        }
        m_prefetchJobs.erase(std::remove(m_prefetchJobs.begin(), m_prefetchJobs.end(), job), m_prefetchJobs.end());
        if (--m_unfinished == 0)
            m_workDone.notify_all();
    }
}

SnapshotLoader::Result SnapshotLoader::run(Job &job)
{
    Result result{-1, 0, {}, {}};
    const auto wanted = [&job] { return !job.abandoned.load(std::memory_order_relaxed); };
    if (!wanted())
        return result;
    try {
        // Nothing to look for gives no file, which reads as a null picture.
        SnapshotImage::Fit fit = job.fit;
        if (!job.path.empty() || job.romName.empty())
            result.search.path = job.path;
        else
            result.search = m_finder->search(job.directory, job.romName);
        if (result.search.fellBack && !job.insteadOfFallback.empty()) {
            result.search = instead(result.search, job.insteadOfFallback);
            fit = SnapshotImage::Fit::KeepProportions;
        }
        if (!wanted() || result.search.path.empty())
            return result;
        if (std::optional<SnapshotImage> cached = m_cache.find(result.search.path, job.size, fit)) {
            result.image = std::move(*cached);
            return result;
        }
        std::optional<marlit::FileStamp> stamp;
        std::string failure;
        result.image = SnapshotImage::load(result.search.path, job.size, wanted, &stamp, &failure, fit);
        // A picture read whole is kept, and so is a failure that was not a stop on request.
        if ((!result.image.isNull() || wanted()) && job.size.isValid() && !job.size.isEmpty())
            m_cache.insert(result.search.path, job.size, stamp, result.image);
        // A ROM's picture found but not shown: the fallback picture takes the slot, and the
        // slot's tooltip says why.
        if (result.image.isNull() && wanted() && !job.romName.empty() && !result.search.fellBack) {
            result.search.unreadablePath = std::exchange(result.search.path, m_finder->fallbackPicture());
            result.search.unreadableReason = failure.empty() ? "it cannot be read as a picture" : failure;
            result.search.fellBack = true;
            result.image = SnapshotImage::load(result.search.path, job.size, wanted);
        }
    } catch (const std::bad_alloc &) {
        result.image = SnapshotImage(); // shown as a picture that could not be read
    }
    return result;
}
