#include "core/fs/SafeFile.h"

#include "core/fs/DirectoryReader.h"
#include "core/fs/FileDescriptor.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marlit {

namespace {

bool writeFully(int fd, std::string_view bytes)
{
    const char *data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// The process's umask, read without changing it: setting and restoring it would briefly affect
// files created by other threads.
mode_t currentUmask()
{
    if (std::FILE *status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned int mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The file a write really replaces: the end of a symbolic link, else the path itself.
std::optional<std::string> resolveTarget(const std::string &path)
{
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? std::optional<std::string>(path) : std::nullopt;
    if (!S_ISLNK(info.st_mode))
        return path;
    // A dangling link has no target to resolve; writing through it is refused.
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved)
        return std::nullopt;
    return std::string(resolved.get());
}

// Temporary files are ".marlit-" and six letters or digits (mkostemp's), in the target's folder.
constexpr std::string_view kTemporaryPrefix = ".marlit-";
constexpr std::size_t kTemporaryNameSize = kTemporaryPrefix.size() + 6;

bool isTemporaryName(std::string_view name)
{
    if (name.size() != kTemporaryNameSize || name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix)
        return false;
    for (const char c : name.substr(kTemporaryPrefix.size())) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A new temporary file in folder, named into temporary, holding an exclusive flock for as long
// as it is open: a writer at work on its temporary always holds that lock. The lock is taken
// after the file is created, so a clean-up may come between and remove the file; then the name
// no longer leads to it, and another one is made.
FileDescriptor createLockedTemporary(const std::string &folder, std::string &temporary)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = (folder == "/" ? "" : folder) + '/' + std::string(kTemporaryPrefix) + "XXXXXX";
        FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
        if (!fd.valid())
            return fd;
        int locked;
        while ((locked = ::flock(fd.get(), LOCK_EX)) != 0 && errno == EINTR) {
        }
        struct stat opened
        {
        }, named{};
        // Where the file system has no flock, nobody can take the lock: nothing is cleaned up,
        // and the temporary is safe as well.
        if (locked != 0 ||
            (::fstat(fd.get(), &opened) == 0 && ::lstat(temporary.c_str(), &named) == 0 && sameFile(opened, named)))
            return fd;
    }
    errno = EEXIST;
    return FileDescriptor();
}

// Removes the temporaries that writers killed before they finished left in the folder open as
// folderFd. One is stale when its lock can be taken: its writer, who held the lock from the
// start, is gone. A lock that cannot be taken at once means a writer at work; it is left alone.
void removeStaleTemporaries(int folderFd)
{
    FileDescriptor listFd(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
    const DirectoryStream dir(listFd.valid() ? ::fdopendir(listFd.get()) : nullptr);
    if (!dir)
        return;
    listFd.release(); // the stream closes it now
    while (const dirent *entry = ::readdir(dir.get())) {
        if (!isTemporaryName(entry->d_name))
            continue;
        const FileDescriptor fd(::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened
        {
        }, named{};
        if (!fd.valid() || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
            ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Still the file under that name (its writer renamed it away meanwhile otherwise)?
        if (::fstatat(folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named))
            ::unlinkat(folderFd, entry->d_name, 0);
    }
}

// The whole content of the open file, read from its start; sizeHint is only a hint, since the
// file may grow or shrink while it is read.
std::optional<std::string> readFrom(int fd, std::size_t sizeHint)
{
    std::string bytes;
    bytes.resize(sizeHint + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t got = ::pread(fd, bytes.data() + used, bytes.size() - used, static_cast<off_t>(used));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return bytes;
}

// Whether a path holds what a conditional write expects: the file of that stamp, or nothing.
bool inExpectedState(const std::optional<FileStamp> &expected, bool exists, const struct stat &info)
{
    return expected ? exists && FileStamp::from(info) == *expected : !exists;
}

// Where renameat2's flags are not supported (some network and FUSE file systems), a plain
// rename follows the last check.
bool flagsUnsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// How the replace of a conditional write ended.
struct Commit
{
    int error = 0;             // the errno of a failed step
    bool changed = false;      // the target was not in the state expected: nothing written
    bool temporaryLeft = true; // something is still at the temporary's name, to be removed
};

// Puts temporary in target's place only while target is in the state expected. A new file
// goes in with RENAME_NOREPLACE, so that a file made meanwhile is never replaced. An existing
// one is exchanged with RENAME_EXCHANGE, and the file that this takes away, now under the
// temporary's name, is checked once more: when it is not the one expected, the exchange is
// undone. What remains unseen is an in-place write into the old file after that check.
Commit commitIfUnchanged(const std::string &temporary, const std::string &target,
                         const std::optional<FileStamp> &expected)
{
    Commit commit;
    struct stat now
    {
    };
    const bool exists = ::stat(target.c_str(), &now) == 0;
    if (!exists && errno != ENOENT) {
        commit.error = errno;
        return commit;
    }
    if (!inExpectedState(expected, exists, now)) {
        commit.changed = true;
        return commit;
    }
    const unsigned int flags = expected ? RENAME_EXCHANGE : RENAME_NOREPLACE;
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), flags) != 0) {
        if (errno == (expected ? ENOENT : EEXIST)) {
            commit.changed = true;
        } else if (!flagsUnsupported(errno)) {
            commit.error = errno;
        } else if (::rename(temporary.c_str(), target.c_str()) != 0) {
            commit.error = errno;
        } else {
            commit.temporaryLeft = false;
        }
        return commit;
    }
    if (!expected) {
        commit.temporaryLeft = false;
        return commit;
    }
    struct stat replaced
    {
    };
    if (::lstat(temporary.c_str(), &replaced) == 0 && FileStamp::from(replaced) != *expected) {
        // Another program's file came in after the last check: it goes back in its place, and
        // the new file, back under the temporary's name, is removed. Should that fail, what is
        // under the temporary's name may be the other program's file: it is left there.
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
            ::rename(temporary.c_str(), target.c_str());
            commit.temporaryLeft = false;
        }
        commit.changed = true;
    }
    return commit;
}

} // namespace

std::optional<std::string> SafeFile::readAll(const std::string &path)
{
    std::optional<StampedBytes> read = readStamped(path);
    if (!read)
        return std::nullopt;
    return std::move(read->bytes);
}

std::optional<StampedBytes> SafeFile::readStamped(const std::string &path)
{
    // O_NONBLOCK keeps a FIFO at this path from blocking the open; it is refused below anyway.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return std::nullopt;
    // A file written in place while it is read is read again, a few times at most.
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        struct stat before
        {
        }, after{};
        if (::fstat(fd.get(), &before) != 0 || !S_ISREG(before.st_mode))
            return std::nullopt;
        std::optional<std::string> bytes = readFrom(fd.get(), static_cast<std::size_t>(before.st_size));
        if (!bytes || ::fstat(fd.get(), &after) != 0)
            return std::nullopt;
        const FileStamp stamp = FileStamp::from(before);
        if (stamp == FileStamp::from(after) || attempt == kAttempts)
            return StampedBytes{std::move(*bytes), stamp};
    }
}

