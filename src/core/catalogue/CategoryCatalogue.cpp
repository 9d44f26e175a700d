#include "core/catalogue/CategoryCatalogue.h"

#include <algorithm>
#include <utility>

namespace marlit {

CategoryCatalogue::CategoryCatalogue(std::vector<SystemEntry> entries) : m_entries(std::move(entries))
{
}

const SystemEntry *CategoryCatalogue::entryAt(int index) const
{
    if (index < 0 || index >= size())
        return nullptr;
    return &m_entries[static_cast<std::size_t>(index)];
}

SystemEntry *CategoryCatalogue::entryAt(int index)
{
    return const_cast<SystemEntry *>(std::as_const(*this).entryAt(index));
}

bool CategoryCatalogue::apply(ListOperation operation, int index)
{
    if (!entryAt(index))
        return false;
    const auto at = [&](int i) { return m_entries.begin() + i; };
    switch (operation) {
    case MoveUp:
        if (index == 0)
            return false;
        std::iter_swap(at(index - 1), at(index));
        return true;
    case MoveDown:
        if (index == lastIndex())
            return false;
        std::iter_swap(at(index), at(index + 1));
        return true;
    case Delete:
        m_entries.erase(at(index));
        return true;
    }
    // A code from outside the enumeration (cast from a plain int).
    return false;
}

void CategoryCatalogue::append(const SystemEntry &entry)
{
    m_entries.push_back(entry);
}

} // namespace marlit
