#pragma once

#include "core/browse/FolderEntries.h"
#include "core/fs/FileStamp.h"
#include "core/metadata/GameCollection.h"
#include "core/metadata/GameListPlaces.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace marlit {

// Reads a system's game lists and media folders into a GameCollection, and keeps what it read
// until one of the files or folders changes (device, inode, size, modification time): reading a
// system again costs one stat per file then, and gives the very same collection.
//
// Nothing is written, moved or locked: files are opened read-only, without locks, and only
// regular files are read (a FIFO or device under a game list's name is passed over). A file is
// read whole into memory, up to maxFileBytes; a larger one is said and left out. Folders are
// never read here: their listings come with the request (FolderEntriesWalk, in a folder reader
// process), and pictures are found by name in them.
//
// Safe to call from several threads.
class GameCollectionReader
{
public:
    struct Limits
    {
        std::size_t maxFileBytes = std::size_t{64} << 20;
        std::size_t maxPictures = 400'000; // over all media folders of a system
        std::size_t maxHeld = 8;           // systems kept
    };

    GameCollectionReader() : GameCollectionReader(Limits{}) {}
    explicit GameCollectionReader(Limits limits) : m_limits(limits) {}

    // The levels below a media folder that are listed: <kind>/ and three of the ROM folder's
    // sub-folders below it, or <game>/ as Pegasus keeps them.
    static constexpr int kMediaDepth = 4;

    // listings holds places' media folders walked kMediaDepth levels, and its metafile folders
    // alone; a folder not among them did not answer and is passed over. places' game folder list
    // is not read: the folders it names are taken as metafile folders first (takeGameFolders).
    std::shared_ptr<const GameCollection> read(const std::string &romFolder, const GameListPlaces &places,
                                               const std::string &home, const FolderEntriesByPath &listings);
    // The same, with the folders listed (and the game folder list read) in this process: for
    // tests and benchmarks.
    std::shared_ptr<const GameCollection> read(const std::string &romFolder, const GameListPlaces &places,
                                               const std::string &home);

private:
    using Stamps = std::vector<std::pair<std::string, std::optional<FileStamp>>>;
    struct Held
    {
        Stamps stamps;
        std::shared_ptr<const GameCollection> collection;
        unsigned long long lastUse = 0;
    };

    static constexpr std::size_t kMaxMetafiles = 64;

    // A file is stamped as it is now, a folder (ending with the separator) as it was listed.
    static bool current(const Stamps &stamps, const FolderEntriesByPath &listings);
    // The Pegasus metafiles of places' metafile folders, less those places names already; their
    // folders are stamped.
    static std::vector<GameListFile> metafiles(const GameListPlaces &places, const FolderEntriesByPath &listings,
                                               Stamps &stamps);
    void readMediaFolder(const std::string &folder, const FolderEntriesByPath &listings, GameCollection &collection,
                         Stamps &stamps) const;

    const Limits m_limits;
    std::mutex m_mutex;
    std::unordered_map<std::string, Held> m_held;
    unsigned long long m_uses = 0;
};

} // namespace marlit
