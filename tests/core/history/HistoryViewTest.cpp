#include "core/history/HistoryView.h"

#include "core/browse/RomSearch.h"

#include <gtest/gtest.h>

using marlit::HistoryView;
using marlit::RomHistory;
using marlit::RomSearch;
using Row = HistoryView::Row;

namespace marlit {
void PrintTo(const HistoryView::Row &row, std::ostream *out)
{
    *out << "{" << row.folder << " | " << row.name << " | " << row.detail << "}";
}
} // namespace marlit

TEST(HistoryView, RowsKeepTheirOrderAndFolderAndFollowTheSearch)
{
    const std::int64_t now = 1'700'000'000'000;
    const std::vector<RomHistory> history{
        {"/roms/snes/Super Mario World (U).smc", {}, false, 3, 8'040'000, now - 60'000},
        {"/roms/snes/Japan/mario (J).sfc", {}, true, 1, 30'000, now - 120'000},
        {"/roms/snes/Zelda (U).smc", {}, true, 0, 0, 0},
        {"/roms/snes/trailing/", {}, true, 1, 0, 0}, // no name: never a row
    };

    RomSearch none;
    EXPECT_EQ(HistoryView::rows(HistoryView::Kind::Favourites, history, none, now),
              (std::vector<Row>{{"/roms/snes/", "Super Mario World (U).smc", ""},
                                {"/roms/snes/Japan/", "mario (J).sfc", ""},
                                {"/roms/snes/", "Zelda (U).smc", ""}}));
    // "Recently Played" rows say how much each was played; the order stays the history's.
    EXPECT_EQ(HistoryView::rows(HistoryView::Kind::RecentlyPlayed, history, none, now).at(0),
              (Row{"/roms/snes/", "Super Mario World (U).smc", "3 plays \xC2\xB7 2 h 14 min \xC2\xB7 today"}));

    // "Search For" matches names as a folder's list does: a wildcard, any case; never the folder.
    RomSearch searchFor;
    searchFor.apply("MARIO");
    EXPECT_EQ(HistoryView::rows(HistoryView::Kind::Favourites, history, searchFor, now).size(), 2u);
    searchFor.clear();
    searchFor.apply("j*");
    EXPECT_EQ(HistoryView::rows(HistoryView::Kind::Favourites, history, searchFor, now),
              (std::vector<Row>{{"/roms/snes/Japan/", "mario (J).sfc", ""}}));
    // "Filter Out" drops names holding the text, case-sensitive.
    RomSearch filterOut;
    filterOut.toggleMode();
    filterOut.apply("(U)");
    EXPECT_EQ(HistoryView::rows(HistoryView::Kind::Favourites, history, filterOut, now),
              (std::vector<Row>{{"/roms/snes/Japan/", "mario (J).sfc", ""}}));
}
