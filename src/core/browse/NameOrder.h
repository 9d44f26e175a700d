#pragma once

#include <string_view>

namespace marlit {

// Alphabetical order of file and folder names ignoring case, as the lists and the tree show them.
// Names that differ only in case are ordered by their bytes, so the order is total and stable.
class NameOrder
{
public:
    static int compare(std::string_view a, std::string_view b);
    static bool less(std::string_view a, std::string_view b) { return compare(a, b) < 0; }
};

} // namespace marlit
