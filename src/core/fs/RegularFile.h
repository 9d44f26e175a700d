#pragma once

#include <cstddef>
#include <string>

namespace marlit {

// A file of someone else's read whole: read-only, never locked, and only a regular file (a FIFO
// or a device under its name is passed over, and cannot hold the open).
class RegularFile
{
public:
    struct Read
    {
        bool found = false; // a regular file was there
        std::string bytes;
        std::string problem; // why a file found was not read
    };
    // Up to maxBytes; a larger file is found, not read, and said.
    static Read read(const std::string &path, std::size_t maxBytes);
};

} // namespace marlit