WriteResult SafeFile::writeAll(const std::string &path, std::string_view bytes)
{
    return replaceFile(path, bytes, nullptr);
}

WriteResult SafeFile::writeAllIfUnchanged(const std::string &path, std::string_view bytes,
                                          const std::optional<FileStamp> &expected)
{
    return replaceFile(path, bytes, &expected);
}

WriteResult SafeFile::replaceFile(const std::string &path, std::string_view bytes,
                                  const std::optional<FileStamp> *expected)
{
    if (path.empty())
        return WriteResult::failure(ENOENT);
    const std::optional<std::string> target = resolveTarget(path);
    if (!target)
        return WriteResult::failure(errno);

    mode_t mode = 0666 & ~currentUmask();
    struct stat old
    {
    };
    const bool replacing = ::stat(target->c_str(), &old) == 0;
    if (!replacing && errno != ENOENT)
        return WriteResult::failure(errno);
    // What stands there now is no file at all (a folder put in its place): said as such, not as
    // a file another program changed.
    if (replacing && !S_ISREG(old.st_mode))
        return WriteResult::failure(S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    if (expected && !inExpectedState(*expected, replacing, old))
        return WriteResult::changedMeanwhile();
    if (replacing) {
        // No write bit at all means the user made it read-only; root would be allowed to write
        // it, so the bits are checked and not only the access rights.
        if ((old.st_mode & 0222) == 0)
            return WriteResult::failure(EACCES);
        if (::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) != 0)
            return WriteResult::failure(errno);
        mode = old.st_mode & 07777;
    }

    const std::string folder = folderOf(*target);
    FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.valid())
        removeStaleTemporaries(folderFd.get());

    std::string temporary;
    FileDescriptor fd = createLockedTemporary(folder, temporary);
    if (!fd.valid())
        return WriteResult::failure(errno);

    int error = 0;
    if (!writeFully(fd.get(), bytes) || ::fchmod(fd.get(), mode) != 0)
        error = errno;
    if (error == 0 && replacing && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        // Keep the owner of a replaced file where we may; failing that it becomes ours.
        [[maybe_unused]] const int ignored = ::fchown(fd.get(), old.st_uid, old.st_gid);
    }
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    // The lock stays with this second descriptor until the temporary is renamed or removed, so
    // that no other writer's clean-up takes it; closing the first still reports a late error.
    const FileDescriptor lock(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
    if (!fd.close() && error == 0)
        error = errno;
    Commit commit;
    if (error != 0)
        commit.error = error;
    else if (expected)
        commit = commitIfUnchanged(temporary, *target, *expected);
    else if (::rename(temporary.c_str(), target->c_str()) != 0)
        commit.error = errno;
    else
        commit.temporaryLeft = false;
    if (commit.temporaryLeft)
        ::unlink(temporary.c_str());
    if (commit.error != 0)
        return WriteResult::failure(commit.error);
    if (commit.changed)
        return WriteResult::changedMeanwhile();

    // Makes the rename itself durable. The new content is already in place, so a folder that
    // cannot be synced (some file systems refuse) does not turn the write into a failure.
    if (folderFd.valid())
        ::fsync(folderFd.get());
    return WriteResult::success();
}

WriteResult SafeFile::createNew(const std::string &path, std::string_view bytes)
{
    if (path.empty())
        return WriteResult::failure(ENOENT);
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid())
        return WriteResult::failure(errno);
    int error = 0;
    if (!writeFully(fd.get(), bytes) || ::fsync(fd.get()) != 0)
        error = errno;
    if (!fd.close() && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(path.c_str());
        return WriteResult::failure(error);
    }
    return WriteResult::success();
}

std::string WriteResult::reason() const
{
    if (m_changed)
        return "the file was changed by another program";
    return m_error == 0 ? std::string() : std::string(std::strerror(m_error));
}

} // namespace marlit
