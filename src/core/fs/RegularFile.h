#pragma once

#include "core/fs/FileDescriptor.h"

#include <cstddef>
#include <string>

namespace marlit {

// A file of someone else's, read-only, never locked, and only a regular file (a FIFO or a device
// under its name is passed over, and cannot hold the open). Read whole, or by parts from several
// threads at once.
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

    // Opens path for reads by part: found() and problem() say as Read's fields do.
    static RegularFile open(const std::string &path, std::size_t maxBytes);
    bool found() const { return m_file.valid(); }
    const std::string &problem() const { return m_problem; }
    // The size when opened.
    std::size_t size() const { return m_size; }

    struct Part
    {
        std::size_t bytes = 0; // fewer than asked where the file has become shorter
        int error = 0;         // errno of a read that failed
    };
    // The whole file, as read() gives it.
    Read readWhole() const;
    // Reads length bytes from offset into to; safe to call from several threads at once.
    Part readAt(char *to, std::size_t offset, std::size_t length) const;
    // "it could not be read (...)"
    static std::string readProblem(int error);

private:
    FileDescriptor m_file;
    std::size_t m_size = 0;
    std::string m_problem;
};

} // namespace marlit
