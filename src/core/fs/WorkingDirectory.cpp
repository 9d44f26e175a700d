#include "core/fs/WorkingDirectory.h"

#include <cerrno>
#include <cstring>
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

} // namespace marlit
