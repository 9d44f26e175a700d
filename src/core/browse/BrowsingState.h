#pragma once

#include "core/browse/RomSearch.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace marlit {

class CategoryCatalogue;
struct SystemEntry;

// What the ROM list shows of the selected system: a folder of its ROM directory, one of the
// views of its play history that stand above the folders, or all its games: those of the ROM
// directory and all its sub-folders in one list.
enum class BrowseView : std::uint8_t { Folder, Favourites, RecentlyPlayed, AllGames };

// A view that stands above the folders, and the text it is shown under.
struct BrowseViewName
{
    BrowseView view;
    const char *text;
};

// What the user is browsing, one for every view of it (the desktop window, the TV view): the
// category tab, the system, the folder or history view, the ROM and the search; and the rules
// for moving between them. A system is a row of its category's catalogue (-1: none).
class BrowsingState
{
public:
    // The views above the folders, in the order every view of the browsing shows them.
    static std::span<const BrowseViewName> views();

    // The remembered category and system at start; a category the tabs do not have falls back
    // to the first.
    void restore(int category, int system);

    // A category tab chosen: the row of catalogue to select, the remembered system while
    // restoring, else the first; a row the catalogue lacks falls back to the first, or -1
    // when it has none. The system itself is chosen by chooseSystem.
    int chooseCategory(int category, const CategoryCatalogue &catalogue, bool restoring);

    // The system at row (entry: its record, or nothing): its ROM directory is shown from its
    // top, no ROM chosen.
    void chooseSystem(int row, const SystemEntry *entry);
    // The same system now stands at row (the catalogue changed around it).
    void moveSystem(int row) { m_system = row; }
    // The folder at treePath below the ROM directory (empty: the directory itself).
    void chooseFolder(const std::vector<std::string> &treePath);
    // A history view of the system (Folder: the folder chosen last).
    void chooseView(BrowseView view);
    void chooseRom(std::string name) { m_rom = std::move(name); }

    // The search row: its button changes the mode; "Apply" applies the text and "Clear"
    // clears it; Enter in the text applies it as it reads now, also over a text applied before.
    void toggleSearchMode() { m_search.toggleMode(); }
    void applyOrClear(std::string text);
    void applyAfresh(std::string text);

    int category() const { return m_category; }
    int system() const { return m_system; }
    const std::string &romRoot() const { return m_romRoot; }
    const std::string &romFolder() const { return m_romFolder; }
    BrowseView view() const { return m_view; }
    const std::string &rom() const { return m_rom; }
    const RomSearch &search() const { return m_search; }
    // Whether the system's folders are listed: a system without a ROM directory lists nothing,
    // not the working directory.
    bool listsFolders() const { return m_system >= 0 && !m_romRoot.empty(); }

private:
    int m_category = 0;
    int m_system = -1;
    std::string m_romRoot;
    std::string m_romFolder;
    BrowseView m_view = BrowseView::Folder;
    std::string m_rom;
    RomSearch m_search;
};

} // namespace marlit
