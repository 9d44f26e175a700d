#include "gui/snapshots/SnapshotLoader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFuture>
#include <QGuiApplication>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <new>
#include <utility>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#endif

namespace {

constexpr int kSlots = 2;

// A decoder that wakes up must not take the processor from the UI thread in the middle of handling
// a key press (with two cores and two decoders it would, for a whole time slice). Linux's batch
// policy keeps a thread's share of the processor but gives up preempting others when it wakes.
void yieldToTheUiThread()
{
#ifdef __linux__
    thread_local bool done = false;
    if (!done) {
        done = true;
        const sched_param parameters{};
        pthread_setschedparam(pthread_self(), SCHED_BATCH, &parameters);
    }
#endif
}

// What a task hands back to the UI thread.
struct Outcome
{
    bool stale = true;
    SnapshotImage image;
};

} // namespace

SnapshotLoader::SnapshotLoader(const std::string &workFolder, QObject *parent)
    : QObject(parent), m_finder(std::make_shared<marlit::SnapshotFinder>(workFolder + marlit::SnapshotFinder::kNoShotFile)),
      m_generations(std::make_shared<std::array<std::atomic<quint64>, kSlots>>())
{
    // One picture per slot decodes at a time; more threads would only compete for stale work.
    m_pool.setMaxThreadCount(kSlots);
    qRegisterMetaType<SnapshotImage>();
}

SnapshotLoader::~SnapshotLoader()
{
    // Whatever has not started yet returns at once; what runs is waited for, as it uses the finder.
    for (std::atomic<quint64> &generation : *m_generations)
        ++generation;
    m_pool.waitForDone();
}

void SnapshotLoader::requestSnapshot(int slot, const std::string &directory, const std::string &romName,
                                     QSize targetSize)
{
    start(slot, directory, romName, {}, targetSize);
}

void SnapshotLoader::requestFile(int slot, const std::string &path, QSize targetSize)
{
    start(slot, {}, {}, path, targetSize);
}

void SnapshotLoader::cancel(int slot)
{
    if (slot >= 0 && slot < kSlots)
        ++(*m_generations)[static_cast<std::size_t>(slot)];
}

void SnapshotLoader::waitForIdle()
{
    // Finished tasks have posted their deliveries to this thread; handling them may ask for more.
    while (m_pending > 0) {
        m_pool.waitForDone();
        QCoreApplication::processEvents();
        if (m_pending > 0)
            QThread::yieldCurrentThread();
    }
}

void SnapshotLoader::start(int slot, std::string directory, std::string romName, std::string path, QSize targetSize)
{
    if (slot < 0 || slot >= kSlots)
        return;
    const auto index = static_cast<std::size_t>(slot);
    const quint64 generation = ++(*m_generations)[index];
    ++m_pending;
    // Scaled for the screen's pixels, as SnapshotImage::draw will want it on a dense screen.
    const QSize pixels = (QSizeF(targetSize) * (qGuiApp ? qGuiApp->devicePixelRatio() : 1.0)).toSize();

    // The task holds its own references: it never touches the loader itself.
    auto task = [finder = m_finder, generations = m_generations, index, generation, directory = std::move(directory),
                 romName = std::move(romName), path = std::move(path), pixels]() -> Outcome {
        const auto current = [&] { return (*generations)[index].load() == generation; };
        if (!current())
            return {};
        yieldToTheUiThread();
        try {
            // Nothing to look for gives no file, which reads as a null picture.
            const std::string file = !path.empty()     ? path
                                     : romName.empty() ? std::string()
                                                       : finder->find(directory, romName);
            if (!current())
                return {};
            if (file.empty())
                return {false, SnapshotImage()};
            // A newer request stops this decode at its next read of the file.
            const std::function<bool()> wanted = current;
            SnapshotImage image = SnapshotImage::load(file, pixels, wanted);
            if (!current())
                return {};
            return {false, std::move(image)};
        } catch (const std::bad_alloc &) {
            return {false, SnapshotImage()}; // shown as a picture that could not be read
        }
    };

    QtConcurrent::run(&m_pool, std::move(task)).then(this, [this, index, generation](const Outcome &outcome) {
        --m_pending;
        if (!outcome.stale && (*m_generations)[index].load() == generation)
            emit snapshotReady(static_cast<int>(index), outcome.image);
    });
}
