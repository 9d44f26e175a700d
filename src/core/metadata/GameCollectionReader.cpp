#include "core/metadata/GameCollectionReader.h"

#include "core/fs/DirectoryReader.h"
#include "core/fs/FileDescriptor.h"
#include "core/fs/Paths.h"
#include "core/metadata/GamelistXml.h"
#include "core/metadata/PegasusMetadata.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace marlit {

namespace {

std::string placesKey(const std::string &romFolder, const GameListPlaces &places)
{
    std::string key = romFolder;
    for (const GameListFile &file : places.files)
        key.append("\n").append(file.path);
    for (const MediaFolder &folder : places.mediaFolders)
        key.append("\n").append(folder.path);
    return key;
}

std::string stemOf(const std::string &name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The names of a folder's entries, in name order so that "x.jpg" wins over "x.png" the same way
// on every file system.
std::vector<DirectoryEntry> sortedEntries(const std::string &folder, bool &readable)
{
    std::vector<DirectoryEntry> entries;
    readable = DirectoryReader::read(folder, entries) == 0;
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry &a, const DirectoryEntry &b) { return a.name < b.name; });
    return entries;
}

} // namespace

std::vector<GameListFile> GameCollectionReader::metafiles(const std::string &romFolder, const GameListPlaces &places,
                                                          const std::string &home, Stamps &stamps) const
{
    std::vector<std::string> folders = places.metafileFolders;
    if (!places.gameFolderList.empty()) {
        // Pegasus' game folders that hold the ROM folder; the others hold other systems' games.
        stamps.emplace_back(places.gameFolderList, FileStamp::of(places.gameFolderList));
        const FileRead list = readFile(places.gameFolderList, kMaxGameFolderListBytes);
        std::string_view rest = list.bytes;
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
                line.remove_suffix(1);
            if (line.empty() || (line.front() != '/' && line.front() != '~'))
                continue;
            const std::string folder = withTrailingSeparator(resolveListedPath(line, "/", home));
            // The ROM folder's own metafiles come from the folder readers' listing.
            if (romFolder.rfind(folder, 0) == 0 && folder != romFolder &&
                std::find(folders.begin(), folders.end(), folder) == folders.end())
                folders.push_back(folder);
        }
    }

    std::vector<GameListFile> found;
    for (const std::string &folder : folders) {
        bool readable = false;
        const std::vector<DirectoryEntry> entries = sortedEntries(folder, readable);
        if (!readable)
            continue;
        stamps.emplace_back(folder, FileStamp::of(folder)); // a metafile added shows as a change
        for (const DirectoryEntry &entry : entries) {
            if (entry.isDirectory || !GameListPlaces::isMetafileName(entry.name) || found.size() >= kMaxMetafiles)
                continue;
            const std::string path = folder + entry.name;
            const auto same = [&](const GameListFile &file) { return file.path == path; };
            if (std::none_of(places.files.begin(), places.files.end(), same) &&
                std::none_of(found.begin(), found.end(), same))
                found.push_back({path, GameListFormat::Pegasus});
        }
    }
    return found;
}

GameCollectionReader::FileRead GameCollectionReader::readFile(const std::string &path, std::size_t maxBytes)
{
    FileRead read;
    // Non-blocking, so that a FIFO under the name cannot hold the open; never a lock.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.valid())
        return read;
    struct stat info
    {
    };
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return read;
    read.found = true;
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        read.problem = "it is larger than " + std::to_string(maxBytes >> 20) + " MB and was not read";
        return read;
    }
    read.bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < read.bytes.size()) {
        const ssize_t got = ::read(file.get(), read.bytes.data() + done, read.bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            read.problem = std::string("it could not be read (") + std::strerror(errno) + ")";
            read.bytes.clear();
            return read;
        }
        if (got == 0)
            break; // shortened meanwhile: what is there is read
        done += static_cast<std::size_t>(got);
    }
    read.bytes.resize(done);
    return read;
}

bool GameCollectionReader::current(const Stamps &stamps)
{
    return std::all_of(stamps.begin(), stamps.end(),
                       [](const auto &stamp) { return FileStamp::of(stamp.first) == stamp.second; });
}

