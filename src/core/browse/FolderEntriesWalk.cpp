#include "core/browse/FolderEntriesWalk.h"

#include "core/fs/ListedPath.h"
#include "core/fs/Paths.h"
#include "core/fs/RegularFile.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace marlit {

std::vector<FolderEntries> FolderEntriesWalk::walk(const std::string &folder, int depth)
{
    std::vector<FolderEntries> listed;
    std::vector<std::pair<std::string, int>> pending{{folder, 0}};
    std::size_t entries = 0;
    while (!pending.empty() && listed.size() < kMaxFolders && entries < kMaxEntries) {
        auto [path, level] = std::move(pending.back());
        pending.pop_back();
        FolderEntries read;
        read.folder = std::move(path);
        read.stamp = FileStamp::of(read.folder); // before the read: a change during it shows next time
        read.error = DirectoryReader::read(read.folder, read.entries);
        if (read.error != 0 && !listed.empty())
            continue;
        // In name order, so that "x.jpg" wins over "x.png" the same way on every file system.
        std::sort(read.entries.begin(), read.entries.end(),
                  [](const DirectoryEntry &a, const DirectoryEntry &b) { return a.name < b.name; });
        entries += read.entries.size();
        if (level < depth)
            for (auto entry = read.entries.rbegin(); entry != read.entries.rend(); ++entry)
                if (entry->isDirectory)
                    pending.emplace_back(read.folder + entry->name + kPathSeparator, level + 1);
        listed.push_back(std::move(read));
    }
    return listed;
}

std::vector<std::string> FolderEntriesWalk::foldersHolding(const std::string &listFile, const std::string &folder,
                                                           const std::string &home)
{
    std::vector<std::string> folders;
    const RegularFile::Read list = RegularFile::read(listFile, kMaxFolderListBytes);
    std::string_view rest = list.bytes;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.empty() || (line.front() != kPathSeparator && line.front() != '~'))
            continue;
        std::string named = withTrailingSeparator(resolveListedPath(line, "/", home));
        if (folder.rfind(named, 0) == 0 && named != folder &&
            std::find(folders.begin(), folders.end(), named) == folders.end())
            folders.push_back(std::move(named));
    }
    return folders;
}

} // namespace marlit
