#include "core/catalogue/CategoryCatalogue.h"
#include "core/catalogue/CategoryTable.h"

#include "EntryTestSupport.h"

#include <gtest/gtest.h>

using marlit::CategoryCatalogue;
using marlit::CategoryTable;
using marlit::entryOf;
using marlit::SystemEntry;

namespace {

CategoryCatalogue named(std::initializer_list<const char *> names)
{
    std::vector<SystemEntry> entries;
    for (const char *name : names)
        entries.push_back(entryOf(name));
    return CategoryCatalogue(std::move(entries));
}

std::string namesOf(const CategoryCatalogue &catalogue)
{
    std::string names;
    for (const SystemEntry &entry : catalogue.entries())
        names += entry.name;
    return names;
}

TEST(CategoryCatalogue, ListOperationsKeepTheirPreconditions)
{
    struct Case
    {
        const char *start;
        int operation;
        int index;
        bool applied;
        const char *after;
    };
    const Case cases[] = {
        {"ABC", CategoryCatalogue::MoveUp, 1, true, "BAC"},    // the second becomes the head
        {"ABC", CategoryCatalogue::MoveUp, 2, true, "ACB"},    //
        {"ABC", CategoryCatalogue::MoveUp, 0, false, "ABC"},   // nothing above the first
        {"ABC", CategoryCatalogue::MoveDown, 0, true, "BAC"},  // the second becomes the head
        {"ABC", CategoryCatalogue::MoveDown, 1, true, "ACB"},  //
        {"ABC", CategoryCatalogue::MoveDown, 2, false, "ABC"}, // nothing below the last
        {"ABC", CategoryCatalogue::Delete, 0, true, "BC"},
        {"ABC", CategoryCatalogue::Delete, 2, true, "AB"},
        {"A", CategoryCatalogue::MoveUp, 0, false, "A"},
        {"A", CategoryCatalogue::MoveDown, 0, false, "A"},
        {"A", CategoryCatalogue::Delete, 0, true, ""},
        {"", CategoryCatalogue::Delete, 0, false, ""},
        {"", CategoryCatalogue::MoveDown, -1, false, ""},
        {"ABC", CategoryCatalogue::Delete, -1, false, "ABC"}, // no selection
        {"ABC", CategoryCatalogue::Delete, 3, false, "ABC"},  // one past the end, as after deleting the last
        {"ABC", CategoryCatalogue::MoveUp, 3, false, "ABC"},
        {"ABC", 2, 0, false, "ABC"}, // not an operation code
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.start) + " op " + std::to_string(c.operation) + " at " + std::to_string(c.index));
        CategoryCatalogue catalogue;
        for (const char *name = c.start; *name; ++name)
            catalogue.append(entryOf(std::string(1, *name)));
        EXPECT_EQ(catalogue.apply(static_cast<CategoryCatalogue::ListOperation>(c.operation), c.index), c.applied);
        EXPECT_EQ(namesOf(catalogue), c.after);
        EXPECT_EQ(catalogue.lastIndex(), static_cast<int>(std::string(c.after).size()) - 1);
    }
}

TEST(CategoryCatalogue, MovesWholeEntriesNotJustNames)
{
    const SystemEntry a = entryOf("A", "", "", "", "/a", "", true);
    CategoryCatalogue catalogue({a, entryOf("B")});
    ASSERT_TRUE(catalogue.apply(CategoryCatalogue::MoveDown, 0));
    EXPECT_EQ(*catalogue.entryAt(1), a);
    EXPECT_EQ(*catalogue.entryAt(0), entryOf("B"));
    EXPECT_EQ(catalogue.entryAt(2), nullptr);
    EXPECT_EQ(catalogue.entryAt(-1), nullptr);
}

// Adding a copy from the configuration dialog is an append followed by moving the selected
// entry down, which places the copy differently depending on the selection.
TEST(CategoryCatalogue, AppendedCopyLandsWhereTheFollowingMoveDownPutsIt)
{
    CategoryCatalogue lastSelected = named({"A", "B", "C"});
    SystemEntry copy = *lastSelected.entryAt(2);
    copy.name = "copy";
    lastSelected.append(copy);
    copy.name = "changed after the append";
    ASSERT_TRUE(lastSelected.apply(CategoryCatalogue::MoveDown, 2));
    EXPECT_EQ(namesOf(lastSelected), "ABcopyC"); // the copy goes just before the selected last entry

    CategoryCatalogue firstSelected = named({"A", "B", "C"});
    firstSelected.append(entryOf("copy"));
    ASSERT_TRUE(firstSelected.apply(CategoryCatalogue::MoveDown, 0));
    EXPECT_EQ(namesOf(firstSelected), "BACcopy");
}

TEST(CategoryTable, NamesTheFourCategoriesInTabOrder)
{
    const char *const texts[] = {"Classic", "Console", "Handheld", "Computer"};
    const char *const files[] = {"classic.ini", "console.ini", "handheld.ini", "computer.ini"};
    for (int index = 0; index < CategoryTable::kCount; ++index) {
        EXPECT_STREQ(CategoryTable::tabText(index), texts[index]);
        EXPECT_STREQ(CategoryTable::fileName(index), files[index]);
    }
    for (int outside : {-1, CategoryTable::kCount, 255}) {
        EXPECT_EQ(CategoryTable::tabText(outside), nullptr);
        EXPECT_EQ(CategoryTable::fileName(outside), nullptr);
    }
}

} // namespace
