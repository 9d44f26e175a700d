#include "core/browse/BrowsingState.h"

#include "core/browse/RomFolderPath.h"
#include "core/catalogue/CategoryCatalogue.h"
#include "core/catalogue/CategoryTable.h"
#include "core/catalogue/SystemEntry.h"

#include <array>
#include <utility>

namespace marlit {

namespace {

constexpr std::array kViews{
    BrowseViewName{BrowseView::AllGames, "All Games"},
    BrowseViewName{BrowseView::Favourites, "Favourites"},
    BrowseViewName{BrowseView::RecentlyPlayed, "Recently Played"},
};

} // namespace

std::span<const BrowseViewName> BrowsingState::views()
{
    return kViews;
}

void BrowsingState::restore(int category, int system)
{
    m_category = category >= 0 && category < CategoryTable::kCount ? category : 0;
    m_system = system;
}

int BrowsingState::chooseCategory(int category, const CategoryCatalogue &catalogue, bool restoring)
{
    m_category = category;
    const int row = restoring ? m_system : 0;
    if (catalogue.entryAt(row))
        return row;
    return catalogue.empty() ? -1 : 0;
}

void BrowsingState::chooseSystem(int row, const SystemEntry *entry)
{
    m_system = row;
    m_romRoot = entry ? entry->romDirectory : std::string();
    m_romFolder = m_romRoot;
    m_view = BrowseView::Folder;
    m_rom.clear();
}

void BrowsingState::chooseFolder(const std::vector<std::string> &treePath)
{
    m_view = BrowseView::Folder;
    m_romFolder = RomFolderPath::fromTreePath(m_romRoot, treePath);
    m_rom.clear();
}

void BrowsingState::chooseView(BrowseView view)
{
    m_view = view;
    // All the games are named by their paths below the ROM directory.
    if (view == BrowseView::AllGames)
        m_romFolder = m_romRoot;
    m_rom.clear();
}

void BrowsingState::applyOrClear(std::string text)
{
    if (m_search.applied())
        m_search.clear();
    else
        m_search.apply(std::move(text));
}

void BrowsingState::applyAfresh(std::string text)
{
    m_search.clear();
    m_search.apply(std::move(text));
}

} // namespace marlit
