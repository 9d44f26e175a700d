#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace marlit {

// Whole-file reads and crash-safe whole-file writes. A write goes to a temporary file in the same
// folder, is flushed to disk and then renamed over the target, so a full disk, a crash or a kill
// at any point leaves the previous file as it was.
class SafeFile
{
public:
    // The file's bytes, or nothing when it does not exist, is not a regular file or cannot be read.
    static std::optional<std::string> readAll(const std::string &path);

    // Replaces the file with bytes. Returns false, and leaves everything as it was, when the file
    // exists but is read-only (no write permission bit set), when the folder cannot be written,
    // or when any step of the write fails. A new file gets mode 0666 less the umask; a replaced
    // file keeps its mode. A path that is a symbolic link writes the file the link points to.
    static bool writeAll(const std::string &path, std::string_view bytes);

    // Creates the file with bytes only if nothing is at path yet, in one step that cannot replace
    // a file another program creates meanwhile. Returns false when something is there already or
    // the file cannot be written (a file it began is removed again).
    static bool createNew(const std::string &path, std::string_view bytes);

    static bool exists(const std::string &path);
};

} // namespace marlit
