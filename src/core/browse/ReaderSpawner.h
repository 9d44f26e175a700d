#pragma once

#include "core/fs/FileDescriptor.h"

#include <optional>

#include <sys/types.h>

namespace marlit {

// Starts folder reader processes (FolderReader::serve), so that a read stuck in the kernel on a
// storage that stopped answering holds up one process, never the window's: a process with a
// thread in such a read cannot even exit.
//
// The readers are not forked from the window's process, whose other threads may hold locks at
// any moment, but by a small single-threaded spawner process forked once at construction. The
// spawner lets the system reap its readers, and hands each one's socket and a pidfd (to kill it
// without any risk of hitting a reused process id) back through its control socket. Spawner and
// readers die with the window's process (PR_SET_PDEATHSIG), so nothing outlives it for long: a
// reader stuck in the kernel ends as soon as its read returns.
class ReaderSpawner
{
public:
    struct Reader
    {
        FileDescriptor socket; // requests in, answers out (ReaderProtocol)
        FileDescriptor pidfd;  // invalid where the kernel has no pidfd_open
    };

    ReaderSpawner();
    // Ends the spawner and with it every reader, busy or not. Never waits for a reader.
    ~ReaderSpawner();
    ReaderSpawner(const ReaderSpawner &) = delete;
    ReaderSpawner &operator=(const ReaderSpawner &) = delete;

    bool running() const { return m_control.valid(); }

    // A new reader waiting for its first request; nothing when none could be started.
    std::optional<Reader> spawn();

    // Ends a reader at once, whatever it is doing (SIGKILL); its socket stays the caller's.
    static void kill(const Reader &reader);

private:
    FileDescriptor m_control;
    pid_t m_pid = -1;
};

} // namespace marlit
