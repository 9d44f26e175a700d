#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace marlit {

struct DirectoryEntry
{
    std::string name;
    bool isDirectory = false; // a folder, or a link that leads to one
    bool isLink = false;      // a symbolic link that leads to a folder

    bool operator==(const DirectoryEntry &) const = default;
};

// A folder's entries in one block of bytes, for walks of thousands of folders: read without an
// allocation per name, and handed on whole.
struct DirectoryNames
{
    std::string bytes;                 // the names, one after the other
    std::vector<std::uint32_t> ends;   // where each name ends in bytes
    std::vector<std::uint8_t> folders; // 1 for a folder, or a link that leads to one

    std::size_t size() const { return ends.size(); }
    std::string_view name(std::size_t index) const
    {
        const std::size_t begin = index == 0 ? 0 : ends[index - 1];
        return std::string_view(bytes).substr(begin, ends[index] - begin);
    }
};

struct DirectoryStreamCloser
{
    void operator()(DIR *dir) const { closedir(dir); }
};
// An open folder, closed when the scope ends.
using DirectoryStream = std::unique_ptr<DIR, DirectoryStreamCloser>;

// Reads one folder with opendir/readdir. The entry type comes from d_type; the file is only
// examined (stat, following links) when the type is unknown or the entry is a link.
class DirectoryReader
{
public:
    // Every entry of folder except "." and "..", in the order the system yields them. folder may
    // end with the separator; an empty folder means the working directory. Returns false (and
    // leaves entries empty) when the folder cannot be read.
    static bool list(const std::string &folder, std::vector<DirectoryEntry> &entries);
    // The same, giving why a folder cannot be read: 0 when it was read, else the errno of the
    // failure (ENOENT, EACCES, ENOTDIR, EIO ...). progress, when given, hears the count of
    // entries read so far every few hundred entries.
    static int read(const std::string &folder, std::vector<DirectoryEntry> &entries,
                    const std::function<void(std::size_t)> &progress = {});
    // The same, as one block of names (without whether a folder is a link). status, when given,
    // hears the folder's own, taken once it is open and before its entries are read.
    static int read(const std::string &folder, DirectoryNames &names, struct stat *status = nullptr);

    // Whether entry, read from the folder open as folderFd, is a folder or a link to one. Only a
    // link, or a file system that gives no type, costs a stat.
    static bool isFolder(int folderFd, const dirent &entry);
    // Whether entry, known to be a folder or a link to one, is a link. Costs a stat only on a
    // file system that gives no type.
    static bool isLink(int folderFd, const dirent &entry);
};

} // namespace marlit
