#include "core/catalogue/CategoryTable.h"

namespace marlit {

namespace {

struct Category
{
    const char *tabText;
    const char *fileName;
};

// In tab order, left to right.
constexpr Category kCategories[CategoryTable::kCount] = {
    {"Classic", "classic.ini"},
    {"Console", "console.ini"},
    {"Handheld", "handheld.ini"},
    {"Computer", "computer.ini"},
};

bool inRange(int index)
{
    return index >= 0 && index < CategoryTable::kCount;
}

} // namespace

const char *CategoryTable::tabText(int index)
{
    return inRange(index) ? kCategories[index].tabText : nullptr;
}

const char *CategoryTable::fileName(int index)
{
    return inRange(index) ? kCategories[index].fileName : nullptr;
}

int CategoryTable::indexOf(std::string_view text)
{
    for (int index = 0; index < kCount; ++index)
        if (text == kCategories[index].tabText)
            return index;
    return -1;
}

} // namespace marlit