void GameCollectionReader::readMediaFolder(const std::string &folder, GameCollection &collection, Stamps &stamps) const
{
    bool readable = false;
    const std::vector<DirectoryEntry> top = sortedEntries(folder, readable);
    if (!readable)
        return;
    collection.foundFolders.push_back(folder);
    // A folder per kind has kinds' names: ES-DE's ("covers"), or the asset names scrapers use for
    // Pegasus ("box2dfront", "screenshot", "wheel").
    const auto kindOf = [](const std::string &name) {
        return MediaIndex::isKnownKind(name) ? name : PegasusMetadata::mediaKind(name);
    };
    const bool perKind = std::any_of(top.begin(), top.end(), [&](const DirectoryEntry &entry) {
        return entry.isDirectory && !kindOf(entry.name).empty();
    });
    const auto full = [&] { return collection.media.size() >= m_limits.maxPictures; };

    for (const DirectoryEntry &entry : top) {
        if (!entry.isDirectory || full())
            continue;
        if (perKind) {
            // <folder>/<kind>/<ROM stem>.png, with the ROM folder's sub-folders below the kind.
            const std::string kind = kindOf(entry.name);
            if (kind.empty())
                continue;
            std::vector<std::string> pending{""};
            while (!pending.empty() && !full()) {
                const std::string relative = pending.back();
                pending.pop_back();
                const std::string path = folder + entry.name + "/" + relative;
                stamps.emplace_back(path, FileStamp::of(path));
                bool listed = false;
                for (const DirectoryEntry &picture : sortedEntries(path, listed)) {
                    if (picture.isDirectory) {
                        // Bounded depth: a link back up cannot make it go round.
                        if (std::count(relative.begin(), relative.end(), '/') < 3)
                            pending.push_back(relative + picture.name + "/");
                    } else if (MediaIndex::isPictureName(picture.name)) {
                        collection.media.add(kind, relative + stemOf(picture.name), path + picture.name);
                    }
                }
            }
        } else {
            // <folder>/<ROM stem>/<asset>.png, as Pegasus keeps them.
            const std::string path = folder + entry.name + "/";
            bool listed = false;
            for (const DirectoryEntry &picture : sortedEntries(path, listed)) {
                if (picture.isDirectory || !MediaIndex::isPictureName(picture.name))
                    continue;
                const std::string kind = PegasusMetadata::mediaKind(stemOf(picture.name));
                if (!kind.empty())
                    collection.media.add(kind, entry.name, path + picture.name);
            }
        }
    }
    if (full())
        collection.problems.push_back(folder + ": more than " + std::to_string(m_limits.maxPictures) +
                                      " pictures; the rest are not shown");
}

std::shared_ptr<const GameCollection> GameCollectionReader::read(const std::string &romFolder,
                                                                 const GameListPlaces &places, const std::string &home)
{
    const std::string key = placesKey(romFolder, places);
    {
        const std::lock_guard lock(m_mutex);
        const auto held = m_held.find(key);
        if (held != m_held.end() && current(held->second.stamps)) {
            held->second.lastUse = ++m_uses;
            return held->second.collection;
        }
    }

    auto collection = std::make_shared<GameCollection>();
    collection->romFolder = romFolder;
    Stamps stamps;
    const auto readList = [&](const GameListFile &place) {
        // Taken before the read: a change while it reads shows as a change next time.
        stamps.emplace_back(place.path, FileStamp::of(place.path));
        const PathSplit split = splitAfterLastSeparator(place.path);
        // Pegasus reads "metadata.txt" only where there is no "metadata.pegasus.txt".
        if (split.name == "metadata.txt" &&
            std::find(collection->foundFiles.begin(), collection->foundFiles.end(),
                      split.folder + "metadata.pegasus.txt") != collection->foundFiles.end())
            return;
        FileRead file = readFile(place.path, m_limits.maxFileBytes);
        if (!file.found)
            return;
        collection->foundFiles.push_back(place.path);
        if (!file.problem.empty()) {
            collection->problems.push_back(place.path + ": " + file.problem);
            return;
        }
        GameList list = place.format == GameListFormat::EmulationStation
                            ? GamelistXml::read(std::move(file.bytes), romFolder, home)
                            : PegasusMetadata::read(file.bytes, split.folder, home);
        file.bytes = std::string(); // not held while the next is read (a game list in place holds its own)
        if (!list.problem.empty())
            collection->problems.push_back(place.path + ": " + list.problem);
        if (collection->games.empty())
            collection->games = std::move(list);
        else
            collection->games.merge(list);
    };
    for (const GameListFile &place : places.files)
        readList(place);
    for (const GameListFile &place : metafiles(romFolder, places, home, stamps))
        readList(place);
    collection->games.problem.clear();
    for (const MediaFolder &folder : places.mediaFolders) {
        stamps.emplace_back(folder.path, FileStamp::of(folder.path));
        readMediaFolder(folder.path, *collection, stamps);
    }

    collection->hasPictures = collection->media.size() > 0 || collection->games.namesPictures();

    const std::lock_guard lock(m_mutex);
    if (m_held.size() >= m_limits.maxHeld && m_held.count(key) == 0) {
        const auto oldest = std::min_element(m_held.begin(), m_held.end(), [](const auto &a, const auto &b) {
            return a.second.lastUse < b.second.lastUse;
        });
        m_held.erase(oldest);
    }
    m_held[key] = Held{std::move(stamps), collection, ++m_uses};
    return collection;
}

} // namespace marlit
