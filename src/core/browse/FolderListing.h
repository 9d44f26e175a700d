#pragma once

#include "core/browse/FolderEntries.h"
#include "core/browse/FolderTreeScanner.h"
#include "core/browse/RomNames.h"
#include "core/fs/FileStamp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace marlit {

// A folder reader's answer to one FolderRequest: what it read, or why it could not. Immutable
// once made; the inotify descriptors of a watched read travel beside it.
struct FolderListing
{
    std::uint64_t id = 0;

    bool hasTree = false;
    FolderTree tree;

    bool hasList = false;
    int listError = 0;         // errno of a folder that could not be read; 0 when read
    RomNames names;            // the ROM list: files only, searched, sorted
    MissingParts missingParts; // its sheets and lists that name files their folders do not hold
    // The listed folder's Pegasus metafiles, whatever the search and the file types leave of its
    // names (not for "All Games"): its game lists are found by them.
    std::vector<std::string> metafiles;

    bool hasCheck = false;
    // One per checked path: 1 when it is there (or cannot be told), 0 when it is gone.
    std::vector<std::uint8_t> present;

    bool hasEntries = false;
    // What an entries request listed: its folder and the sub-folders that answered (the folder
    // first, with its error), or the folders its file names that answered.
    std::vector<FolderEntries> entries;

    // Of a list or a tree: its folder's stamp as it was read (none: not there); whether it was
    // only looked at and found unchanged (then nothing else is told); whether its file system
    // tells changes at all (shares mostly do not); whether the system refused a watch asked for.
    std::optional<FileStamp> stamp;
    bool unchanged = false;
    bool tellsChanges = true;
    bool watchRefused = false;
    // Of a list whose sheets and lists hide files: what they hide is guessed from the names, and
    // the same read answers the list once more when they are read: unchanged (nothing else told)
    // or with the names and missing parts as the sheets tell them. "All Games" asked with a
    // watch answers so too: its folders are watched after it answered, and the second answer,
    // which brings the watch, holds the names again when one of them changed before its watch.
    bool sheetsPending = false;
    // Of a tree asked for with a watch: it answers before its folders (there may be thousands)
    // are watched, and once more when they are, bringing the watch: unchanged, or with the tree
    // read again when one of them changed before its watch.
    bool treePending = false;

    bool operator==(const FolderListing &) const = default;
};

} // namespace marlit
