#include "core/browse/FolderTreeScanner.h"

#include "core/browse/NameOrder.h"
#include "core/fs/FileDescriptor.h"

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marlit {

namespace {

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
    void folder(FileDescriptor fd, std::vector<FolderNode> &nodes)
    {
        const DirectoryStream dir(fdopendir(fd.get()));
        if (!dir)
            return;
        fd.release(); // the stream closes it now
        const int dirFd = dirfd(dir.get());
        while (const dirent *entry = readdir(dir.get())) {
            // Covers "." and "..", and the folders that are hidden by their leading dot.
            if (entry->d_name[0] != '.' && DirectoryReader::isFolder(dirFd, *entry))
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
            FileDescriptor child(openat(dirFd, node.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!child.valid())
                continue; // unreadable: shown without children
            if (!enter(child.get()))
                continue; // a link back to a folder on the current path: shown without children
            folder(std::move(child), node.children);
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
    FileDescriptor fd(open(root.empty() ? "." : root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Scan scan;
    if (fd.valid() && scan.enter(fd.get()))
        scan.folder(std::move(fd), nodes);
    return nodes;
}

std::vector<FolderNode> FolderTreeScanner::scan(const std::string &root, const std::vector<DirectoryEntry> &rootEntries)
{
    std::vector<FolderNode> nodes;
    const FileDescriptor fd(open(root.empty() ? "." : root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Scan scan;
    if (fd.valid() && scan.enter(fd.get()))
        scan.folder(fd.get(), rootEntries, nodes);
    return nodes;
}

} // namespace marlit
