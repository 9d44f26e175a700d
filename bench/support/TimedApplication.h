#pragma once

#include "BenchSupport.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>

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
        const auto start = std::chrono::steady_clock::now();
        const bool handled = QApplication::notify(receiver, event);
        longestTurnMs = std::max(longestTurnMs, elapsedMs(start));
        --m_depth;
        return handled;
    }

    double longestTurnMs = 0;

private:
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
