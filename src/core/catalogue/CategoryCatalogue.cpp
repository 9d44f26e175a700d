#include "core/catalogue/CategoryCatalogue.h"

#include <algorithm>
#include <cstdlib>
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

std::optional<int> CategoryCatalogue::apply(ListOperation operation, int index)
{
    if (!entryAt(index))
        return std::nullopt;
    const auto at = [&](int i) { return m_entries.begin() + i; };
    switch (operation) {
    case ListOperation::MoveUp:
        if (index == 0)
            return std::nullopt;
        std::iter_swap(at(index - 1), at(index));
        return index - 1;
    case ListOperation::MoveDown:
        if (index == lastIndex())
            return std::nullopt;
        std::iter_swap(at(index), at(index + 1));
        return index + 1;
    case ListOperation::Delete:
        m_entries.erase(at(index));
        return std::min(index, lastIndex());
    }
    return std::nullopt;
}

void CategoryCatalogue::append(const SystemEntry &entry)
{
    m_entries.push_back(entry);
}

int CategoryCatalogue::placeInsteadOfBlank(const std::vector<SystemEntry> &systems)
{
    if (systems.empty())
        return size();
    auto place = std::find_if(m_entries.begin(), m_entries.end(), [](const SystemEntry &e) { return e.isBlank(); });
    if (place != m_entries.end())
        place = m_entries.erase(place);
    const auto index = static_cast<int>(place - m_entries.begin());
    m_entries.insert(place, systems.begin(), systems.end());
    return index;
}

int CategoryCatalogue::rowFollowing(const CategoryCatalogue &before, int row) const
{
    const SystemEntry *was = before.entryAt(row);
    if (!was)
        return empty() ? -1 : 0;
    const auto nearest = [&](auto matches) {
        int found = -1;
        for (int i = 0; i < size(); ++i) {
            if (matches(m_entries[static_cast<std::size_t>(i)]) &&
                (found < 0 || std::abs(i - row) < std::abs(found - row)))
                found = i;
        }
        return found;
    };
    if (const int same = nearest([&](const SystemEntry &entry) { return entry == *was; }); same >= 0)
        return same;
    if (const int edited = nearest([&](const SystemEntry &entry) { return entry.name == was->name; }); edited >= 0)
        return edited;
    return std::min(row, lastIndex());
}

} // namespace marlit
