#pragma once

#include <string>
#include <vector>

namespace marlit {

enum class GameListFormat {
    EmulationStation, // gamelist.xml
    Pegasus,          // metadata.pegasus.txt, metadata.txt
};

struct GameListFile
{
    std::string path;
    GameListFormat format = GameListFormat::EmulationStation;

    friend bool operator==(const GameListFile &, const GameListFile &) = default;
};

// A folder of pictures named after the ROMs: either a folder per kind holding a picture per game
// (<folder>/covers/Zelda.png, as the EmulationStation family keeps them), or a folder per game
// holding a picture per kind (<folder>/Zelda/boxFront.png, as Pegasus keeps them). Which of the
// two is told when the folder is read.
struct MediaFolder
{
    std::string path; // ends with the separator

    friend bool operator==(const MediaFolder &, const MediaFolder &) = default;
};

// Where other front-ends keep what they know of a system's games, matched to the system by its ROM
// folder's name, as they do. Earlier places win where two describe the same ROM.
struct GameListPlaces
{
    std::vector<GameListFile> files;
    std::vector<MediaFolder> mediaFolders;

    // For a ROM folder (ending with the separator) and the user's home folder: the file and media
    // folder the user chose (when given) first, then the ROM folder's "gamelist.xml",
    // "metadata.pegasus.txt" and "metadata.txt" and its "media" folder, then ES-DE's
    // ~/ES-DE/gamelists/<folder>/ and ~/ES-DE/downloaded_media/<folder>/, last the same under
    // ~/.emulationstation, where EmulationStation and older ES-DE keep them.
    static GameListPlaces forRomFolder(const std::string &romFolder, const std::string &home,
                                       const std::string &chosenFile = {}, const std::string &chosenMedia = {});

    // The format a file's name tells: ".xml" is a gamelist, anything else Pegasus' format.
    static GameListFormat formatOf(const std::string &path);

    friend bool operator==(const GameListPlaces &, const GameListPlaces &) = default;
};

} // namespace marlit
