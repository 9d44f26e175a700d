#pragma once

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
// system again costs one stat per place then, and gives the very same collection.
//
// Nothing is written, moved or locked: files are opened read-only, without locks, and only
// regular files are read (a FIFO or device under a game list's name is passed over). A file is
// read whole into memory, up to maxFileBytes; a larger one is said and left out. A media folder
// is listed once with readdir; its pictures are then found by name in memory.
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

    std::shared_ptr<const GameCollection> read(const std::string &romFolder, const GameListPlaces &places,
                                               const std::string &home);

    struct FileRead
    {
        bool found = false; // a regular file was there
        std::string bytes;
        std::string problem;
    };
    // One file, read-only and unlocked; not found for anything but a regular file.
    static FileRead readFile(const std::string &path, std::size_t maxBytes);

private:
    using Stamps = std::vector<std::pair<std::string, std::optional<FileStamp>>>;
    struct Held
    {
        Stamps stamps;
        std::shared_ptr<const GameCollection> collection;
        unsigned long long lastUse = 0;
    };

    static constexpr std::size_t kMaxMetafiles = 64;
    static constexpr std::size_t kMaxGameFolderListBytes = 1 << 20;

    static bool current(const Stamps &stamps);
    // The Pegasus metafiles of places' metafile folders and of the game folders its list names
    // that hold romFolder, less those places names already; their folders are stamped.
    std::vector<GameListFile> metafiles(const std::string &romFolder, const GameListPlaces &places,
                                        const std::string &home, Stamps &stamps) const;
    void readMediaFolder(const std::string &folder, GameCollection &collection, Stamps &stamps) const;

    const Limits m_limits;
    std::mutex m_mutex;
    std::unordered_map<std::string, Held> m_held;
    unsigned long long m_uses = 0;
};

} // namespace marlit
