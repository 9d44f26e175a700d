#include "core/browse/FolderHandOff.h"

#include "core/browse/ReaderThreads.h"

#include <system_error>
#include <utility>

namespace marlit {

namespace {

constexpr std::size_t kFoldersAtATime = 16; // a wake per folder would cost more than it saves

} // namespace

FolderHandOff::FolderHandOff(List list) : m_list(std::move(list))
{
    if (!kThreadsAfterFork)
        return;
    try {
        m_thread = std::thread([this] { serve(); });
    } catch (const std::system_error &) {
        // No thread to be had (a limit of the system's): the walk lists each folder itself.
    }
}

FolderHandOff::~FolderHandOff()
{
    finish();
}

void FolderHandOff::handOn(std::string path, std::string relative, DirectoryNames &entries)
{
    if (!m_thread.joinable()) {
        m_folders.push_back({std::move(path), std::move(relative), std::move(entries)});
        m_list(m_folders);
        entries = std::move(m_folders.back().entries);
        m_folders.clear();
        return;
    }
    const std::lock_guard held(m_lock);
    m_folders.push_back({std::move(path), std::move(relative), std::move(entries)});
    entries = DirectoryNames();
    if (!m_spare.empty()) {
        entries = std::move(m_spare.back());
        m_spare.pop_back();
    }
    if (m_folders.size() >= kFoldersAtATime)
        m_handedOn.notify_one();
}

void FolderHandOff::finish()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard held(m_lock);
        m_finished = true;
    }
    m_handedOn.notify_one();
    m_thread.join();
}

void FolderHandOff::serve()
{
    for (std::vector<Folder> taken;;) {
        {
            std::unique_lock held(m_lock);
            for (Folder &folder : taken)
                m_spare.push_back(std::move(folder.entries));
            taken.clear();
            m_handedOn.wait(held, [&] { return m_finished || m_folders.size() >= kFoldersAtATime; });
            if (m_folders.empty())
                return;
            taken.swap(m_folders);
        }
        m_list(taken);
    }
}

} // namespace marlit
