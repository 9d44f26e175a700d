#include "core/launch/LaunchWatch.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

namespace marlit {

bool ProgramEnd::failed() const
{
    return !WIFEXITED(status) || WEXITSTATUS(status) != 0;
}

std::string ProgramEnd::describe() const
{
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char *name = sigabbrev_np(signal);
        return "ended by signal " + (name ? "SIG" + std::string(name) : std::to_string(signal));
    }
    return "ended with status " + std::to_string(WEXITSTATUS(status));
}

LaunchWatch::LaunchWatch(FileDescriptor report, pid_t watcher) : m_report(std::move(report)), m_watcher(watcher)
{
}

LaunchWatch::~LaunchWatch()
{
    stop();
}

LaunchWatch::LaunchWatch(LaunchWatch &&other) noexcept
    : m_report(std::move(other.m_report)), m_watcher(std::exchange(other.m_watcher, -1))
{
}

LaunchWatch &LaunchWatch::operator=(LaunchWatch &&other) noexcept
{
    if (this != &other) {
        stop();
        m_report = std::move(other.m_report);
        m_watcher = std::exchange(other.m_watcher, -1);
    }
    return *this;
}

std::optional<ProgramEnd> LaunchWatch::finish()
{
    if (!active())
        return std::nullopt;
    // The watching process writes the status in one write, or nothing; end of file comes when it
    // exits. Either way it is about to be gone, so the wait below is short.
    int status = 0;
    const std::size_t got = readUpTo(m_report.get(), &status, sizeof status);
    m_report.close();
    while (::waitpid(m_watcher, nullptr, 0) < 0 && errno == EINTR) {
    }
    m_watcher = -1;
    if (got < sizeof status)
        return std::nullopt;
    return ProgramEnd{status};
}

void LaunchWatch::stop()
{
    if (!active())
        return;
    // Only the watching process goes: the program runs on, handed to init like any other.
    ::kill(m_watcher, SIGKILL);
    while (::waitpid(m_watcher, nullptr, 0) < 0 && errno == EINTR) {
    }
    m_watcher = -1;
    m_report.close();
}

} // namespace marlit
