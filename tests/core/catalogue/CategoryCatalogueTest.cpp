#include "core/catalogue/CategoryCatalogue.h"
#include "core/catalogue/CategoryTable.h"

#include "EntryTestSupport.h"

#include <gtest/gtest.h>

using marlit::CategoryCatalogue;
using marlit::CategoryTable;
using marlit::ListOperation;
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

// Each operation either changes nothing and names no row, or changes the order and names the
// row the highlight must go to, so that the highlight and the selected system stay together.
TEST(CategoryCatalogue, ListOperationsGiveTheRowToHighlight)
{
    constexpr auto Up = ListOperation::MoveUp;
    constexpr auto Down = ListOperation::MoveDown;
    constexpr auto Delete = ListOperation::Delete;
    struct Case
    {
        const char *start;
        ListOperation operation;
        int index;
        std::optional<int> row;
        const char *after;
    };
    const Case cases[] = {
        {"ABC", Up, 1, 0, "BAC"},                // the highlight follows the moved system
        {"ABC", Up, 2, 1, "ACB"},                //
        {"ABC", Up, 0, std::nullopt, "ABC"},     // nothing above the first
        {"ABC", Down, 0, 1, "BAC"},              //
        {"ABC", Down, 1, 2, "ACB"},              //
        {"ABC", Down, 2, std::nullopt, "ABC"},   // nothing below the last
        {"ABC", Delete, 0, 0, "BC"},             // the system that took its place
        {"ABC", Delete, 1, 1, "AC"},             //
        {"ABC", Delete, 2, 1, "AB"},             // the last deleted: the one before it
        {"A", Up, 0, std::nullopt, "A"},         //
        {"A", Down, 0, std::nullopt, "A"},       //
        {"A", Delete, 0, -1, ""},                // none left to highlight
        {"", Delete, 0, std::nullopt, ""},       //
        {"", Down, -1, std::nullopt, ""},        //
        {"ABC", Delete, -1, std::nullopt, "ABC"}, // no selection
        {"ABC", Delete, 3, std::nullopt, "ABC"}, // one past the end
        {"ABC", Up, 3, std::nullopt, "ABC"},     //
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.start) + " op " + std::to_string(static_cast<int>(c.operation)) + " at " +
                     std::to_string(c.index));
        CategoryCatalogue catalogue;
        for (const char *name = c.start; *name; ++name)
            catalogue.append(entryOf(std::string(1, *name)));
        EXPECT_EQ(catalogue.apply(c.operation, c.index), c.row);
        EXPECT_EQ(namesOf(catalogue), c.after);
    }
}

TEST(CategoryCatalogue, MovesWholeEntriesNotJustNames)
{
    const SystemEntry a = entryOf("A", "", "", "", "/a", "", true);
    CategoryCatalogue catalogue({a, entryOf("B")});
    ASSERT_TRUE(catalogue.apply(ListOperation::MoveDown, 0));
    EXPECT_EQ(*catalogue.entryAt(1), a);
    EXPECT_EQ(*catalogue.entryAt(0), entryOf("B"));
    EXPECT_EQ(catalogue.entryAt(2), nullptr);
    EXPECT_EQ(catalogue.entryAt(-1), nullptr);
}

// A catalogue read anew after another program changed its file: the highlight stays on its
// system, found by its record, else by its name, else the one in its place takes it.
TEST(CategoryCatalogue, RowFollowingFindsTheSystemInTheCatalogueReadAnew)
{
    struct Case
    {
        CategoryCatalogue before;
        int row;
        CategoryCatalogue after;
        int expected;
    };
    const SystemEntry editedB = entryOf("B", "described by hand");
    const Case cases[] = {
        {named({"A", "B", "C"}), 0, named({"X", "B", "C", "A"}), 3},                              // moved
        {named({"A", "B", "C"}), 1, CategoryCatalogue({entryOf("A"), entryOf("C"), editedB}), 2}, // edited
        {named({"A", "B", "C"}), 2, named({"C", "A", "B", "C"}), 3},                              // the nearer of two
        {named({"A", "B"}), 1, CategoryCatalogue({editedB, entryOf("A"), entryOf("B")}), 2},      // record, then name
        {named({"A", "B", "C"}), 1, named({"A", "C"}), 1}, // gone: the one in its place
        {named({"A", "B", "C"}), 2, named({"A", "B"}), 1}, // the last gone
        {named({"A"}), 0, CategoryCatalogue(), -1},        // none left
        {CategoryCatalogue(), -1, named({"A", "B"}), 0},   // none before
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(namesOf(c.before) + " row " + std::to_string(c.row) + " -> " + namesOf(c.after));
        EXPECT_EQ(c.after.rowFollowing(c.before, c.row), c.expected);
    }
}

// Systems chosen for a tab take the place of its blank record; the user's systems stay.
TEST(CategoryCatalogue, NewSystemsTakeThePlaceOfTheFirstBlankRecord)
{
    struct Case
    {
        const char *start; // "_" a blank record
        const char *after;
        int first;
    };
    const Case cases[] = {
        {"_", "XY", 0},
        {"A_B_", "AXYB_", 1},
        {"AB", "ABXY", 2},
        {"", "XY", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.start);
        CategoryCatalogue catalogue;
        for (const char *name = c.start; *name; ++name)
            catalogue.append(*name == '_' ? SystemEntry{} : entryOf(std::string(1, *name)));
        EXPECT_EQ(catalogue.placeInsteadOfBlank({entryOf("X"), entryOf("Y")}), c.first);
        std::string names;
        for (const SystemEntry &entry : catalogue.entries())
            names += entry.isBlank() ? "_" : entry.name;
        EXPECT_EQ(names, c.after);
    }
}

TEST(CategoryTable, NamesTheFourCategoriesInTabOrder)
{
    const char *const texts[] = {"Classic", "Console", "Handheld", "Computer"};
    const char *const files[] = {"classic.ini", "console.ini", "handheld.ini", "computer.ini"};
    for (int index = 0; index < CategoryTable::kCount; ++index) {
        EXPECT_STREQ(CategoryTable::tabText(index), texts[index]);
        EXPECT_STREQ(CategoryTable::fileName(index), files[index]);
        EXPECT_EQ(CategoryTable::indexOf(texts[index]), index);
    }
    EXPECT_EQ(CategoryTable::indexOf("computer"), -1);
    for (int outside : {-1, CategoryTable::kCount, 255}) {
        EXPECT_EQ(CategoryTable::tabText(outside), nullptr);
        EXPECT_EQ(CategoryTable::fileName(outside), nullptr);
    }
}

} // namespace
