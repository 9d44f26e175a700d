#include "core/history/HistoryView.h"

#include "core/browse/RomSearch.h"
#include "core/browse/WildcardMatch.h"
#include "core/fs/Paths.h"
#include "core/history/PlayText.h"

namespace marlit {

std::vector<HistoryView::Row> HistoryView::rows(Kind kind, const std::vector<RomHistory> &history,
                                                const RomSearch &search, std::int64_t nowMs)
{
    // The same test as a folder's listing: the search's pattern, then what it leaves out.
    const std::string pattern = search.pattern();
    std::vector<Row> rows;
    rows.reserve(history.size());
    for (const RomHistory &rom : history) {
        PathSplit split = splitAfterLastSeparator(rom.path);
        if (split.name.empty() || !WildcardMatch::matches(pattern, split.name) || !search.keeps(split.name))
            continue;
        rows.push_back({std::move(split.folder), std::move(split.name),
                        kind == Kind::RecentlyPlayed ? PlayText::summary(rom, nowMs) : std::string()});
    }
    return rows;
}

} // namespace marlit
