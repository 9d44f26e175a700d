#pragma once

#include "core/launch/LaunchRequest.h"
#include "core/launch/LaunchWatch.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <vector>

class LaunchNotice;
class QSocketNotifier;
class QWidget;

// Starts emulators for the window and says in a notice when one could not be started or ended
// within its first seconds with a failure, with the last lines it wrote to standard error. Each
// such failure is also reported on standard error.
//
// A start counts as a play once its first seconds are over with the emulator still running, or
// when it ended by then with status 0: playStarted says so, and playEnded follows once with the
// time played. The UI thread never waits for an emulator, and nothing of ours outlives it.
class EmulatorStarter : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kWatchTime{3000};
    // How long an emulator told to end may take before it is killed.
    static constexpr std::chrono::milliseconds kStopGrace{3000};

    // The notice lies over the bottom of noticeHost.
    explicit EmulatorStarter(QWidget *noticeHost, QObject *parent = nullptr);
    // Ends the watches as endWatches does.
    ~EmulatorStarter() override;

    // Hides the notice of an earlier start and starts the request. Gives the launch's id, new for
    // every start (failed ones too) and never 0. A warning (the game's missing files) is the
    // notice of the start, and leads the notice of its failure.
    quint64 start(const marlit::LaunchRequest &request, const QString &warning = {});

    // Each play still running ends now: playEnded with the time up to now, and it is watched no
    // more. Starts still in their first seconds are dropped without a word (the emulators run on
    // regardless). For the window's close.
    void endWatches();

    // Ends every emulator started here that still runs, through its pidfd, so never another
    // process: SIGTERM now, SIGKILL if it still runs after kStopGrace. One still in its first
    // seconds is told as soon as the watch hands its pidfd over. Its play ends as any other, with
    // the time it ran.
    void stop();
    // From a start until its emulator has ended (or its watch reported a failure).
    bool gameRunning() const { return !m_launches.empty(); }

    LaunchNotice *notice() const { return m_notice; }

signals:
    // The launch counts as a play: it ran through its first seconds, or ended in them with status 0.
    void playStarted(quint64 launchId);
    // A play's emulator ended (or endWatches gave up on it): the time from its start, once per play.
    void playEnded(quint64 launchId, std::chrono::milliseconds played);
    // A start's first seconds are over: the program ended (well or not) or is still running.
    void watchFinished();
    // gameRunning changed.
    void gameRunningChanged(bool running);

private:
    struct Launch;
    // Calls handler once descriptor is readable.
    void watch(Launch &launch, int descriptor, void (EmulatorStarter::*handler)(Launch *));
    void finishWatch(Launch *launch);
    void endPlay(Launch *launch);
    static std::chrono::milliseconds playedSoFar(const Launch &launch);
    void forget(Launch *launch);
    // SIGTERM now, SIGKILL after the grace unless it has ended by then.
    void endProgram(Launch &launch);
    void announceRunning();

    LaunchNotice *m_notice;
    quint64 m_lastLaunchId = 0;
    std::vector<std::unique_ptr<Launch>> m_launches;
    bool m_announcedRunning = false;
};

Q_DECLARE_METATYPE(std::chrono::milliseconds)
