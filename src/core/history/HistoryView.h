#pragma once

#include "core/history/RomHistory.h"

#include <cstdint>
#include <string>
#include <vector>

namespace marlit {

class RomSearch;

// The rows of the play history's two views of a system, as the ROM list shows them: each ROM's
// folder and name apart, in the view's order, only those the list's search keeps, and in
// "Recently Played" the line that says how much it was played.
class HistoryView
{
public:
    enum class Kind { Favourites, RecentlyPlayed };

    struct Row
    {
        std::string folder; // ends with the separator
        std::string name;
        std::string detail; // empty but in "Recently Played"

        bool operator==(const Row &) const = default;
    };

    // Rows of history (already in the view's order) that search keeps; play lines seen from nowMs.
    static std::vector<Row> rows(Kind kind, const std::vector<RomHistory> &history, const RomSearch &search,
                                 std::int64_t nowMs);
};

} // namespace marlit
