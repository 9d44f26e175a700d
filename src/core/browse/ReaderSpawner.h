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

    // A new reader waiting for its first request; nothing when none could be started. Waits for
    // the spawner (a few seconds at most); the window asks and takes instead.
    std::optional<Reader> spawn();

    // Asks for a reader without waiting; false when the spawner is gone.
    bool ask();
    // Readable when an answer to ask() is there, or the spawner is gone.
    int descriptor() const { return m_control.get(); }
    enum class Taken { NotYet, Started, Failed, Gone };
    // The answer to the oldest ask(), without waiting: the reader Started, none could be
    // (Failed), or the spawner is Gone (from then on it is not running).
    Taken take(Reader &reader);

    // Ends a reader at once, whatever it is doing (SIGKILL); its socket stays the caller's.
    static void kill(const Reader &reader);

private:
    FileDescriptor m_control;
    pid_t m_pid = -1;
};

} // namespace marlit
