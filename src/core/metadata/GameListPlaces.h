#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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
    // Folders whose Pegasus metafiles are read after files, as Pegasus finds them in a game
    // folder: "metadata.pegasus.txt" (else "metadata.txt") and every "*.metadata.pegasus.txt"
    // and "*.metadata.txt". Each ends with the separator. The ROM folder is not one: its
    // metafiles are taken from the folder readers' listing (addMetafiles), so that it is read
    // by them alone.
    std::vector<std::string> metafileFolders;
    // Pegasus' list of game folders, one a line: those that hold the ROM folder are read as
    // metafile folders too. Empty for none.
    std::string gameFolderList;

    // For a ROM folder (ending with the separator) and the user's home folder: the file and media
    // folder the user chose (when given) first, then the ROM folder's "gamelist.xml",
    // "metadata.pegasus.txt" and "metadata.txt" and its "media" folder, then ES-DE's
    // ~/ES-DE/gamelists/<folder>/ and ~/ES-DE/downloaded_media/<folder>/, last the same under
    // ~/.emulationstation, where EmulationStation and older ES-DE keep them. Pegasus' metafiles
    // are looked for in the ROM folder, the folder beside it that holds it (a game folder of
    // several systems, its "media" folder too) and ~/.config/pegasus-frontend/metafiles/, and
    // its list of game folders is ~/.config/pegasus-frontend/game_dirs.txt.
    static GameListPlaces forRomFolder(const std::string &romFolder, const std::string &home,
                                       const std::string &chosenFile = {}, const std::string &chosenMedia = {});

    // Adds the metafiles among names (of the files in folder, ending with the separator) after
    // the files of folder already given, those not given yet.
    void addMetafiles(const std::string &folder, const std::vector<std::string> &names);
    // Takes folders (Pegasus' game folders named in gameFolderList, as they were found) as
    // metafile folders after those given, those not given yet; the list is read then.
    void takeGameFolders(const std::vector<std::string> &folders);
    // Whether a file name is one of Pegasus' metafiles'.
    static bool isMetafileName(std::string_view name);

    // Every file's path, then every media folder's, metafile folder's and the game folder list's,
    // as a presence check takes them.
    std::vector<std::string> paths() const;
    // The places whose byte in present (one per path(), in its order) is not 0.
    GameListPlaces found(const std::vector<std::uint8_t> &present) const;

    // The format a file's name tells: ".xml" is a gamelist, anything else Pegasus' format.
    static GameListFormat formatOf(const std::string &path);

    friend bool operator==(const GameListPlaces &, const GameListPlaces &) = default;
};

} // namespace marlit
