#pragma once

#include <string_view>

namespace marlit {

// Tab index, tab text and catalogue file of the four categories.
class CategoryTable
{
public:
    static constexpr int kCount = 4;

    // nullptr for an index outside 0..3: the operation that asked skips its file step.
    static const char *tabText(int index);
    static const char *fileName(int index);
    // The index of the tab that reads text exactly, or -1.
    static int indexOf(std::string_view text);
};

} // namespace marlit
