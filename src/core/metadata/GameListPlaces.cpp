#include "core/metadata/GameListPlaces.h"

#include "core/browse/PegasusMetafileName.h"

#include "core/fs/Paths.h"

#include <algorithm>

namespace marlit {

GameListFormat GameListPlaces::formatOf(const std::string &path)
{
    const std::string_view suffix = ".xml";
    if (path.size() >= suffix.size()) {
        std::string end = path.substr(path.size() - suffix.size());
        for (char &c : end)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        if (end == suffix)
            return GameListFormat::EmulationStation;
    }
    return GameListFormat::Pegasus;
}

bool GameListPlaces::isMetafileName(std::string_view name)
{
    return isPegasusMetafileName(name);
}

void GameListPlaces::addMetafiles(const std::string &folder, const std::vector<std::string> &names)
{
    auto after = files.end();
    for (auto file = files.begin(); file != files.end(); ++file)
        if (file->path.rfind(folder, 0) == 0 && file->path.find('/', folder.size()) == std::string::npos)
            after = std::next(file);
    for (const std::string &name : names) {
        const std::string path = folder + name;
        if (!isMetafileName(name) ||
            std::any_of(files.begin(), files.end(), [&](const GameListFile &file) { return file.path == path; }))
            continue;
        after = std::next(files.insert(after, {path, GameListFormat::Pegasus}));
    }
}

void GameListPlaces::takeGameFolders(const std::vector<std::string> &folders)
{
    for (const std::string &folder : folders)
        if (std::find(metafileFolders.begin(), metafileFolders.end(), folder) == metafileFolders.end())
            metafileFolders.push_back(folder);
    gameFolderList.clear();
}

std::vector<std::string> GameListPlaces::paths() const
{
    std::vector<std::string> all;
    for (const GameListFile &file : files)
        all.push_back(file.path);
    for (const MediaFolder &folder : mediaFolders)
        all.push_back(folder.path);
    all.insert(all.end(), metafileFolders.begin(), metafileFolders.end());
    if (!gameFolderList.empty())
        all.push_back(gameFolderList);
    return all;
}

GameListPlaces GameListPlaces::found(const std::vector<std::uint8_t> &present) const
{
    GameListPlaces kept;
    std::size_t index = 0;
    const auto isPresent = [&] { return index < present.size() && present[index++] != 0; };
    for (const GameListFile &file : files)
        if (isPresent())
            kept.files.push_back(file);
    for (const MediaFolder &folder : mediaFolders)
        if (isPresent())
            kept.mediaFolders.push_back(folder);
    for (const std::string &folder : metafileFolders)
        if (isPresent())
            kept.metafileFolders.push_back(folder);
    if (!gameFolderList.empty() && isPresent())
        kept.gameFolderList = gameFolderList;
    return kept;
}

GameListPlaces GameListPlaces::forRomFolder(const std::string &romFolder, const std::string &home,
                                            const std::string &chosenFile, const std::string &chosenMedia)
{
    GameListPlaces places;
    if (!chosenFile.empty())
        places.files.push_back({chosenFile, formatOf(chosenFile)});
    if (!chosenMedia.empty())
        places.mediaFolders.push_back({withTrailingSeparator(chosenMedia)});
    if (romFolder.empty())
        return places;

    const std::string root = withTrailingSeparator(romFolder);
    places.files.push_back({root + "gamelist.xml", GameListFormat::EmulationStation});
    places.files.push_back({root + "metadata.pegasus.txt", GameListFormat::Pegasus});
    places.files.push_back({root + "metadata.txt", GameListFormat::Pegasus});
    places.mediaFolders.push_back({root + "media/"});

    // The system is the ROM folder's own name: ".../roms/snes/" gives "snes".
    const PathSplit split = splitAfterLastSeparator(std::string_view(root).substr(0, root.size() - 1));
    const std::string &name = split.name;
    if (!split.folder.empty() && name != "." && name != "..") {
        places.mediaFolders.push_back({split.folder + "media/"});
        places.metafileFolders.push_back(split.folder);
    }
    if (home.empty() || name.empty() || name == "." || name == "..")
        return places;
    const std::string homeFolder = withTrailingSeparator(home);
    places.metafileFolders.push_back(homeFolder + ".config/pegasus-frontend/metafiles/");
    places.gameFolderList = homeFolder + ".config/pegasus-frontend/game_dirs.txt";
    for (const char *base : {"ES-DE/", ".emulationstation/"}) {
        const std::string folder = homeFolder + base;
        places.files.push_back({folder + "gamelists/" + name + "/gamelist.xml", GameListFormat::EmulationStation});
        places.mediaFolders.push_back({folder + "downloaded_media/" + name + "/"});
    }
    return places;
}

} // namespace marlit
