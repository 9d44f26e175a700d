#pragma once

#include "core/browse/RomSearch.h"
#include "core/fs/FileStamp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace marlit {

// One read asked of a folder reader: a ROM directory's folder tree, a folder's ROM list, or
// both (then the directory is read once for the two), folders to be watched only, files
// whose presence is checked (ROMs gathered from several folders by the play history), and the
// folders of other front-ends' game lists. With
// watch set, each part read comes with an inotify descriptor that watches it, made before the
// part is read, so no change after the read goes unnoticed (made once the folder has answered,
// so that a read that never returns holds none).
struct FolderRequest
{
    std::uint64_t id = 0;

    bool readTree = false;
    std::string treeRoot; // ends with the separator

    bool readList = false;
    std::string listFolder; // ends with the separator
    RomSearch search;
    bool listAll = false;               // the list holds the game files of listFolder's sub-folders too
    std::vector<std::string> fileTypes; // wildcard patterns of the system's game files; none: every file

    bool watch = false;
    std::vector<std::string> watchOnly; // watched in one descriptor of their own, not read
    // Checked for presence; with watch, their folders are watched for files that come and go.
    std::vector<std::string> checkPaths;
    // The checked paths are programs looked for (on PATH): present only when an executable file.
    // Their folders are then read as a list's, so each holds one stuck reader at most.
    bool checkPrograms = false;

    // Folders of other front-ends' game lists and pictures, listed as they are, each entry with
    // its type (FolderEntriesWalk): entriesOf (ending with the separator) with its sub-folders
    // down to entriesDepth levels; or, with entriesNamedIn, the folders that the file entriesOf
    // names that hold entriesHolding, each alone ("~/" in the file is home).
    std::string entriesOf;
    std::uint8_t entriesDepth = 0;
    bool entriesNamedIn = false;
    std::string entriesHolding;
    std::string home;

    // A look at folders whose changes are not told: the list (the tree) is read only when its
    // folder's stamp is no longer listStamp (treeStamp; none: it was not there), and is
    // otherwise answered as unchanged.
    bool onlyIfChanged = false;
    std::optional<FileStamp> listStamp;
    std::optional<FileStamp> treeStamp;

    bool operator==(const FolderRequest &) const = default;
};

} // namespace marlit
