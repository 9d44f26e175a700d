#pragma once

#include "core/fs/DirectoryReader.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace marlit {

// Hands the folders a walk reads on to a thread of their own that lists them, a few at a time,
// so that what is made of their names is made beside the walk: the reads wait on the kernel, the
// listing on the processor. Where threads cannot follow a fork (ThreadSanitizer's builds), or the
// system starts no thread, each folder is listed at once, on the walk's thread.
class FolderHandOff
{
public:
    struct Folder
    {
        std::string path;     // ending with the separator
        std::string relative; // its path below the walk's root
        DirectoryNames entries;
    };
    using List = std::function<void(const std::vector<Folder> &)>;

    explicit FolderHandOff(List list);
    ~FolderHandOff(); // finish()
    FolderHandOff(const FolderHandOff &) = delete;
    FolderHandOff &operator=(const FolderHandOff &) = delete;

    // Hands a folder read on. entries comes back empty for the next read: a block of a folder
    // listed already, so that each thread frees what it allocates and the blocks keep their size.
    void handOn(std::string path, std::string relative, DirectoryNames &entries);
    // Returns once every folder handed on is listed; list is not called after.
    void finish();

private:
    void serve();

    List m_list;
    std::mutex m_lock;
    std::condition_variable m_handedOn;
    std::vector<Folder> m_folders; // handed on, not yet listed
    std::vector<DirectoryNames> m_spare;
    bool m_finished = false;
    std::thread m_thread;
};

} // namespace marlit
