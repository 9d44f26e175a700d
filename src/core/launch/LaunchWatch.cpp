#include "core/launch/LaunchWatch.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
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

LaunchWatch::LaunchWatch(FileDescriptor reportSocket) : m_report(std::move(reportSocket))
{
}

void LaunchWatch::send(int reportSocket, const Message &message, int program) noexcept
{
    iovec bytes{const_cast<Message *>(&message), kHeaderSize + message.tailSize};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))]{};
    msghdr header{};
    header.msg_iov = &bytes;
    header.msg_iovlen = 1;
    if (program >= 0) {
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        cmsghdr *rights = CMSG_FIRSTHDR(&header);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(rights), &program, sizeof(int));
    }
    while (::sendmsg(reportSocket, &header, MSG_DONTWAIT | MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
}

std::optional<WatchReport> LaunchWatch::finish()
{
    if (!active())
        return std::nullopt;
    Message message;
    iovec bytes{&message, sizeof message};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))]{};
    msghdr header{};
    header.msg_iov = &bytes;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t got = 0;
    // Close-on-exec from the first moment: no emulator started later may inherit the pidfd.
    while ((got = ::recvmsg(m_report.get(), &header, MSG_CMSG_CLOEXEC)) < 0 && errno == EINTR) {
    }
    m_report.close();

    WatchReport report;
    for (cmsghdr *each = CMSG_FIRSTHDR(&header); each; each = CMSG_NXTHDR(&header, each)) {
        if (each->cmsg_level != SOL_SOCKET || each->cmsg_type != SCM_RIGHTS)
            continue;
        for (std::size_t at = 0; CMSG_LEN(at + sizeof(int)) <= each->cmsg_len; at += sizeof(int)) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(each) + at, sizeof fd);
            FileDescriptor received(fd);
            if (!report.program.valid())
                report.program = std::move(received);
        }
    }
    if (got < static_cast<ssize_t>(kHeaderSize) || (header.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) ||
        message.tailSize > ErrorTail::kCapacity || static_cast<std::size_t>(got) != kHeaderSize + message.tailSize)
        return std::nullopt;
    if (message.ended) {
        report.end = ProgramEnd{message.status};
        report.program.close();
    }
    report.errorTail = ErrorTail::lastLines({message.tail, message.tailSize}, message.cut != 0);
    return report;
}

} // namespace marlit
