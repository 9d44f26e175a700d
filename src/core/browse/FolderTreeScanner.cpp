#include "core/browse/FolderTreeScanner.h"

#include "core/browse/NameOrder.h"
#include "core/browse/ReaderThreads.h"
#include "core/fs/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
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

struct Child
{
    FolderNode node;
    bool link;
};

// The sub-folders of the folder open as fd (taken over), in no order yet.
void readSubFolders(FileDescriptor fd, std::vector<Child> &children)
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

// Whether the folder open as fd is one of the kernel's views (processes, devices, settings): no
// ROMs there, and its links lead anywhere, into the folders of a scan's own threads too.
bool kernelsOwn(int fd)
{
    struct statfs info
    {
    };
    if (fstatfs(fd, &info) != 0)
        return false;
    switch (static_cast<std::uint32_t>(info.f_type)) {
    case 0x9FA0:     // proc
    case 0x62656572: // sysfs
    case 0x27E0EB:   // cgroup
    case 0x63677270: // cgroup2
    case 0x64626720: // debugfs
    case 0x74726163: // tracefs
    case 0x73636673: // securityfs
    case 0x1CD1:     // devpts
        return true;
    default:
        return false;
    }
}

// Reads folders below a root on a thread of its own, a batch at a time, so that the scan can
// stop waiting for one that does not answer. Such a reader is left to its thread, which ends once
// the folder answers (if ever), and owns all it touches. A whole batch goes to the thread at once:
// handing it each folder in turn, and waiting for each, took as long as reading them.
class FolderThread
{
public:
    struct Read
    {
        bool opened = false;
        struct stat before
        {
        };
        std::vector<Child> children;
    };

    explicit FolderThread(int rootFd) : m_state(std::make_shared<State>())
    {
        m_state->root = FileDescriptor(fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
        if (!kThreadsAfterFork)
            return;
        try {
            std::thread([state = m_state] { state->serve(); }).detach();
            m_threaded = true;
        } catch (const std::system_error &) {
            // No thread to be had: the folders are read here, without a time limit.
        }
    }
    ~FolderThread()
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->quit = true;
        m_state->wake.notify_one();
    }
    FolderThread(const FolderThread &) = delete;
    FolderThread &operator=(const FolderThread &) = delete;

    // The folders at paths below the root, in turn, until one does not answer within ms: the
    // reads of those before it (all of them when each answered).
    std::vector<Read> read(std::vector<std::string> paths, int ms)
    {
        std::vector<Read> reads;
        if (!m_threaded) {
            for (const std::string &path : paths)
                reads.push_back(State::readFolder(m_state->root.get(), path));
            return reads;
        }
        std::unique_lock lock(m_state->mutex);
        m_state->paths = std::move(paths);
        m_state->reads.clear();
        m_state->done = false;
        m_state->since = std::chrono::steady_clock::now();
        m_state->wake.notify_one();
        // Woken when the batch is done, or when the folder being read has had its time: the
        // thread may have gone on to the next meanwhile.
        while (!m_state->answered.wait_until(lock, m_state->since + std::chrono::milliseconds(ms),
                                             [this] { return m_state->done; }))
            if (std::chrono::steady_clock::now() >= m_state->since + std::chrono::milliseconds(ms))
                break;
        return std::move(m_state->reads);
    }

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable wake, answered;
        FileDescriptor root;
        std::vector<std::string> paths;              // the batch waiting to be read
        std::vector<Read> reads;                     // of the batch under way, so far
        std::chrono::steady_clock::time_point since; // when the folder under way was begun
        bool done = false;
        bool quit = false;

        static Read readFolder(int rootFd, const std::string &path)
        {
            Read read;
            FileDescriptor fd = openBelow(rootFd, path);
            read.opened = fd.valid() && fstat(fd.get(), &read.before) == 0;
            if (read.opened && !kernelsOwn(fd.get()))
                readSubFolders(std::move(fd), read.children);
            return read;
        }

        void serve()
        {
            for (;;) {
                std::vector<std::string> batch;
                {
                    std::unique_lock lock(mutex);
                    wake.wait(lock, [this] { return quit || !paths.empty(); });
                    if (quit)
                        return;
                    batch = std::move(paths);
                    paths.clear();
                }
                for (std::size_t i = 0; i < batch.size(); ++i) {
                    Read read = readFolder(root.get(), batch[i]);
                    const std::lock_guard lock(mutex);
                    if (quit)
                        return; // left behind: nobody waits for the rest
                    reads.push_back(std::move(read));
                    since = std::chrono::steady_clock::now(); // the next one begun
                    if (i + 1 == batch.size()) {
                        done = true;
                        answered.notify_one();
                    }
                }
            }
        }
    };
    std::shared_ptr<State> m_state;
    bool m_threaded = false; // false: read here, as when threads cannot follow a fork
};

