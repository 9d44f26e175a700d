#include "core/browse/FolderTreeScanner.h"

#include "core/browse/NameOrder.h"

#include <algorithm>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marlit {

namespace {

struct DirCloser
{
    void operator()(DIR *dir) const { closedir(dir); }
};

struct FolderId
{
    dev_t device;
    ino_t inode;
};

// Far deeper than any ROM collection; it bounds the open folders and the recursion should the
// file system hold something unexpected (bind mounts can repeat a folder without a link).
constexpr std::size_t kMaxDepth = 256;

class Scan
{
public:
    // Reads the folder open as fd (taking it over) into nodes, then descends into each.
    void folder(int fd, std::vector<FolderNode> &nodes)
    {
        const std::unique_ptr<DIR, DirCloser> dir(fdopendir(fd));
        if (!dir) {
            close(fd);
            return;
        }
        const int dirFd = dirfd(dir.get());
        while (const dirent *entry = readdir(dir.get())) {
            // Covers "." and "..", and the folders that are hidden by their leading dot.
            if (entry->d_name[0] == '.')
                continue;
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
                struct stat status;
                isFolder = fstatat(dirFd, entry->d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
            }
            if (isFolder)
                nodes.push_back(FolderNode{entry->d_name, {}});
        }
        descend(dirFd, nodes);
    }

    // The same for a folder whose entries were read already; fd stays the caller's.
    void folder(int fd, const std::vector<DirectoryEntry> &entries, std::vector<FolderNode> &nodes)
    {
        for (const DirectoryEntry &entry : entries) {
            if (entry.isDirectory && !entry.name.empty() && entry.name[0] != '.')
                nodes.push_back(FolderNode{entry.name, {}});
        }
        descend(fd, nodes);
    }

    // Sorts the sub-folders of the folder open as dirFd and reads each of them in turn.
    void descend(int dirFd, std::vector<FolderNode> &nodes)
    {
        std::sort(nodes.begin(), nodes.end(),
                  [](const FolderNode &a, const FolderNode &b) { return NameOrder::less(a.name, b.name); });
        for (FolderNode &node : nodes) {
            // Opened relative to the parent, so no path is looked up again from the root.
            const int childFd = openat(dirFd, node.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (childFd < 0)
                continue; // unreadable: shown without children
            if (!enter(childFd)) {
                close(childFd);
                continue; // a link back to a folder on the current path: shown without children
            }
            folder(childFd, node.children);
            m_path.pop_back();
        }
    }

    // Puts the folder open as fd on the current path, unless it is already on it.
    bool enter(int fd)
    {
        struct stat status;
        if (fstat(fd, &status) != 0 || m_path.size() >= kMaxDepth)
            return false;
        for (const FolderId &id : m_path) {
            if (id.device == status.st_dev && id.inode == status.st_ino)
                return false;
        }
        m_path.push_back(FolderId{status.st_dev, status.st_ino});
        return true;
    }

private:
    std::vector<FolderId> m_path; // the folders from the root down to the one being read
};

} // namespace

std::vector<FolderNode> FolderTreeScanner::scan(const std::string &root)
{
    std::vector<FolderNode> nodes;
    const int fd = open(root.empty() ? "." : root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nodes;
    Scan scan;
    if (!scan.enter(fd)) {
        close(fd);
        return nodes;
    }
    scan.folder(fd, nodes);
    return nodes;
}

std::vector<FolderNode> FolderTreeScanner::scan(const std::string &root, const std::vector<DirectoryEntry> &rootEntries)
{
    std::vector<FolderNode> nodes;
    const int fd = open(root.empty() ? "." : root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nodes;
    Scan scan;
    if (scan.enter(fd))
        scan.folder(fd, rootEntries, nodes);
    close(fd);
    return nodes;
}

} // namespace marlit
