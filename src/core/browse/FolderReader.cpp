#include "core/browse/FolderReader.h"

#include "core/browse/FolderEntriesWalk.h"
#include "core/browse/GameFiles.h"
#include "core/browse/PegasusMetafileName.h"
#include "core/browse/ReaderProtocol.h"
#include "core/browse/RomListing.h"
#include "core/browse/WatchEvents.h"
#include "core/fs/Paths.h"
#include "core/fs/SocketMessage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <span>
#include <string>

#include <malloc.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace marlit {

namespace {

// Far more folders than the play history's views gather ROMs from.
constexpr std::size_t kMaxCheckWatches = 1024;
// A reader keeps the memory of its last answer this long, for the next request (the user going
// from folder to folder) to find its pages ready instead of faulting in fresh ones.
constexpr int kKeepMemoryMs = 10'000;

FileDescriptor newWatch()
{
    return FileDescriptor(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
}

// Adds folder to watch, made first when there is none yet; false when the system refuses
// either (the user's inotify allowance used up).
bool watchFolder(FileDescriptor &watch, const std::string &folder)
{
    if (!watch.valid())
        watch = newWatch();
    return watch.valid() && inotify_add_watch(watch.get(), folder.empty() ? "." : folder.c_str(),
                                              WatchEvents::kFolderMask | IN_ONLYDIR) >= 0;
}

// Whether changes in folder reach inotify: on a share, what another computer changes does not.
bool tellsChanges(const std::string &folder)
{
    struct statfs info
    {
    };
    if (::statfs(folder.empty() ? "." : folder.c_str(), &info) != 0)
        return true;
    switch (static_cast<std::uint32_t>(info.f_type)) {
    case 0x6969:     // NFS
    case 0x517B:     // SMB
    case 0xFE534D42: // SMB2
    case 0xFF534D42: // CIFS
    case 0x65735546: // FUSE
    case 0x01021997: // 9P
    case 0x00C36400: // Ceph
    case 0x5346414F: // AFS
    case 0x73757245: // Coda
        return false;
    default:
        return true;
    }
}

void watchPath(const FileDescriptor &watch, const std::string &folder, std::uint32_t mask)
{
    if (watch.valid())
        inotify_add_watch(watch.get(), folder.empty() ? "." : folder.c_str(), mask | IN_ONLYDIR);
}

long long nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// Writes all of bytes, the descriptors (if any) riding with the first byte.
bool sendAll(int socket, const std::string &bytes, const int *fds = nullptr, int fdCount = 0)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const std::span<const int> riding(fds, sent == 0 ? static_cast<std::size_t>(fdCount) : 0);
        const ssize_t n = SocketMessage::send(socket, bytes.data() + sent, bytes.size() - sent, riding, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads from socket until buffer holds a whole frame; false at the end or on damage.
bool receiveFrame(int socket, std::string &buffer, ReaderProtocol::Frame &frame, std::size_t &size)
{
    for (;;) {
        switch (ReaderProtocol::split(buffer, frame, size)) {
        case ReaderProtocol::Split::Whole:
            return true;
        case ReaderProtocol::Split::Malformed:
            return false;
        case ReaderProtocol::Split::Incomplete:
            break;
        }
        char chunk[4096];
        const ssize_t n = ::read(socket, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

} // namespace

void FolderReader::read(const FolderRequest &request, const Part &part, const Progress &progress)
{
    if (!request.checkPaths.empty()) {
        // Their folders are watched before the files are looked at, as a list's folder is.
        FileDescriptor checkWatch;
        if (request.watch) {
            checkWatch = newWatch();
            std::vector<std::string> folders;
            for (const std::string &path : request.checkPaths)
                if (std::string folder = splitAfterLastSeparator(path).folder;
                    std::find(folders.begin(), folders.end(), folder) == folders.end() &&
                    folders.size() < kMaxCheckWatches)
                    folders.push_back(std::move(folder));
            for (const std::string &folder : folders)
                watchPath(checkWatch, folder, WatchEvents::kFolderMask);
        }
        FolderListing check;
        check.id = request.id;
        check.hasCheck = true;
        check.present.reserve(request.checkPaths.size());
        for (const std::string &path : request.checkPaths) {
            struct stat status
            {
            };
            const bool found = ::stat(path.c_str(), &status) == 0;
            if (request.checkPrograms) {
                check.present.push_back(found && S_ISREG(status.st_mode) && ::access(path.c_str(), X_OK) == 0);
                continue;
            }
            // Gone only when the system says so; a file that cannot be looked at now may be there.
            const bool gone = !found && (errno == ENOENT || errno == ENOTDIR);
            check.present.push_back(gone ? 0 : 1);
        }
        part(std::move(check), std::move(checkWatch));
    }

    if (!request.entriesOf.empty()) {
        FolderListing listed;
        listed.id = request.id;
        listed.hasEntries = true;
        if (!request.entriesNamedIn)
            listed.entries = FolderEntriesWalk::walk(request.entriesOf, request.entriesDepth);
        else
            for (const std::string &folder :
                 FolderEntriesWalk::foldersHolding(request.entriesOf, request.entriesHolding, request.home))
                for (FolderEntries &named : FolderEntriesWalk::walk(folder, 0))
                    listed.entries.push_back(std::move(named));
        part(std::move(listed), {});
    }

    const bool sameFolder =
        request.readTree && request.readList && !request.listAll && request.treeRoot == request.listFolder;
    std::vector<DirectoryEntry> entries;
    int listError = 0;
    bool listRead = false;
    GameFiles games;
    bool sheetsPending = false;
    FolderListing sheetsRead; // the list once more, its sheets read
    // "All Games" answers before its folders (there may be thousands) are watched, and comes once
    // more when they are: corrected if one of them changed before its watch.
    bool watchAfterAnswer = false;
    // Its sub-folders are watched too, each against its state before it was read.
    std::vector<std::pair<std::string, struct stat>> subFolders;
    const auto onSubFolder = [&](const std::string &path, const struct stat &before) {
        if (!path.empty() && request.watch && subFolders.size() < kMaxTreeWatches)
            subFolders.emplace_back(path, before);
    };
    if (request.readList) {
        FolderListing list;
        list.id = request.id;
        list.hasList = true;
        list.stamp = FileStamp::of(request.listFolder);
        FileDescriptor listWatch;
        if (request.onlyIfChanged && list.stamp == request.listStamp) {
            list.unchanged = true;
        } else {
            // "All Games": the folder and its sub-folders, read as a whole and so never kept for the tree.
            const auto readList = [&] {
                subFolders.clear();
                return request.listAll ? GameFiles::ofTree(request.listFolder, request.search, request.fileTypes, games,
                                                           progress, onSubFolder)
                                       : DirectoryReader::read(request.listFolder, entries, progress);
            };
            listError = readList();
            listRead = !request.listAll;
            watchAfterAnswer = request.listAll && request.watch && listError == 0;
            // Watched once it has answered; a change made before the watch shows in its stamp,
            // and then the folder is read once more, watched all along this time.
            if (request.watch && listError == 0 && !watchAfterAnswer) {
                list.watchRefused = !watchFolder(listWatch, request.listFolder);
                if (list.watchRefused)
                    listWatch.close();
                if (const std::optional<FileStamp> now = FileStamp::of(request.listFolder); now != list.stamp) {
                    list.stamp = now;
                    entries.clear();
                    listError = readList();
                }
            }
            list.listError = listError;
            list.tellsChanges = listError != 0 || tellsChanges(request.listFolder);
            // Before the search and the file types narrow the names.
            for (const DirectoryEntry &entry : entries)
                if (!entry.isDirectory && isPegasusMetafileName(entry.name))
                    list.metafiles.push_back(entry.name);
            std::sort(list.metafiles.begin(), list.metafiles.end());
            if (!request.listAll)
                games = GameFiles::of(entries, request.search, request.fileTypes, request.listFolder);
            // Sheets cost a read each: the list shows at once with what they hide guessed from the
            // names, and comes again once they are read, after the tree.
            sheetsPending = games.hasSheets() || watchAfterAnswer;
            if (games.hasSheets())
                games.hideByName();
            list.names = games.shown();
            list.sheetsPending = sheetsPending;
            sheetsRead.metafiles = list.metafiles; // the list's second answer names them too
        }
        sheetsRead.id = list.id;
        sheetsRead.hasList = true;
        sheetsRead.stamp = list.stamp;
        sheetsRead.tellsChanges = list.tellsChanges;
        sheetsRead.watchRefused = list.watchRefused;
        part(std::move(list), std::move(listWatch));
    }

    // The tree answers before its folders (there may be thousands) are watched, by path, and comes
    // once more when they are; a folder changed before its watch is read again, with the tree,
    // watched this time.
    struct Seen
    {
        std::string path;
        struct stat before;
    };
    std::vector<Seen> seen;
    FolderTreeScanner::Options treeOptions;
    if (request.watch) {
        treeOptions.onFolderRead = [&](const std::string &path, const struct stat &before) {
            if (seen.size() < kMaxTreeWatches)
                seen.push_back({path, before});
        };
    }
    FolderListing treeWatched; // the tree's second answer
    if (request.readTree) {
        FolderListing tree;
        tree.id = request.id;
        tree.hasTree = true;
        tree.stamp = FileStamp::of(request.treeRoot);
        if (request.onlyIfChanged && tree.stamp == request.treeStamp) {
            tree.unchanged = true;
        } else {
            const bool fromEntries = sameFolder && listRead && listError == 0;
            tree.tree = fromEntries ? FolderTreeScanner::scan(request.treeRoot, entries, treeOptions)
                                    : FolderTreeScanner::scan(request.treeRoot, treeOptions);
            tree.tellsChanges = tree.tree.error != 0 || tellsChanges(request.treeRoot);
            tree.treePending = !seen.empty();
            treeWatched.id = tree.id;
            treeWatched.hasTree = tree.treePending;
            treeWatched.stamp = tree.stamp;
            treeWatched.tellsChanges = tree.tellsChanges;
        }
        part(std::move(tree), {});
    }

    FileDescriptor lateWatch;
    bool listedAgain = false;
    if (watchAfterAnswer) {
        sheetsRead.watchRefused = !watchFolder(lateWatch, request.listFolder);
        const auto watchSubFolders = [&] {
            bool changed = false;
            for (const auto &[path, before] : subFolders)
                if (const std::string folder = request.listFolder + path;
                    !sheetsRead.watchRefused && watchFolder(lateWatch, folder))
                    changed = changed || FileStamp::of(folder) != FileStamp::from(before);
            return changed;
        };
        if (sheetsRead.watchRefused) {
            lateWatch.close();
        } else if (const std::optional<FileStamp> now = FileStamp::of(request.listFolder);
                   watchSubFolders() || now != sheetsRead.stamp) {
            // Changed before its watch: read once more, watched all along this time.
            listedAgain = true;
            sheetsRead.stamp = now;
            subFolders.clear();
            sheetsRead.listError =
                GameFiles::ofTree(request.listFolder, request.search, request.fileTypes, games, progress, onSubFolder);
            watchSubFolders();
        }
    }

    if (sheetsPending) {
        // Usually the sheets name their tracks as the guess did, and nothing more is told.
        if (games.hideBySheets(&sheetsRead.missingParts) || listedAgain || !sheetsRead.missingParts.empty())
            sheetsRead.names = games.shown();
        else
            sheetsRead.unchanged = true;
        part(std::move(sheetsRead), std::move(lateWatch));
    }

    if (treeWatched.hasTree) {
        FileDescriptor treeWatch;
        bool treeRefused = false;
        treeWatched.unchanged = true;
        for (int pass = 0; pass < 3 && !seen.empty(); ++pass) {
            bool changed = false;
            for (const Seen &folder : seen) {
                const std::string path = request.treeRoot + folder.path;
                if (!watchFolder(treeWatch, path)) {
                    treeRefused = folder.path.empty(); // refused at the root: nothing is followed
                    if (treeRefused)
                        break;
                    continue;
                }
                changed = changed || FileStamp::of(path) != FileStamp::from(folder.before);
            }
            if (!changed || treeRefused)
                break;
            seen.clear();
            treeWatched.unchanged = false;
            treeWatched.stamp = FileStamp::of(request.treeRoot);
            treeWatched.tree = FolderTreeScanner::scan(request.treeRoot, treeOptions);
            treeWatched.tellsChanges = treeWatched.tree.error != 0 || tellsChanges(request.treeRoot);
        }
        treeWatched.watchRefused = treeRefused;
        if (treeRefused)
            treeWatch.close();
        part(std::move(treeWatched), std::move(treeWatch));
    }

    if (request.watch && !request.watchOnly.empty()) {
        FileDescriptor onlyWatch = newWatch();
        for (const std::string &folder : request.watchOnly)
            watchPath(onlyWatch, folder, WatchEvents::kPictureMask);
        FolderListing none;
        none.id = request.id;
        part(std::move(none), std::move(onlyWatch));
    }
}

void FolderReader::serve(int socket)
{
    // Big lists come from the heap and stay there when freed, so that the next request reuses
    // their pages; an idle reader gives them back (below).
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    std::string inbox;
    for (;;) {
        if (inbox.empty()) {
            pollfd waiting{socket, POLLIN, 0};
            if (::poll(&waiting, 1, kKeepMemoryMs) == 0)
                malloc_trim(0); // idle: what the next request needs is faulted in again then
        }
        ReaderProtocol::Frame frame;
        std::size_t frameSize = 0;
        if (!receiveFrame(socket, inbox, frame, frameSize) || frame.type != ReaderProtocol::FrameType::Request)
            return;
        const std::optional<FolderRequest> request = ReaderProtocol::readRequest(frame.payload);
        inbox.erase(0, frameSize);
        if (!request)
            return;

        bool open = true;
        long long lastProgress = nowMs();
        const auto progress = [&](std::uint64_t count) {
            // Often enough for the window to count along, rarely enough to cost nothing.
            const long long now = nowMs();
            if (open && now - lastProgress >= 100) {
                lastProgress = now;
                open = sendAll(socket, ReaderProtocol::progress(request->id, count));
            }
        };
        const auto part = [&](FolderListing listing, FileDescriptor watch) {
            if (!open)
                return;
            if (listing.hasTree && !listing.unchanged)
                open = sendAll(socket, ReaderProtocol::tree(listing.id, listing.tree));
            if (listing.hasCheck)
                open = sendAll(socket, ReaderProtocol::presence(listing.id, listing.present));
            for (std::size_t first = 0; open && first < listing.names.size();)
                open = sendAll(socket, ReaderProtocol::names(listing.id, listing.names, first));
            if (open && !listing.missingParts.empty())
                open = sendAll(socket, ReaderProtocol::missingParts(listing.id, listing.missingParts));
            if (open && !listing.metafiles.empty())
                open = sendAll(socket, ReaderProtocol::metafiles(listing.id, listing.metafiles));
            for (const FolderEntries &folder : listing.entries)
                for (std::size_t first = 0; open && (first == 0 || first < folder.entries.size());)
                    open = sendAll(socket, ReaderProtocol::entries(listing.id, folder, first));
            ReaderProtocol::Done done;
            done.id = listing.id;
            done.hasTree = listing.hasTree;
            done.hasList = listing.hasList;
            done.listError = listing.listError;
            done.hasCheck = listing.hasCheck;
            done.hasEntries = listing.hasEntries;
            done.stamp = listing.stamp;
            done.unchanged = listing.unchanged;
            done.tellsChanges = listing.tellsChanges;
            done.watchRefused = listing.watchRefused;
            done.sheetsPending = listing.sheetsPending;
            done.treePending = listing.treePending;
            const int fd = watch.get();
            if (watch.valid())
                done.watches = listing.hasTree    ? ReaderProtocol::TreeWatch
                               : listing.hasList  ? ReaderProtocol::ListWatch
                               : listing.hasCheck ? ReaderProtocol::CheckWatch
                                                  : ReaderProtocol::OnlyWatch;
            if (open)
                open = sendAll(socket, ReaderProtocol::done(done), &fd, watch.valid() ? 1 : 0);
        };
        read(*request, part, progress);
        if (!open)
            return;
    }
}

} // namespace marlit