// The folders of this process's scans that did not answer, by their full path, and the threads
// left to them: a reader asked again and again for a tree (one that keeps changing) passes over
// what did not answer before, and leaves kMaxUnanswered threads at most.
struct Unanswered
{
    std::mutex mutex;
    std::set<std::string> paths;
    int threads = 0;
};

Unanswered &unansweredInThisProcess()
{
    static Unanswered unanswered;
    return unanswered;
}

class Scan
{
public:
    Scan(const std::string &root, const FolderTreeScanner::Options &options) : m_root(root), m_options(options) {}

    FolderTree run(int rootFd, const std::vector<DirectoryEntry> *rootEntries)
    {
        FolderTree tree;
        struct stat before;
        if (fstat(rootFd, &before) != 0 || !enter(before))
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
        while ((!m_real.empty() || !m_linked.empty()) && !m_cut) {
            // A folder was left out (m_cut): the folders still waiting are shown without
            // children, and are not even opened. At the bound exactly, they are still read, for
            // only a sub-folder among them tells that the tree is cut (keep).
            //
            // Read in batches: every real folder waiting, or else the first link, whose real
            // folders go before the other links.
            std::deque<Pending> &queue = m_real.empty() ? m_linked : m_real;
            const std::size_t count = &queue == &m_real ? queue.size() : 1;
            std::vector<Pending> batch(std::make_move_iterator(queue.begin()),
                                       std::make_move_iterator(queue.begin() + static_cast<std::ptrdiff_t>(count)));
            queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(count));
            enum class Kind : std::uint8_t { TooDeep, Unanswered, Read };
            std::vector<Kind> kinds;
            std::vector<std::string> paths;
            Unanswered &unanswered = unansweredInThisProcess();
            {
                const std::lock_guard lock(unanswered.mutex);
                for (const Pending &next : batch) {
                    kinds.push_back(next.depth >= kMaxDepth                          ? Kind::TooDeep
                                    : unanswered.paths.count(m_root + next.path) > 0 ? Kind::Unanswered
                                                                                     : Kind::Read);
                    if (kinds.back() == Kind::Read)
                        paths.push_back(next.path);
                }
            }
            if (!m_thread && !paths.empty())
                m_thread = std::make_unique<FolderThread>(rootFd);
            std::vector<FolderThread::Read> reads = paths.empty()
                                                        ? std::vector<FolderThread::Read>()
                                                        : m_thread->read(std::move(paths), m_options.answerMs);

            std::size_t taken = 0;
            for (std::size_t i = 0; i < batch.size() && !m_cut; ++i) {
                const Pending &next = batch[i];
                if (kinds[i] == Kind::Unanswered)
                    tree.unanswered.push_back(next.path);
                if (kinds[i] != Kind::Read)
                    continue;
                if (taken == reads.size()) {
                    // Left to its thread; the walk goes on with another, a few times at most, and
                    // the rest of the batch first.
                    m_thread.reset();
                    tree.unanswered.push_back(next.path);
                    const std::lock_guard lock(unanswered.mutex);
                    unanswered.paths.insert(m_root + next.path);
                    if (++unanswered.threads >= FolderScanOptions::kMaxUnanswered)
                        m_cut = true;
                    else
                        queue.insert(queue.begin(),
                                     std::make_move_iterator(batch.begin() + static_cast<std::ptrdiff_t>(i) + 1),
                                     std::make_move_iterator(batch.end()));
                    break;
                }
                FolderThread::Read &read = reads[taken++];
                if (!read.opened || !enter(read.before))
                    continue; // unreadable, or read already on another path: shown without children
                if (m_options.onFolderRead)
                    m_options.onFolderRead(next.path, read.before);
                keep(read.children, next.node->children, next.path + '/', next.depth + 1);
            }
        }
        tree.cut = m_cut;
        return tree;
    }

private:
    struct Pending
    {
        FolderNode *node;
        std::string path; // from the root
        std::size_t depth;
    };

    // Marks the folder whose state is status as read; false when it was read already on another
    // path.
    bool enter(const struct stat &status) { return m_seen.insert(FolderId{status.st_dev, status.st_ino}).second; }

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

    const std::string &m_root;
    const FolderTreeScanner::Options &m_options;
    std::unordered_set<FolderId, FolderIdHash> m_seen;
    std::deque<Pending> m_real;   // folders waiting to be read
    std::deque<Pending> m_linked; // the same, reached through a link: read after every real one
    std::size_t m_count = 0;
    bool m_cut = false;
    std::unique_ptr<FolderThread> m_thread;
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
    return Scan(root, options).run(fd.get(), rootEntries);
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
