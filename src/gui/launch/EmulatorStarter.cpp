#include "gui/launch/EmulatorStarter.h"

#include "core/launch/CommandLine.h"
#include "core/launch/ProcessLauncher.h"
#include "gui/launch/LaunchNotice.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cstdio>

struct EmulatorStarter::Watch
{
    marlit::LaunchWatch watch;
    QString commandLine;
    std::unique_ptr<QSocketNotifier> notifier;
};

EmulatorStarter::EmulatorStarter(QWidget *noticeHost, QObject *parent)
    : QObject(parent), m_notice(new LaunchNotice(noticeHost))
{
}

// Dropping the watches stops the processes that watch; the emulators run on.
EmulatorStarter::~EmulatorStarter() = default;

void EmulatorStarter::start(const marlit::LaunchRequest &request)
{
    m_notice->hide();
    const QString commandLine = QString::fromLocal8Bit(marlit::CommandLine::shellText(request));
    marlit::ProcessLauncher::Result result = marlit::ProcessLauncher::startDetached(request, kWatchTime);
    if (!result.started) {
        std::fprintf(stderr, "marlit: %s\n", result.error.c_str());
        m_notice->showFailure(tr("Cannot start the emulator: %1").arg(QString::fromLocal8Bit(result.reason)),
                              commandLine);
        return;
    }
    auto watch = std::make_unique<Watch>();
    watch->watch = std::move(result.watch);
    watch->commandLine = commandLine;
    // The pipe becomes readable when the program ends within the watch time or the time is over.
    watch->notifier = std::make_unique<QSocketNotifier>(watch->watch.descriptor(), QSocketNotifier::Read);
    Watch *raw = watch.get();
    connect(watch->notifier.get(), &QSocketNotifier::activated, this, [this, raw] { finish(raw); });
    m_watches.push_back(std::move(watch));
}

void EmulatorStarter::finish(Watch *watch)
{
    watch->notifier->setEnabled(false);
    const std::optional<marlit::ProgramEnd> end = watch->watch.finish();
    const QString commandLine = watch->commandLine;
    m_watches.erase(std::find_if(m_watches.begin(), m_watches.end(),
                                 [watch](const std::unique_ptr<Watch> &each) { return each.get() == watch; }));
    if (end && end->failed()) {
        std::fprintf(stderr, "marlit: %s %s\n", commandLine.toLocal8Bit().constData(), end->describe().c_str());
        m_notice->showFailure(tr("The emulator %1").arg(QString::fromStdString(end->describe())), commandLine);
    }
    emit watchFinished();
}
