#pragma once

#include <string>
#include <vector>

namespace marlit {

struct DirectoryEntry
{
    std::string name;
    bool isDirectory = false; // a folder, or a link that leads to one
};

// Reads one folder with opendir/readdir. The entry type comes from d_type; the file is only
// examined (stat, following links) when the type is unknown or the entry is a link.
class DirectoryReader
{
public:
    // Every entry of folder except "." and "..", in the order the system yields them. folder may
    // end with the separator; an empty folder means the working directory. Returns false (and
    // leaves entries empty) when the folder cannot be read.
    static bool list(const std::string &folder, std::vector<DirectoryEntry> &entries);
};

} // namespace marlit
