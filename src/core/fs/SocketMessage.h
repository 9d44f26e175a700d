#pragma once

#include "core/fs/FileDescriptor.h"

#include <cstddef>
#include <span>
#include <sys/types.h>
#include <vector>

namespace marlit {

// Bytes over a Unix socket with open descriptors riding along (SCM_RIGHTS). The control message's
// layout is easy to get subtly wrong, so it is built and taken apart here only.
class SocketMessage
{
public:
    static constexpr std::size_t kMaxDescriptors = 4;

    // One sendmsg of size bytes, fds (at most kMaxDescriptors) riding on the first; tried again
    // when a signal interrupts it. It allocates nothing, so a forked child may call it. Gives what
    // sendmsg gives: the bytes sent, or -1 with errno.
    static ssize_t send(int socket, const void *bytes, std::size_t size, std::span<const int> fds, int flags) noexcept;

    struct Received
    {
        ssize_t size = -1;               // what recvmsg gave: the bytes, 0 at the end, or -1 with errno
        bool cut = false;                // more bytes or descriptors came than there was room for
        std::vector<FileDescriptor> fds; // close-on-exec from the first moment
    };
    // One recvmsg of at most size bytes into buffer, tried again when a signal interrupts it.
    static Received receive(int socket, void *buffer, std::size_t size, int flags);
};

} // namespace marlit
