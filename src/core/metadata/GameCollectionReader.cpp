#include "core/metadata/GameCollectionReader.h"

#include "core/browse/FolderEntriesWalk.h"
#include "core/fs/Paths.h"
#include "core/fs/RegularFile.h"
#include "core/metadata/GamelistXml.h"
#include "core/metadata/PegasusMetadata.h"

#include <algorithm>

namespace marlit {

namespace {

std::string placesKey(const std::string &romFolder, const GameListPlaces &places)
{
    std::string key = romFolder;
    for (const GameListFile &file : places.files)
        key.append("\n").append(file.path);
    for (const MediaFolder &folder : places.mediaFolders)
        key.append("\n").append(folder.path);
    for (const std::string &folder : places.metafileFolders)
        key.append("\n").append(folder);
    return key;
}

std::string stemOf(const std::string &name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The folder as listed; none when it did not answer or could not be read.
const FolderEntries *listed(const FolderEntriesByPath &listings, const std::string &folder)
{
    const auto found = listings.find(folder);
    return found == listings.end() || found->second.error != 0 ? nullptr : &found->second;
}

std::optional<FileStamp> stampOf(const FolderEntriesByPath &listings, const std::string &folder)
{
    const FolderEntries *folderListed = listed(listings, folder);
    return folderListed ? folderListed->stamp : std::nullopt;
}

} // namespace

std::vector<GameListFile> GameCollectionReader::metafiles(const GameListPlaces &places,
                                                          const FolderEntriesByPath &listings, Stamps &stamps)
{
    std::vector<GameListFile> found;
    for (const std::string &folder : places.metafileFolders) {
        // Stamped even when it did not answer: one that answers later, or a metafile added, is a change.
        stamps.emplace_back(folder, stampOf(listings, folder));
        const FolderEntries *folderListed = listed(listings, folder);
        if (!folderListed)
            continue;
        for (const DirectoryEntry &entry : folderListed->entries) {
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

bool GameCollectionReader::current(const Stamps &stamps, const FolderEntriesByPath &listings)
{
    return std::all_of(stamps.begin(), stamps.end(), [&](const auto &stamp) {
        const bool folder = !stamp.first.empty() && stamp.first.back() == kPathSeparator;
        return (folder ? stampOf(listings, stamp.first) : FileStamp::of(stamp.first)) == stamp.second;
    });
}

void GameCollectionReader::readMediaFolder(const std::string &folder, const FolderEntriesByPath &listings,
                                           GameCollection &collection, Stamps &stamps) const
{
    static const std::vector<DirectoryEntry> none;
    const auto entriesOf = [&](const std::string &path) -> const std::vector<DirectoryEntry> & {
        const FolderEntries *folderListed = listed(listings, path);
        return folderListed ? folderListed->entries : none;
    };
    if (!listed(listings, folder))
        return;
    const std::vector<DirectoryEntry> &top = entriesOf(folder);
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
                stamps.emplace_back(path, stampOf(listings, path));
                for (const DirectoryEntry &picture : entriesOf(path)) {
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
            for (const DirectoryEntry &picture : entriesOf(path)) {
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
    GameListPlaces listedPlaces = places;
    if (!places.gameFolderList.empty())
        listedPlaces.takeGameFolders(FolderEntriesWalk::foldersHolding(places.gameFolderList, romFolder, home));
    FolderEntriesByPath listings;
    const auto walk = [&](const std::string &folder, int depth) {
        for (FolderEntries &folderListed : FolderEntriesWalk::walk(folder, depth))
            listings.insert_or_assign(folderListed.folder, std::move(folderListed));
    };
    for (const MediaFolder &folder : listedPlaces.mediaFolders)
        walk(folder.path, kMediaDepth);
    for (const std::string &folder : listedPlaces.metafileFolders)
        walk(folder, 0);
    return read(romFolder, listedPlaces, home, listings);
}

std::shared_ptr<const GameCollection> GameCollectionReader::read(const std::string &romFolder,
                                                                 const GameListPlaces &places, const std::string &home,
                                                                 const FolderEntriesByPath &listings)
{
    const std::string key = placesKey(romFolder, places);
    {
        const std::lock_guard lock(m_mutex);
        const auto held = m_held.find(key);
        if (held != m_held.end() && current(held->second.stamps, listings)) {
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
        const RegularFile file = RegularFile::open(place.path, m_limits.maxFileBytes);
        if (!file.found())
            return;
        collection->foundFiles.push_back(place.path);
        if (!file.problem().empty()) {
            collection->problems.push_back(place.path + ": " + file.problem());
            return;
        }
        GameList list;
        if (place.format == GameListFormat::EmulationStation) {
            list = GamelistXml::read(file, romFolder, home);
        } else {
            const RegularFile::Read whole = file.readWhole();
            if (whole.problem.empty())
                list = PegasusMetadata::read(whole.bytes, split.folder, home);
            else
                list.problem = whole.problem;
        }
        if (!list.problem.empty())
            collection->problems.push_back(place.path + ": " + list.problem);
        if (collection->games.empty())
            collection->games = std::move(list);
        else
            collection->games.merge(std::move(list));
    };
    for (const GameListFile &place : places.files)
        readList(place);
    for (const GameListFile &place : metafiles(places, listings, stamps))
        readList(place);
    collection->games.problem.clear();
    for (const MediaFolder &folder : places.mediaFolders) {
        stamps.emplace_back(folder.path, stampOf(listings, folder.path));
        readMediaFolder(folder.path, listings, *collection, stamps);
    }

    collection->hasPictures = collection->media.size() > 0 || collection->games.namesPictures();
    collection->namedPictures = collection->games.namedPicturePaths(); // the games stay where they are now
    std::sort(collection->namedPictures.begin(), collection->namedPictures.end());

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
