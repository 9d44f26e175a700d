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

std::vector<std::string> RomListing::list(const std::string &folder, const RomSearch &search)
{
    std::vector<DirectoryEntry> entries;
    if (!DirectoryReader::list(folder, entries))
        return {};
    return fromEntries(std::move(entries), search);
}

std::vector<std::string> RomListing::fromEntries(std::vector<DirectoryEntry> entries, const RomSearch &search)
{
    std::vector<std::string> names;
    const std::string pattern = search.pattern();
    const bool matchAll = matchesEverything(pattern);
    names.reserve(entries.size());
    for (DirectoryEntry &entry : entries) {
        if (entry.isDirectory)
            continue;
        if (!matchAll && !WildcardMatch::matches(pattern, entry.name))
            continue;
        if (!search.keeps(entry.name))
            continue;
        names.push_back(std::move(entry.name));
    }
    std::sort(names.begin(), names.end(),
              [](const std::string &a, const std::string &b) { return NameOrder::less(a, b); });
    return names;
}

} // namespace marlit
