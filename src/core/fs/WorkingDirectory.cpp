#include "core/fs/WorkingDirectory.h"

#include "core/fs/Paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace marlit {

std::optional<std::string> currentDirectory()
{
    std::string buffer(4096, '\0');
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

std::string absolutePath(std::string path)
{
    if (!path.empty() && path.front() == kPathSeparator)
        return path;
    std::optional<std::string> current = currentDirectory();
    if (!current)
        return path;
    return withTrailingSeparator(std::move(*current)) + path;
}

// O_PATH holds the folder even where its contents cannot be read.
WorkingDirectoryKeeper::WorkingDirectoryKeeper() : m_folder(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC))
{
}

WorkingDirectoryKeeper::~WorkingDirectoryKeeper()
{
    if (!m_folder.valid())
        return; // the working directory was already gone: there is nothing to return to
    if (::fchdir(m_folder.get()) != 0)
        return; // the process stays where it is, as it would without the keeper
}

} // namespace marlit
