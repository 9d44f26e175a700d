#include "gui/launch/EmulatorStarter.h"

#include "core/fs/FileDescriptor.h"
#include "core/launch/CommandLine.h"
#include "core/launch/LogLine.h"
#include "core/launch/ProcessLauncher.h"
#include "gui/launch/LaunchNotice.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <sys/syscall.h>
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
    const std::string line = "marlit: " + marlit::LogLine::escaped(text) + '\n';
    (void)marlit::writeFully(STDERR_FILENO, line.data(), line.size());
}

// Through the pidfd, so the signal reaches that program or none: its number cannot have gone to
// another process. False when it has ended already.
bool sendSignal(const marlit::FileDescriptor &program, int signal)
{
    return ::syscall(SYS_pidfd_send_signal, program.get(), signal, nullptr, 0) == 0;
}

// The warning of a start first, then what became of it.
QString withWarning(const QString &warning, const QString &message)
{
    return warning.isEmpty() ? message : warning + QLatin1Char('\n') + message;
}

} // namespace

struct EmulatorStarter::Launch
{
    quint64 id = 0;
    Clock::time_point startedAt;
    std::string commandLine; // as a shell reads it
    QString warning;         // said before a failure
    marlit::LaunchWatch watch;
    marlit::FileDescriptor program; // a pidfd, once the watch has handed it over
    Notifier notifier;              // on the watch, then on the program; destroyed before both
    bool playing = false;           // playStarted was said, playEnded not yet
    bool stopping = false;          // stop was asked for
};

EmulatorStarter::EmulatorStarter(QWidget *noticeHost, QObject *parent)
    : QObject(parent), m_notice(new LaunchNotice(noticeHost))
{
    qRegisterMetaType<std::chrono::milliseconds>();
}

EmulatorStarter::~EmulatorStarter()
{
    endWatches();
}

quint64 EmulatorStarter::start(const marlit::LaunchRequest &request, const QString &warning)
{
    const quint64 id = ++m_lastLaunchId;
    m_notice->hide();
    // One line of text whatever the names hold, naming their real bytes: for the notice, its
    // "Copy" and standard error alike.
    std::string commandLine = marlit::CommandLine::terminalText(request);
    // Before the start, so that a play is never shorter than the watch that made it one.
    const Clock::time_point startedAt = Clock::now();
    marlit::ProcessLauncher::Result result = marlit::ProcessLauncher::startDetached(request, kWatchTime);
    if (!result.started) {
        tellStandardError(result.error);
        m_notice->showFailure(
            withWarning(warning, tr("Cannot start the emulator: %1").arg(QString::fromLocal8Bit(result.reason))),
            QString::fromUtf8(commandLine));
        return id;
    }
    if (!warning.isEmpty())
        m_notice->showFailure(warning, QString::fromUtf8(commandLine));
    auto launch = std::make_unique<Launch>();
    launch->id = id;
    launch->startedAt = startedAt;
    launch->commandLine = std::move(commandLine);
    launch->warning = warning;
    launch->watch = std::move(result.watch);
    // Readable when the program ends within the watch time or the time is over.
    watch(*launch, launch->watch.descriptor(), &EmulatorStarter::finishWatch);
    m_launches.push_back(std::move(launch));
    announceRunning();
    return id;
}

void EmulatorStarter::endWatches()
{
    // Taken out first: a receiver of playEnded may start or end launches itself.
    std::vector<std::unique_ptr<Launch>> launches = std::move(m_launches);
    m_launches.clear();
    for (const std::unique_ptr<Launch> &launch : launches)
        if (launch->playing)
            emit playEnded(launch->id, playedSoFar(*launch));
    announceRunning();
}

void EmulatorStarter::stop()
{
    for (const std::unique_ptr<Launch> &launch : m_launches) {
        launch->stopping = true;
        if (launch->program.valid())
            endProgram(*launch);
    }
}

void EmulatorStarter::endProgram(Launch &launch)
{
    if (!sendSignal(launch.program, SIGTERM))
        return; // it has ended already: its pidfd is readable, and endPlay follows
    QTimer::singleShot(kStopGrace, this, [this, id = launch.id] {
        for (const std::unique_ptr<Launch> &each : m_launches)
            if (each->id == id && each->program.valid())
                sendSignal(each->program, SIGKILL);
    });
}

void EmulatorStarter::announceRunning()
{
    if (gameRunning() == m_announcedRunning)
        return;
    m_announcedRunning = gameRunning();
    emit gameRunningChanged(m_announcedRunning);
}

void EmulatorStarter::watch(Launch &launch, int descriptor, void (EmulatorStarter::*handler)(Launch *))
{
    // A child, so that one still waiting for its deferred deletion goes with us at the latest.
    launch.notifier.reset(new QSocketNotifier(descriptor, QSocketNotifier::Read, this));
    Launch *raw = &launch;
    connect(launch.notifier.get(), &QSocketNotifier::activated, this, [this, raw, handler] { (this->*handler)(raw); });
}

void EmulatorStarter::finishWatch(Launch *launch)
{
    launch->notifier.reset();
    std::optional<marlit::WatchReport> report = launch->watch.finish(); // there: it does not wait
    const quint64 id = launch->id;
    // Every change is made before the signals: a receiver may start or end launches itself.
    if (!report) {
        forget(launch); // the watching process was killed: nothing is known
    } else if (report->end && report->end->failed()) {
        tellStandardError(launch->commandLine + ' ' + report->end->describe());
        m_notice->showFailure(
            withWarning(launch->warning, tr("The emulator %1").arg(QString::fromStdString(report->end->describe()))),
            QString::fromUtf8(launch->commandLine), QString::fromLocal8Bit(report->lastLines()));
        forget(launch);
    } else if (report->end) {
        const std::chrono::milliseconds played = playedSoFar(*launch);
        forget(launch);
        emit playStarted(id);
        emit playEnded(id, played);
    } else {
        launch->playing = true;
        // Without a pidfd (an old kernel) the play lasts until endWatches.
        if (report->program.valid()) {
            launch->program = std::move(report->program);
            watch(*launch, launch->program.get(), &EmulatorStarter::endPlay);
            if (launch->stopping)
                endProgram(*launch);
        }
        emit playStarted(id);
    }
    emit watchFinished();
    announceRunning();
}

void EmulatorStarter::endPlay(Launch *launch)
{
    const quint64 id = launch->id;
    const std::chrono::milliseconds played = playedSoFar(*launch);
    forget(launch);
    emit playEnded(id, played);
    announceRunning();
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
