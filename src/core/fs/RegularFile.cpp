#include "core/fs/RegularFile.h"

#include "core/fs/HugePages.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marlit {

RegularFile RegularFile::open(const std::string &path, std::size_t maxBytes)
{
    RegularFile opened;
    // Non-blocking, so that a FIFO under the name cannot hold the open; never a lock.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.valid())
        return opened;
    struct stat info
    {
    };
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return opened;
    opened.m_file = std::move(file);
    if (static_cast<unsigned long long>(info.st_size) > maxBytes)
        opened.m_problem = "it is larger than " + std::to_string(maxBytes >> 20) + " MB and was not read";
    else
        opened.m_size = static_cast<std::size_t>(info.st_size);
    return opened;
}

RegularFile::Part RegularFile::readAt(char *to, std::size_t offset, std::size_t length) const
{
    Part part;
    while (part.bytes < length) {
        const ssize_t got =
            ::pread(m_file.get(), to + part.bytes, length - part.bytes, static_cast<off_t>(offset + part.bytes));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            part.error = errno;
            break;
        }
        if (got == 0)
            break; // shortened meanwhile: what is there is read
        part.bytes += static_cast<std::size_t>(got);
    }
    return part;
}

std::string RegularFile::readProblem(int error)
{
    return std::string("it could not be read (") + std::strerror(error) + ")";
}

RegularFile::Read RegularFile::read(const std::string &path, std::size_t maxBytes)
{
    return open(path, maxBytes).readWhole();
}

RegularFile::Read RegularFile::readWhole() const
{
    Read read;
    read.found = found();
    read.problem = m_problem;
    if (!read.found || !read.problem.empty())
        return read;
    read.bytes.reserve(m_size);
    adviseHugePages(read.bytes.data(), read.bytes.capacity());
    read.bytes.resize(m_size);
    const Part part = readAt(read.bytes.data(), 0, read.bytes.size());
    if (part.error != 0) {
        read.problem = readProblem(part.error);
        read.bytes.clear();
        return read;
    }
    read.bytes.resize(part.bytes);
    return read;
}

} // namespace marlit
