#pragma once

#include "core/browse/RomNames.h"
#include "core/browse/RomSearch.h"
#include "core/fs/DirectoryReader.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace marlit {

// The game files of a folder (or of a folder and its sub-folders), gathered once, of which the
// ROM list shows those that no listed sheet or list hides (SheetFiles: a disc's tracks, a game's
// discs). What is hidden can be told in two ways: guessed from the names alone, at once, or read
// from the sheets, which costs a bounded read each (a folder of 20,000 sheets takes far longer
// to read than its names). A reader shows the guess first and the sheets' word once read; the
// two differ only where a sheet names its tracks unlike itself.
class GameFiles
{
public:
    // The game files of one folder's entries (folder ending with the separator): never folders,
    // never names that begin with a dot, those that match one of fileTypes (wildcard patterns;
    // none: every file), that the search's pattern matches and that it keeps. Nothing is hidden.
    static GameFiles of(const std::vector<DirectoryEntry> &entries, const RomSearch &search,
                        const std::vector<std::string> &fileTypes, const std::string &folder);
    // The same for root and its sub-folders (not those whose names begin with a dot; a link that
    // leads back to a folder read already is not followed again), each file named by its path
    // below root ("A/Aladdin (USA).md"). Gives 0, or the errno of root when it cannot be read.
    // progress hears the count found after each folder; onFolderRead each folder read, by its
    // path below root ("" for root), with its state before it was read. What the sheets hide is
    // guessed by name meanwhile, so hideByName() costs nothing after it.
    static int ofTree(const std::string &root, const RomSearch &search, const std::vector<std::string> &fileTypes,
                      GameFiles &games, const std::function<void(std::size_t)> &progress = {},
                      const std::function<void(const std::string &, const struct stat &)> &onFolderRead = {});

    // Whether any listed file is a sheet or a list, so that what is hidden depends on its reading.
    bool hasSheets() const { return !m_folders.empty(); }
    // Hides what the listed sheets and lists name by their names alone: beside a sheet, a track
    // file of its name ("Game.bin", "Game (Track 2).bin" beside "Game.cue"); beside a list, its
    // discs ("Game (Disc 1).cue" beside "Game.m3u").
    void hideByName();
    // Hides what the listed sheets and lists name, read from them; a track hidden by name that no
    // sheet names shows again. Gives whether what is hidden changed. missing hears each listed
    // sheet with a file it names that its folder does not hold.
    bool hideBySheets(MissingParts *missing = nullptr);

    // The files not hidden, sorted ignoring case by their title (RomListing::before's order).
    RomNames shown() const;

private:
    struct Folder
    {
        std::string path;             // ending with the separator
        std::size_t prefixLength = 0; // of each name's path below the root
        std::size_t first = 0;        // its files in m_names
        std::size_t end = 0;
        RomNames unlisted; // the files it holds that are not listed (saves, read-me files)
    };

    // Guesses what the sheets of m_folders from first on hide (hideByName).
    void guessFrom(std::size_t first);
    // Lists the game files of a folder's entries (a vector of them, or DirectoryNames).
    template <typename Entries>
    void add(const Entries &entries, const RomSearch &search, const std::vector<std::string> &fileTypes,
             const std::string &folder, const std::string &prefix);

    RomNames m_names;              // every listed file, each folder's together
    std::vector<Folder> m_folders; // those that hold a listed sheet or list
    std::vector<std::uint8_t> m_hidden;
    std::size_t m_guessed = 0;                  // m_folders whose hidden files are guessed by name, since their reading
    mutable std::vector<std::uint32_t> m_order; // m_names' indices by title, made once
};

} // namespace marlit
