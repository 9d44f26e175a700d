#pragma once

#include <optional>
#include <string>

#include <sys/stat.h>

namespace marlit {

// What tells one state of a file from another without reading it: its size, its modification
// time to the nanosecond, and which file it is (device and inode, so a file replaced by another
// of the same size and age still counts as changed).
struct FileStamp
{
    long long size = 0;
    long long modifiedNs = 0;
    unsigned long long device = 0;
    unsigned long long inode = 0;

    friend bool operator==(const FileStamp &, const FileStamp &) = default;

    static FileStamp from(const struct stat &info)
    {
        return {static_cast<long long>(info.st_size),
                static_cast<long long>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino)};
    }

    // The stamp of what path names (links followed; an empty path is the working directory); none
    // when there is nothing there.
    static std::optional<FileStamp> of(const std::string &path)
    {
        struct stat info
        {
        };
        if (::stat(path.empty() ? "." : path.c_str(), &info) != 0)
            return std::nullopt;
        return from(info);
    }
};

} // namespace marlit
