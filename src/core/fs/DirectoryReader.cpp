#include "core/fs/DirectoryReader.h"

#include <cerrno>

#include <dirent.h>
#include <sys/stat.h>

namespace marlit {

namespace {

bool isDots(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

bool DirectoryReader::list(const std::string &folder, std::vector<DirectoryEntry> &entries)
{
    entries.clear();
    const DirectoryStream dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir)
        return false;
    const int fd = dirfd(dir.get());
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir.get());
        if (!entry)
            break;
        if (isDots(entry->d_name))
            continue;
        entries.push_back(DirectoryEntry{entry->d_name, isFolder(fd, *entry)});
    }
    if (errno != 0) {
        // A folder that fails half-way is not read; a partial list would look complete.
        entries.clear();
        return false;
    }
    return true;
}

bool DirectoryReader::isFolder(int folderFd, const dirent &entry)
{
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK)
        return entry.d_type == DT_DIR;
    // The stat follows the link, so a link to a folder counts as a folder.
    struct stat status;
    return fstatat(folderFd, entry.d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
}

} // namespace marlit
