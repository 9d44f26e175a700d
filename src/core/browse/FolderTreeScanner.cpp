#include "core/browse/FolderTreeScanner.h"

#include "core/browse/NameOrder.h"
#include "core/fs/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <unordered_set>

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

    bool operator==(const FolderId &) const = default;
};

struct FolderIdHash
{
    std::size_t operator()(const FolderId &id) const
    {
        return std::hash<unsigned long long>()(static_cast<unsigned long long>(id.inode) * 31 +
                                               static_cast<unsigned long long>(id.device));
    }
};

// Far deeper than any ROM collection; it bounds the length of the paths opened should the file
// system hold something unexpected.
constexpr std::size_t kMaxDepth = 256;

// Opens the folder at path below the folder open as rootFd; a path beyond PATH_MAX is walked
// one folder at a time.
FileDescriptor openBelow(int rootFd, const std::string &path)
{
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    FileDescriptor fd(openat(rootFd, path.c_str(), kFlags));
    if (fd.valid() || errno != ENAMETOOLONG)
        return fd;
    fd = FileDescriptor(openat(rootFd, ".", kFlags));
    for (std::size_t start = 0; fd.valid() && start < path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        fd = FileDescriptor(openat(fd.get(), path.substr(start, end - start).c_str(), kFlags));
        start = end + 1;
    }
    return fd;
}

bool hidden(const std::string &name)
{
    // Covers "." and "..", and the folders that are hidden by their leading dot.
    return name.empty() || name[0] == '.';
}

class Scan
{
public:
    explicit Scan(const FolderTreeScanner::Options &options) : m_options(options) {}

    FolderTree run(int rootFd, const std::vector<DirectoryEntry> *rootEntries)
    {
        FolderTree tree;
        struct stat before;
        if (!enter(rootFd, before))
            return tree;
        std::vector<Child> children;
        if (rootEntries) {
            for (const DirectoryEntry &entry : *rootEntries)
                if (entry.isDirectory && !hidden(entry.name))
                    children.push_back({FolderNode{entry.name, {}}, entry.isLink});
            if (m_options.onFolderRead)
                m_options.onFolderRead({}, before);
        } else {
            readSubFolders(FileDescriptor(openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)), children);
            if (m_options.onFolderRead)
                m_options.onFolderRead({}, before);
        }
        keep(children, tree.folders, {}, 1);

        // Level by level, each folder opened by its path from the root, so no descriptor stays
        // open while its level waits; a folder's children are final before anything points at
        // them. Real folders go before links: a folder that is reached both ways is read where
        // it really is, and a link to it shows without children.
        while (!m_real.empty() || !m_linked.empty()) {
            if (m_count >= m_options.maxFolders) {
                // The bound is reached: the folders still waiting are shown without children,
                // and are not even opened.
                m_cut = true;
                break;
            }
            std::deque<Pending> &queue = m_real.empty() ? m_linked : m_real;
            const Pending next = std::move(queue.front());
            queue.pop_front();
            if (next.depth >= kMaxDepth)
                continue;
            FileDescriptor fd = openBelow(rootFd, next.path);
            if (!fd.valid() || !enter(fd.get(), before))
                continue; // unreadable, or read already on another path: shown without children
            children.clear();
            readSubFolders(std::move(fd), children);
            if (m_options.onFolderRead)
                m_options.onFolderRead(next.path, before);
            keep(children, next.node->children, next.path + '/', next.depth + 1);
        }
        tree.cut = m_cut;
        return tree;
    }

private:
    struct Child
    {
        FolderNode node;
        bool link;
    };
    struct Pending
    {
        FolderNode *node;
        std::string path; // from the root
        std::size_t depth;
    };

    // Marks the folder open as fd as read, its state in status; false when it was read already on
    // another path.
    bool enter(int fd, struct stat &status)
    {
        return fstat(fd, &status) == 0 && m_seen.insert(FolderId{status.st_dev, status.st_ino}).second;
    }

    // The sub-folders of the folder open as fd (taken over), in no order yet.
    static void readSubFolders(FileDescriptor fd, std::vector<Child> &children)
    {
        if (!fd.valid())
            return;
        const DirectoryStream dir(fdopendir(fd.get()));
        if (!dir)
            return;
        fd.release(); // the stream closes it now
        const int dirFd = dirfd(dir.get());
        while (const dirent *entry = readdir(dir.get())) {
            if (entry->d_name[0] != '.' && DirectoryReader::isFolder(dirFd, *entry))
                children.push_back({FolderNode{entry->d_name, {}}, DirectoryReader::isLink(dirFd, *entry)});
        }
    }

    // Sorts a folder's children, keeps as many as the bound leaves room for in nodes, and queues
    // each to be read in its turn.
    void keep(std::vector<Child> &children, std::vector<FolderNode> &nodes, const std::string &path, std::size_t depth)
    {
        std::sort(children.begin(), children.end(),
                  [](const Child &a, const Child &b) { return NameOrder::less(a.node.name, b.node.name); });
        const std::size_t room = m_options.maxFolders - std::min(m_count, m_options.maxFolders);
        if (children.size() > room) {
            children.resize(room);
            m_cut = true;
        }
        m_count += children.size();
        nodes.reserve(children.size());
        for (Child &child : children)
            nodes.push_back(std::move(child.node));
        for (std::size_t i = 0; i < nodes.size(); ++i)
            (children[i].link ? m_linked : m_real).push_back({&nodes[i], path + nodes[i].name, depth});
    }

    const FolderTreeScanner::Options &m_options;
    std::unordered_set<FolderId, FolderIdHash> m_seen;
    std::deque<Pending> m_real;   // folders waiting to be read
    std::deque<Pending> m_linked; // the same, reached through a link: read after every real one
    std::size_t m_count = 0;
    bool m_cut = false;
};

FolderTree scanFrom(const std::string &root, const std::vector<DirectoryEntry> *rootEntries,
                    const FolderTreeScanner::Options &options)
{
    const FileDescriptor fd(open(root.empty() ? "." : root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        FolderTree unread;
        unread.error = errno != 0 ? errno : EIO;
        return unread;
    }
    return Scan(options).run(fd.get(), rootEntries);
}

} // namespace

FolderTree FolderTreeScanner::scan(const std::string &root, const Options &options)
{
    return scanFrom(root, nullptr, options);
}

FolderTree FolderTreeScanner::scan(const std::string &root, const std::vector<DirectoryEntry> &rootEntries,
                                   const Options &options)
{
    return scanFrom(root, &rootEntries, options);
}

} // namespace marlit
