#include "core/fs/DirectoryReader.h"

#include <cerrno>
#include <memory>

#include <dirent.h>
#include <sys/stat.h>

namespace marlit {

namespace {

struct DirCloser
{
    void operator()(DIR *dir) const { closedir(dir); }
};

bool isDots(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

bool DirectoryReader::list(const std::string &folder, std::vector<DirectoryEntry> &entries)
{
    entries.clear();
    const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.empty() ? "." : folder.c_str()));
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
        bool isDirectory = entry->d_type == DT_DIR;
        // Only a link or a file system that gives no type costs a stat; it follows the link, so a
        // link to a folder counts as a folder.
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat status;
            isDirectory = fstatat(fd, entry->d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
        }
        entries.push_back(DirectoryEntry{entry->d_name, isDirectory});
    }
    if (errno != 0) {
        // A folder that fails half-way is not read; a partial list would look complete.
        entries.clear();
        return false;
    }
    return true;
}

} // namespace marlit
