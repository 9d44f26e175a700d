#pragma once

#include "core/fs/FileStamp.h"

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>

namespace marlit {

// The outcome of a write: success, or the errno of the step that failed, so that the window can
// tell the user why. Deliberately not convertible to bool: the caller asks ok() or error().
class WriteResult
{
public:
    static WriteResult success() { return WriteResult(0, false); }
    static WriteResult failure(int error) { return WriteResult(error != 0 ? error : EIO, false); }
    // A conditional write found the file no longer in the state it expected and wrote nothing.
    static WriteResult changedMeanwhile() { return WriteResult(0, true); }

    bool ok() const { return m_error == 0 && !m_changed; }
    int error() const { return m_error; }
    bool wasChangedMeanwhile() const { return m_changed; }
    // The system's text for the error, e.g. "No space left on device"; empty on success.
    std::string reason() const;

private:
    WriteResult(int error, bool changed) : m_error(error), m_changed(changed) {}
    int m_error;
    bool m_changed;
};

// A file's bytes and the stamp of the state they were read from.
struct StampedBytes
{
    std::string bytes;
    FileStamp stamp;
};

// Whole-file reads and crash-safe whole-file writes. A write goes to a temporary file in the same
// folder, is flushed to disk and then renamed over the target, so a full disk, a crash or a kill
// at any point leaves the previous file as it was. A temporary file (".marlit-" and six letters or
// digits) is locked with flock by its writer from the start; one that a killed writer left behind
// is removed by the next write in that folder, and a locked one, another writer's at work, never.
class SafeFile
{
public:
    // The file's bytes, or nothing when it does not exist, is not a regular file or cannot be read.
    static std::optional<std::string> readAll(const std::string &path);
    // The same, with the stamp of what was read. Should the file change while it is read, the
    // stamp is the one from before, which a later look at the file then no longer finds.
    static std::optional<StampedBytes> readStamped(const std::string &path);

    // Replaces the file with bytes. Fails, and leaves everything as it was, when the file exists
    // but is read-only (no write permission bit set: EACCES), is not a regular file (EISDIR or
    // EINVAL), when the folder cannot be written, or when any step of the write fails. A new file gets mode 0666 less
    // the umask; a replaced file keeps its mode. A path that is a symbolic link writes the file the link points to.
    static WriteResult writeAll(const std::string &path, std::string_view bytes);

    // Replaces the file as writeAll does, but only while it is still in the state expected: the
    // stamp of what was read, or nothing for no file at all. The state is checked before the
    // write, again just before the replace, and once more on the file that the replace took
    // away, which is put back if it was not the one expected. When the state is not the one
    // expected, nothing is written and the result says changedMeanwhile. An in-place write by
    // another program that lands after that last check is not seen.
    static WriteResult writeAllIfUnchanged(const std::string &path, std::string_view bytes,
                                           const std::optional<FileStamp> &expected);

    // Creates the file with bytes only if nothing is at path yet, in one step that cannot replace
    // a file another program creates meanwhile. Returns false when something is there already or
    // the file cannot be written (a file it began is removed again).
    static WriteResult createNew(const std::string &path, std::string_view bytes);

private:
    // writeAll, or writeAllIfUnchanged when expected is given.
    static WriteResult replaceFile(const std::string &path, std::string_view bytes,
                                   const std::optional<FileStamp> *expected);
};

} // namespace marlit
