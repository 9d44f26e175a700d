#pragma once

#include "core/catalogue/ListOperation.h"
#include "core/catalogue/SystemEntry.h"

#include <optional>
#include <vector>

namespace marlit {

// The systems of one category, in file order. Index i is row i of the system list.
class CategoryCatalogue
{
public:
    CategoryCatalogue() = default;
    explicit CategoryCatalogue(std::vector<SystemEntry> entries);

    const std::vector<SystemEntry> &entries() const { return m_entries; }
    int size() const { return static_cast<int>(m_entries.size()); }
    bool empty() const { return m_entries.empty(); }
    int lastIndex() const { return size() - 1; } // -1 when empty

    // The entry at index, or nullptr outside the catalogue.
    const SystemEntry *entryAt(int index) const;
    SystemEntry *entryAt(int index);

    // Moves the entry at index one place up or down, or deletes it, and gives the row to
    // highlight afterwards: the moved entry's new row, or after a delete the entry that took the
    // deleted one's place (the one before it when the last was deleted; -1 when none is left).
    // Gives nothing, and changes nothing, when the index is outside the catalogue or there is
    // no entry to trade places with.
    std::optional<int> apply(ListOperation operation, int index);

    void append(const SystemEntry &entry);

    // Puts systems where the first blank entry is, in their order, or at the end when there is
    // none; every other entry stays. Gives the index of the first of them.
    int placeInsteadOfBlank(const std::vector<SystemEntry> &systems);

    // The row of this catalogue, read anew, that stands for the system at row of before: the
    // same record, else a record of the same name (the system edited), the nearer to row where
    // there are several; else, the system gone, the one in its place as after a delete (-1 when
    // none is left; the first when before had no system at row).
    int rowFollowing(const CategoryCatalogue &before, int row) const;

    bool operator==(const CategoryCatalogue &) const = default;

private:
    std::vector<SystemEntry> m_entries;
};

} // namespace marlit
