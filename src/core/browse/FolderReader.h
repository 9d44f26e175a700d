#pragma once

#include "core/browse/FolderListing.h"
#include "core/browse/FolderRequest.h"
#include "core/fs/FileDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace marlit {

// Carries out one FolderRequest: what a folder reader process does for the window, and what a
// test or a benchmark can do in its own process. When both a tree and a list of the same folder
// are asked for, the folder is read once, and the list is handed on before the tree is walked.
class FolderReader
{
public:
    // Far more folders than a tree shows at once; beyond them the tree's deeper folders go
    // unwatched (inotify watches are a per-user resource).
    static constexpr std::size_t kMaxTreeWatches = 8192;

    using Progress = std::function<void(std::uint64_t namesSoFar)>;
    // Hears each part once read: the listing holds that part alone (hasList or hasTree), and
    // watch the inotify descriptor that watches it (invalid when none was asked for or made).
    using Part = std::function<void(FolderListing part, FileDescriptor watch)>;

    // Reads what request asks for, each part handed to part as soon as it is read, the list
    // first; a list or tree that comes once more (sheetsPending, treePending) does so after both
    // answered; the descriptor of request.watchOnly comes last, with a listing that has neither.
    static void read(const FolderRequest &request, const Part &part, const Progress &progress = {});

    // The loop of a reader process on its socket: reads a request, answers it in frames
    // (ReaderProtocol), and again, until the window closes its end or a frame is malformed.
    static void serve(int socket);
};

} // namespace marlit
