#pragma once

#include <cerrno>
#include <cstddef>
#include <unistd.h>
#include <utility>

namespace marlit {

// Owns one open descriptor and closes it when the scope ends, whatever path leaves it.
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(FileDescriptor &&other) noexcept : m_fd(other.release()) {}
    FileDescriptor &operator=(FileDescriptor &&other) noexcept
    {
        if (this != &other) {
            close();
            m_fd = other.release();
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

    // Gives the descriptor up without closing it.
    int release() { return std::exchange(m_fd, -1); }

    // Closes now and reports whether the close succeeded: a failing close can mean lost data.
    bool close()
    {
        const int fd = release();
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd = -1;
};

// Reads from fd into buffer until size bytes have come, the end of the file or an error, and
// gives how many came. A read that a signal interrupts is tried again.
inline std::size_t readUpTo(int fd, void *buffer, std::size_t size)
{
    auto *bytes = static_cast<char *>(buffer);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, bytes + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

// Writes all of data to fd and says whether it all went; a write that a signal interrupts is
// tried again. Only write itself is called, so a process between fork and exec may use it.
inline bool writeFully(int fd, const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace marlit
