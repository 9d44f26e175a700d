#include "core/fs/SocketMessage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace marlit {

ssize_t SocketMessage::send(int socket, const void *bytes, std::size_t size, std::span<const int> fds,
                            int flags) noexcept
{
    iovec data{const_cast<void *>(bytes), size};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(kMaxDescriptors * sizeof(int))] = {};
    const std::size_t count = std::min(fds.size(), kMaxDescriptors);
    if (count > 0) {
        message.msg_control = control;
        message.msg_controllen = CMSG_SPACE(count * sizeof(int));
        cmsghdr *header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(count * sizeof(int));
        std::memcpy(CMSG_DATA(header), fds.data(), count * sizeof(int));
    }
    ssize_t sent;
    while ((sent = ::sendmsg(socket, &message, flags)) < 0 && errno == EINTR) {
    }
    return sent;
}

SocketMessage::Received SocketMessage::receive(int socket, void *buffer, std::size_t size, int flags)
{
    iovec data{buffer, size};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(kMaxDescriptors * sizeof(int))];
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    Received received;
    // Close-on-exec from the first moment: no program started meanwhile may inherit them.
    while ((received.size = ::recvmsg(socket, &message, flags | MSG_CMSG_CLOEXEC)) < 0 && errno == EINTR) {
    }
    if (received.size < 0)
        return received;
    received.cut = (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0;
    for (cmsghdr *header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS)
            continue;
        const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(header) + i * sizeof(int), sizeof fd);
            received.fds.emplace_back(fd);
        }
    }
    return received;
}

} // namespace marlit
