#include "gui/launch/EmulatorStarter.h"

#include "core/fs/FileDescriptor.h"
#include "core/launch/CommandLine.h"
#include "core/launch/ProcessLauncher.h"
#include "gui/launch/LaunchNotice.h"

#include <QSocketNotifier>

#include <algorithm>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A notifier may be the sender of the signal being handled: it goes once that is over.
struct DeleteLater
{
    void operator()(QSocketNotifier *notifier) const
    {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
};
using Notifier = std::unique_ptr<QSocketNotifier, DeleteLater>;

// One line on standard error. It may be a closed pipe or a full disk: the notice has said it
// already, so a failed write is nothing to act on.
void tellStandardError(const std::string &text)
{
    const std::string line = "marlit: " + text + '\n';
    (void)marlit::writeFully(STDERR_FILENO, line.data(), line.size());
}

} // namespace

struct EmulatorStarter::Launch
{
    quint64 id = 0;
    Clock::time_point startedAt;
    QString commandLine;
    marlit::LaunchWatch watch;
    Notifier notifier;
    bool playing = false; // playStarted was said, playEnded not yet
};

EmulatorStarter::EmulatorStarter(QWidget *noticeHost, QObject *parent)
    : QObject(parent), m_notice(new LaunchNotice(noticeHost))
{
    qRegisterMetaType<std::chrono::milliseconds>();
}

// Dropping the watches stops the processes that watch; the emulators run on.
EmulatorStarter::~EmulatorStarter()
{
    endWatches();
}

quint64 EmulatorStarter::start(const marlit::LaunchRequest &request)
{
    const quint64 id = ++m_lastLaunchId;
    m_notice->hide();
    const QString commandLine = QString::fromLocal8Bit(marlit::CommandLine::shellText(request));
    // Before the start, so that a play is never shorter than the watch that made it one.
    const Clock::time_point startedAt = Clock::now();
    marlit::ProcessLauncher::Result result = marlit::ProcessLauncher::startDetached(request, kWatchTime);
    if (!result.started) {
        tellStandardError(result.error);
        m_notice->showFailure(tr("Cannot start the emulator: %1").arg(QString::fromLocal8Bit(result.reason)),
                              commandLine);
        return id;
    }
    auto launch = std::make_unique<Launch>();
    launch->id = id;
    launch->startedAt = startedAt;
    launch->commandLine = commandLine;
    launch->watch = std::move(result.watch);
    // The pipe becomes readable when the program ends within the watch time or the time is over.
    launch->notifier.reset(new QSocketNotifier(launch->watch.descriptor(), QSocketNotifier::Read));
    Launch *raw = launch.get();
    connect(launch->notifier.get(), &QSocketNotifier::activated, this, [this, raw] { finishWatch(raw); });
    m_launches.push_back(std::move(launch));
    return id;
}

void EmulatorStarter::endWatches()
{
    // Taken out first: a receiver of playEnded may start or end watches itself.
    std::vector<std::unique_ptr<Launch>> launches = std::move(m_launches);
    m_launches.clear();
    for (const std::unique_ptr<Launch> &launch : launches)
        if (launch->playing)
            emit playEnded(launch->id, playedSoFar(*launch));
}

void EmulatorStarter::finishWatch(Launch *launch)
{
    launch->notifier.reset();
    const std::optional<marlit::ProgramEnd> end = launch->watch.finish();
    const quint64 id = launch->id;
    // Every change is made before the signals: a receiver may start or end launches itself.
    if (end && end->failed()) {
        std::fprintf(stderr, "marlit: %s %s\n", launch->commandLine.toLocal8Bit().constData(), end->describe().c_str());
        m_notice->showFailure(tr("The emulator %1").arg(QString::fromStdString(end->describe())), launch->commandLine);
        forget(launch);
    } else if (end) {
        const std::chrono::milliseconds played = playedSoFar(*launch);
        forget(launch);
        emit playStarted(id);
        emit playEnded(id, played);
    } else {
        launch->playing = true;
        emit playStarted(id);
    }
    emit watchFinished();
}

std::chrono::milliseconds EmulatorStarter::playedSoFar(const Launch &launch)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - launch.startedAt);
}

void EmulatorStarter::forget(Launch *launch)
{
    const auto found = std::find_if(m_launches.begin(), m_launches.end(),
                                    [launch](const std::unique_ptr<Launch> &each) { return each.get() == launch; });
    if (found != m_launches.end())
        m_launches.erase(found);
}
