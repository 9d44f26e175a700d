#pragma once

#include "BenchSupport.h"

#include <QApplication>
#include <QMetaEnum>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

#include <time.h>

namespace marlit::bench {

// Times every event the loop hands out at its top level: the longest is the longest time the
// window could not answer the user. For the benchmarks of the widgets only.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        const char *receiverClass = receiver->metaObject()->className();
        const QEvent::Type type = event->type(); // the event may be gone when notify returns
        const double cpuStart = threadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        const bool handled = QApplication::notify(receiver, event);
        if (const double took = elapsedMs(start); took > longestTurnMs) {
            longestTurnMs = took;
            longestTurnCpuMs = threadCpuMs() - cpuStart;
            longestTurnWhat = QStringLiteral("%1 to %2")
                                  .arg(QString::fromLatin1(QMetaEnum::fromType<QEvent::Type>().valueToKey(type)),
                                       QString::fromLatin1(receiverClass))
                                  .toStdString();
        }
        --m_depth;
        return handled;
    }

    void resetLongestTurn()
    {
        longestTurnMs = 0;
        longestTurnCpuMs = 0;
        longestTurnWhat.clear();
    }

    double longestTurnMs = 0;
    double longestTurnCpuMs = 0; // of it, on the processor: the rest the thread waited
    std::string longestTurnWhat; // the event and its receiver

private:
    static double threadCpuMs()
    {
        timespec now{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    }

    int m_depth = 0;
};

// Handles events until done() holds, sleeping while none come; false after a minute.
inline bool runUntil(const std::function<bool()> &done)
{
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(60'000);
    while (!done() && guard.isActive())
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return done();
}

} // namespace marlit::bench
