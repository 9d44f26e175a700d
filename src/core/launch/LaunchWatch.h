#pragma once

#include "core/fs/FileDescriptor.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace marlit {

// How a started program ended: its wait status as waitpid gives it.
struct ProgramEnd
{
    int status = 0;

    // Anything but a normal exit with status 0.
    bool failed() const;
    // "ended with status N" or "ended by signal SIGNAME".
    std::string describe() const;
};

// The first seconds of a started program, watched by a small process of ours that does nothing
// else: it waits for the program for the watch time, reports through a pipe how it ended if it
// ended by then, and exits. The program itself is never our child, so nothing is kept once the
// watch is over.
//
// descriptor() becomes readable when the report is there or the watch time is over; finish()
// then gives the outcome without blocking for long. Dropping a watch early stops the watching
// process (not the program) and reaps it at once.
class LaunchWatch
{
public:
    LaunchWatch() = default;
    LaunchWatch(FileDescriptor report, pid_t watcher);
    ~LaunchWatch();
    LaunchWatch(LaunchWatch &&other) noexcept;
    LaunchWatch &operator=(LaunchWatch &&other) noexcept;
    LaunchWatch(const LaunchWatch &) = delete;
    LaunchWatch &operator=(const LaunchWatch &) = delete;

    // Whether there is something still to finish.
    bool active() const { return m_watcher > 0; }
    int descriptor() const { return m_report.get(); }

    // Waits for the report (at most the rest of the watch time), reaps the watching process and
    // says how the program ended, or nothing when it was still running at the end of the watch.
    std::optional<ProgramEnd> finish();

private:
    void stop();

    FileDescriptor m_report;
    pid_t m_watcher = -1;
};

} // namespace marlit
