#include "core/browse/ReaderSpawner.h"

#include "core/browse/FolderReader.h"
#include "core/fs/SocketMessage.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <span>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace marlit {

namespace {

// Through syscall(): Debian 12's <sys/pidfd.h> declares its functions without C linkage.
int openPidfd(pid_t pid)
{
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

// A spawner answers within milliseconds: it only forks. Longer means it is gone.
constexpr int kSpawnTimeoutMs = 5000;
constexpr int kControlFd = 3;

// In a freshly forked process: die with the parent, default signal handling (SIGPIPE and
// SIGCHLD ignored), nothing open but the standard descriptors and keep, which becomes
// kControlFd. Only async-signal-safe calls: the parent may have had other threads.
bool becomeChildOf(pid_t parent, int keep)
{
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
        return false;
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction action
    {
    };
    action.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        sigaction(signal, &action, nullptr); // fails harmlessly for SIGKILL, SIGSTOP and the like
    action.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &action, nullptr); // a closed window's socket is an error to see, not a death
    sigaction(SIGCHLD, &action, nullptr); // the system reaps what this process forks

    if (keep != kControlFd && dup2(keep, kControlFd) != kControlFd)
        return false;
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull >= 0) {
        // Nothing is read from the window's terminal, nor written to its output; the error
        // output stays, for a sanitizer's report.
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
    }
    if (close_range(kControlFd + 1, ~0U, 0) != 0) {
        for (int fd = kControlFd + 1; fd < 65536; ++fd)
            close(fd);
    }
    return fcntl(kControlFd, F_SETFD, 0) == 0;
}

// Forks one reader serving readerEnd; gives its pidfd (or -1). Runs in the spawner.
int startReader(int control, int readerEnd, int windowEnd)
{
    const pid_t spawner = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        close(control);
        close(windowEnd);
        if (!becomeChildOf(spawner, readerEnd))
            _exit(1);
        FolderReader::serve(kControlFd);
        _exit(0);
    }
    if (pid < 0)
        return -1;
    // The reader cannot have ended yet (its socket's other end is still open here, and it
    // blocks reading it), so the pid is still its own.
    return openPidfd(pid);
}

[[noreturn]] void runSpawner(int control)
{
    for (;;) {
        char wanted = 0;
        const ssize_t got = read(control, &wanted, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            _exit(0); // the window closed its end
        int pair[2];
        char answer = 0;
        int fds[2] = {-1, -1};
        int fdCount = 0;
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0) {
            const int pidfd = startReader(control, pair[1], pair[0]);
            close(pair[1]);
            fds[fdCount++] = pair[0];
            if (pidfd >= 0)
                fds[fdCount++] = pidfd;
            answer = 1;
        }
        SocketMessage::send(kControlFd, &answer, 1, std::span<const int>(fds, static_cast<std::size_t>(fdCount)),
                            MSG_NOSIGNAL);
        for (int i = 0; i < fdCount; ++i)
            close(fds[i]);
    }
}

} // namespace

ReaderSpawner::ReaderSpawner()
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return;
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid == 0) {
        close(pair[0]);
        if (!becomeChildOf(parent, pair[1]))
            _exit(1);
        runSpawner(kControlFd);
    }
    close(pair[1]);
    if (m_pid < 0)
        close(pair[0]);
    else
        m_control = FileDescriptor(pair[0]);
}

ReaderSpawner::~ReaderSpawner()
{
    if (m_pid <= 0)
        return;
    m_control.close();
    // The spawner never touches storage, so it ends at once and can be waited for; its readers
    // get their SIGKILL from its death.
    ::kill(m_pid, SIGKILL);
    while (waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

bool ReaderSpawner::ask()
{
    const char wanted = 1;
    if (!m_control.valid())
        return false;
    if (send(m_control.get(), &wanted, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1)
        return true;
    m_control.close();
    return false;
}

ReaderSpawner::Taken ReaderSpawner::take(Reader &reader)
{
    if (!m_control.valid())
        return Taken::Gone;
    char answer = 0;
    SocketMessage::Received received = SocketMessage::receive(m_control.get(), &answer, 1, MSG_DONTWAIT);
    if (received.size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return Taken::NotYet;
    if (received.size != 1) {
        m_control.close();
        return Taken::Gone;
    }
    reader = {};
    if (!received.fds.empty())
        reader.socket = std::move(received.fds[0]);
    if (received.fds.size() > 1)
        reader.pidfd = std::move(received.fds[1]);
    return answer == 1 && reader.socket.valid() ? Taken::Started : Taken::Failed;
}

std::optional<ReaderSpawner::Reader> ReaderSpawner::spawn()
{
    if (!ask())
        return std::nullopt;
    pollfd ready{m_control.get(), POLLIN, 0};
    int polled;
    while ((polled = poll(&ready, 1, kSpawnTimeoutMs)) < 0 && errno == EINTR) {
    }
    Reader reader;
    if (polled != 1) {
        m_control.close(); // a spawner that does not answer is given up
        return std::nullopt;
    }
    if (take(reader) != Taken::Started)
        return std::nullopt;
    return reader;
}

void ReaderSpawner::kill(const Reader &reader)
{
    if (reader.pidfd.valid())
        syscall(SYS_pidfd_send_signal, reader.pidfd.get(), SIGKILL, nullptr, 0);
}

} // namespace marlit
