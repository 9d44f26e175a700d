#include "core/browse/FolderReader.h"

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
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace marlit {

namespace {

// Far more folders than the play history's views gather ROMs from.
constexpr std::size_t kMaxCheckWatches = 1024;

FileDescriptor newWatch()
{
    return FileDescriptor(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
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
            // Gone only when the system says so; a file that cannot be looked at now may be there.
            struct stat status
            {
            };
            const bool gone = ::stat(path.c_str(), &status) != 0 && (errno == ENOENT || errno == ENOTDIR);
            check.present.push_back(gone ? 0 : 1);
        }
        part(std::move(check), std::move(checkWatch));
    }

    const bool sameFolder = request.readTree && request.readList && request.treeRoot == request.listFolder;
    FileDescriptor listWatch;
    FileDescriptor treeWatch;
    // Each watch is made before what it watches is read: a change during the read shows later.
    if (request.watch && request.readList) {
        listWatch = newWatch();
        watchPath(listWatch, request.listFolder, WatchEvents::kFolderMask);
    }
    if (request.watch && request.readTree) {
        treeWatch = newWatch();
        watchPath(treeWatch, request.treeRoot, WatchEvents::kFolderMask);
    }

    std::vector<DirectoryEntry> entries;
    int listError = 0;
    if (request.readList) {
        listError = DirectoryReader::read(request.listFolder, entries, progress);
        FolderListing list;
        list.id = request.id;
        list.hasList = true;
        list.listError = listError;
        // The tree may still need the entries; the list takes a copy only then.
        if (sameFolder)
            list.names = RomNames(RomListing::fromEntries(entries, request.search));
        else
            list.names = RomNames(RomListing::fromEntries(std::move(entries), request.search));
        part(std::move(list), std::move(listWatch));
    }

    if (request.readTree) {
        std::size_t watched = 0;
        FolderTreeScanner::Options options;
        if (treeWatch.valid()) {
            options.onFolderOpened = [&](int folderFd) {
                if (watched >= kMaxTreeWatches)
                    return;
                ++watched;
                const std::string path = "/proc/self/fd/" + std::to_string(folderFd);
                inotify_add_watch(treeWatch.get(), path.c_str(), WatchEvents::kFolderMask | IN_ONLYDIR);
            };
        }
        FolderListing tree;
        tree.id = request.id;
        tree.hasTree = true;
        tree.tree = sameFolder && listError == 0 ? FolderTreeScanner::scan(request.treeRoot, entries, options)
                                                 : FolderTreeScanner::scan(request.treeRoot, options);
        part(std::move(tree), std::move(treeWatch));
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
    std::string inbox;
    for (;;) {
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
            if (listing.hasTree)
                open = sendAll(socket, ReaderProtocol::tree(listing.id, listing.tree));
            if (listing.hasCheck)
                open = sendAll(socket, ReaderProtocol::presence(listing.id, listing.present));
            for (std::size_t first = 0; open && first < listing.names.size();)
                open = sendAll(socket, ReaderProtocol::names(listing.id, listing.names, first));
            ReaderProtocol::Done done;
            done.id = listing.id;
            done.hasTree = listing.hasTree;
            done.hasList = listing.hasList;
            done.listError = listing.listError;
            done.hasCheck = listing.hasCheck;
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
        // An idle reader keeps no big list's memory: it may wait long for its next request.
        malloc_trim(0);
    }
}

} // namespace marlit
