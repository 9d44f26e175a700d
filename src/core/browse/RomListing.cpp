#include "core/browse/RomListing.h"

#include "core/fs/DirectoryReader.h"
#include "core/browse/NameOrder.h"
#include "core/browse/WildcardMatch.h"

#include <algorithm>

namespace marlit {

namespace {

// "*.*" and a pattern of stars alone take every name, so the match can be skipped.
bool matchesEverything(const std::string &pattern)
{
    return pattern == "*.*" || (!pattern.empty() && pattern.find_first_not_of('*') == std::string::npos);
}

} // namespace

std::string RomListing::searchPattern(FilterMode mode, const std::string &searchText)
{
    if (mode == FilterMode::FilterOut)
        return "*.*";
    return "*" + searchText + "*";
}

std::vector<std::string> RomListing::list(const std::string &folder, FilterMode mode, bool searchApplied,
                                          const std::string &searchText)
{
    std::vector<DirectoryEntry> entries;
    if (!DirectoryReader::list(folder, entries))
        return {};
    return fromEntries(std::move(entries), mode, searchApplied, searchText);
}

std::vector<std::string> RomListing::fromEntries(std::vector<DirectoryEntry> entries, FilterMode mode,
                                                 bool searchApplied, const std::string &searchText)
{
    std::vector<std::string> names;
    const std::string pattern = searchPattern(mode, searchText);
    const bool matchAll = matchesEverything(pattern);
    const bool filterOut = searchApplied && mode == FilterMode::FilterOut;
    names.reserve(entries.size());
    for (DirectoryEntry &entry : entries) {
        if (entry.isDirectory)
            continue;
        if (!matchAll && !WildcardMatch::matches(pattern, entry.name))
            continue;
        // Every name holds the empty text, so an applied empty filter leaves nothing.
        if (filterOut && entry.name.find(searchText) != std::string::npos)
            continue;
        names.push_back(std::move(entry.name));
    }
    std::sort(names.begin(), names.end(),
              [](const std::string &a, const std::string &b) { return NameOrder::less(a, b); });
    return names;
}

} // namespace marlit
