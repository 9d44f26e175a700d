#include "core/launch/LaunchWatch.h"

#include "core/fs/SocketMessage.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <span>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>

namespace marlit {

namespace {

constexpr std::size_t kHeaderSize = offsetof(LaunchWatch::Message, tail);

} // namespace

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

std::string WatchReport::lastLines() const
{
    if (outputTail.empty() || errorTail.empty())
        return outputTail + errorTail;
    return outputTail + '\n' + errorTail;
}

LaunchWatch::LaunchWatch(FileDescriptor reportSocket) : m_report(std::move(reportSocket))
{
}

void LaunchWatch::send(int reportSocket, const Message &message, int program) noexcept
{
    const std::span<const int> riding(&program, program >= 0 ? 1 : 0);
    SocketMessage::send(reportSocket, &message, kHeaderSize + message.tailSize + message.outputSize, riding,
                        MSG_DONTWAIT | MSG_NOSIGNAL);
}

std::optional<WatchReport> LaunchWatch::finish()
{
    if (!active())
        return std::nullopt;
    Message message;
    SocketMessage::Received received = SocketMessage::receive(m_report.get(), &message, sizeof message, 0);
    m_report.close();

    WatchReport report;
    if (!received.fds.empty())
        report.program = std::move(received.fds.front());
    const ssize_t got = received.size;
    if (got < static_cast<ssize_t>(kHeaderSize) || received.cut || message.tailSize > ErrorTail::kCapacity ||
        message.outputSize > ErrorTail::kCapacity ||
        static_cast<std::size_t>(got) != kHeaderSize + message.tailSize + message.outputSize)
        return std::nullopt;
    if (message.ended) {
        report.end = ProgramEnd{message.status};
        report.program.close();
    }
    report.errorTail = ErrorTail::lastLines({message.tail, message.tailSize}, message.cut != 0);
    report.outputTail =
        ErrorTail::lastLines({message.tail + message.tailSize, message.outputSize}, message.outputCut != 0);
    return report;
}

} // namespace marlit
