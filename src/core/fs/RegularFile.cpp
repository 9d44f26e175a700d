#include "core/fs/RegularFile.h"

#include "core/fs/FileDescriptor.h"
#include "core/fs/HugePages.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marlit {

RegularFile::Read RegularFile::read(const std::string &path, std::size_t maxBytes)
{
    Read read;
    // Non-blocking, so that a FIFO under the name cannot hold the open; never a lock.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.valid())
        return read;
    struct stat info
    {
    };
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return read;
    read.found = true;
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        read.problem = "it is larger than " + std::to_string(maxBytes >> 20) + " MB and was not read";
        return read;
    }
    read.bytes.reserve(static_cast<std::size_t>(info.st_size));
    adviseHugePages(read.bytes.data(), read.bytes.capacity());
    read.bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < read.bytes.size()) {
        const ssize_t got = ::read(file.get(), read.bytes.data() + done, read.bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            read.problem = std::string("it could not be read (") + std::strerror(errno) + ")";
            read.bytes.clear();
            return read;
        }
        if (got == 0)
            break; // shortened meanwhile: what is there is read
        done += static_cast<std::size_t>(got);
    }
    read.bytes.resize(done);
    return read;
}

} // namespace marlit
