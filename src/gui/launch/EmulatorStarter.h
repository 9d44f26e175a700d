#pragma once

#include "core/launch/LaunchRequest.h"
#include "core/launch/LaunchWatch.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <vector>

class LaunchNotice;
class QSocketNotifier;
class QWidget;

// Starts emulators for the window and says in a notice when one could not be started or ended
// within its first seconds with a failure. Each start is also reported on standard error. After
// those seconds nothing of the emulator is kept; the UI thread never waits for it.
class EmulatorStarter : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kWatchTime{3000};

    // The notice lies over the bottom of noticeHost.
    explicit EmulatorStarter(QWidget *noticeHost, QObject *parent = nullptr);
    ~EmulatorStarter() override;

    // Hides the notice of an earlier start and starts the request.
    void start(const marlit::LaunchRequest &request);

    LaunchNotice *notice() const { return m_notice; }

signals:
    // A start's watch is over: the program ended (well or not) or is still running.
    void watchFinished();

private:
    struct Watch;
    void finish(Watch *watch);

    LaunchNotice *m_notice;
    std::vector<std::unique_ptr<Watch>> m_watches;
};
