#pragma once

#include "core/fs/FileDescriptor.h"
#include "core/launch/ErrorTail.h"

#include <cstdint>
#include <optional>
#include <string>

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

// What the first seconds of a program showed.
struct WatchReport
{
    std::optional<ProgramEnd> end; // how it ended within the watch; nothing: it was still running
    std::string errorTail;         // the last lines it wrote to standard error by then, at most 4 KB
    std::string outputTail;        // the same of its standard output

    // What a person reads of them: the output's lines, then the error's (one of them may say it
    // all: some emulators tell why they stop on standard output).
    std::string lastLines() const;
    FileDescriptor program; // when still running: a pidfd of it, readable once it has ended
};

// The first seconds of a started program, watched by a process of ours that is not our child
// (nothing to reap): the program's parent. It copies what the program writes to standard error
// and output on to ours and keeps the last bytes of each; when the program ends within the watch time, or the time
// is over, it sends one report through a socket and is done. A program still running comes with
// a pidfd: the watching process opened it while the program was its child, so the number could
// not have gone to another process in between.
//
// descriptor() becomes readable when the report is there (or the watching process is gone); finish()
// then gives it without blocking. Dropping a watch drops only the report: the program and the copying
// of its standard error go on.
class LaunchWatch
{
public:
    // The report as it goes through the socket, one message, with the pidfd attached when the
    // program is still running; only the used part of tail is sent: the last bytes of standard
    // error, then those of standard output.
    struct Message
    {
        std::int32_t ended = 0; // 1: status says how it ended; 0: still running
        std::int32_t status = 0;
        std::uint32_t cut = 0; // 1: earlier bytes of standard error had to go
        std::uint32_t tailSize = 0;
        std::uint32_t outputCut = 0; // the same of standard output
        std::uint32_t outputSize = 0;
        char tail[2 * ErrorTail::kCapacity];
    };

    LaunchWatch() = default;
    explicit LaunchWatch(FileDescriptor reportSocket);

    // For the watching process: sends the report, with program attached unless it is -1. Makes
    // system calls only, never blocks, and a socket whose reader has gone is no error.
    static void send(int reportSocket, const Message &message, int program) noexcept;

    // Whether there is something still to finish.
    bool active() const { return m_report.valid(); }
    int descriptor() const { return m_report.get(); }

    // Waits for the report; nothing when the watching process ended without sending one.
    std::optional<WatchReport> finish();

private:
    FileDescriptor m_report;
};

} // namespace marlit
