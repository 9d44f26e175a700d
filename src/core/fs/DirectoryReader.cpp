#include "core/fs/DirectoryReader.h"

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace marlit {

namespace {

bool isDots(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Hands each entry of folder but "." and ".." to onEntry with the folder's descriptor; gives 0, or
// the errno of a folder that cannot be read, or fails half-way, after calling clear (a partial
// list would look complete).
template <typename OnEntry, typename Clear>
int readEach(const std::string &folder, const OnEntry &onEntry, const Clear &clear, struct stat *status = nullptr)
{
    const DirectoryStream dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir)
        return errno != 0 ? errno : EIO;
    const int fd = dirfd(dir.get());
    if (status && fstat(fd, status) != 0)
        return errno;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir.get());
        if (!entry)
            break;
        if (!isDots(entry->d_name))
            onEntry(fd, *entry);
    }
    if (const int error = errno; error != 0) {
        clear();
        return error;
    }
    return 0;
}

} // namespace

bool DirectoryReader::list(const std::string &folder, std::vector<DirectoryEntry> &entries)
{
    return read(folder, entries) == 0;
}

int DirectoryReader::read(const std::string &folder, std::vector<DirectoryEntry> &entries,
                          const std::function<void(std::size_t)> &progress)
{
    constexpr std::size_t kProgressEvery = 256;
    entries.clear();
    return readEach(
        folder,
        [&](int fd, const dirent &entry) {
            const bool folder = isFolder(fd, entry);
            entries.push_back(DirectoryEntry{entry.d_name, folder, folder && isLink(fd, entry)});
            if (progress && entries.size() % kProgressEvery == 0)
                progress(entries.size());
        },
        [&] { entries.clear(); });
}

int DirectoryReader::read(const std::string &folder, DirectoryNames &names, struct stat *status)
{
    const auto clear = [&] {
        names.bytes.clear();
        names.ends.clear();
        names.folders.clear();
    };
    clear();
    return readEach(
        folder,
        [&](int fd, const dirent &entry) {
            names.bytes.append(entry.d_name);
            names.ends.push_back(static_cast<std::uint32_t>(names.bytes.size()));
            names.folders.push_back(isFolder(fd, entry) ? 1 : 0);
        },
        clear, status);
}

bool DirectoryReader::isFolder(int folderFd, const dirent &entry)
{
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK)
        return entry.d_type == DT_DIR;
    // The stat follows the link, so a link to a folder counts as a folder.
    struct stat status;
    return fstatat(folderFd, entry.d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
}

bool DirectoryReader::isLink(int folderFd, const dirent &entry)
{
    if (entry.d_type != DT_UNKNOWN)
        return entry.d_type == DT_LNK;
    struct stat status;
    return fstatat(folderFd, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
}

} // namespace marlit
