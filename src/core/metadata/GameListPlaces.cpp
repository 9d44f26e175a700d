#include "core/metadata/GameListPlaces.h"

#include "core/fs/Paths.h"

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
    std::string name = root.substr(0, root.size() - 1);
    name = splitAfterLastSeparator(name).name;
    if (home.empty() || name.empty() || name == "." || name == "..")
        return places;
    const std::string homeFolder = withTrailingSeparator(home);
    for (const char *base : {"ES-DE/", ".emulationstation/"}) {
        const std::string folder = homeFolder + base;
        places.files.push_back({folder + "gamelists/" + name + "/gamelist.xml", GameListFormat::EmulationStation});
        places.mediaFolders.push_back({folder + "downloaded_media/" + name + "/"});
    }
    return places;
}

} // namespace marlit
