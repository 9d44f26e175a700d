#include "core/browse/RomNames.h"

#include "core/browse/RomListing.h"

#include <algorithm>

namespace marlit {

RomNames::RomNames(const std::vector<std::string> &names)
{
    std::size_t bytes = 0;
    for (const std::string &name : names)
        bytes += name.size();
    reserve(names.size(), bytes);
    for (const std::string &name : names)
        push_back(name);
}

RomNames::RomNames(std::initializer_list<std::string_view> names)
{
    for (const std::string_view name : names)
        push_back(name);
}

std::string_view RomNames::operator[](std::size_t index) const
{
    const std::size_t begin = index == 0 ? 0 : m_ends[index - 1];
    return std::string_view(m_bytes).substr(begin, m_ends[index] - begin);
}

void RomNames::reserve(std::size_t names, std::size_t bytes)
{
    m_ends.reserve(names);
    m_bytes.reserve(bytes);
}

void RomNames::push_back(std::string_view name)
{
    m_bytes.append(name);
    m_ends.push_back(m_bytes.size());
}

void RomNames::append(const std::vector<std::size_t> &lengths, std::string_view bytes)
{
    m_ends.reserve(m_ends.size() + lengths.size());
    std::size_t end = m_bytes.size();
    for (const std::size_t length : lengths)
        m_ends.push_back(end += length);
    m_bytes.append(bytes);
}

void RomNames::erase(const std::vector<std::size_t> &rows)
{
    // The names between two removed ones move left in one piece. Indices below the names kept
    // so far are written; the ends read (of the removed names and after) are not yet.
    std::size_t kept = rows.empty() ? m_ends.size() : rows.front();
    std::size_t removed = 0; // bytes
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::size_t drop = rows[i];
        removed += m_ends[drop] - (drop == 0 ? 0 : m_ends[drop - 1]);
        const std::size_t stop = i + 1 < rows.size() ? rows[i + 1] : m_ends.size();
        if (drop + 1 >= stop)
            continue;
        const auto from = static_cast<std::ptrdiff_t>(m_ends[drop]);
        const auto to = static_cast<std::ptrdiff_t>(m_ends[stop - 1]);
        std::copy(m_bytes.begin() + from, m_bytes.begin() + to,
                  m_bytes.begin() + from - static_cast<std::ptrdiff_t>(removed));
        for (std::size_t row = drop + 1; row < stop; ++row)
            m_ends[kept++] = m_ends[row] - removed;
    }
    m_ends.resize(kept);
    m_bytes.resize(m_bytes.size() - removed);
}

std::size_t RomNames::lowerBound(std::string_view name) const
{
    std::size_t low = 0;
    std::size_t high = size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (RomListing::before((*this)[middle], name))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

std::vector<std::string> RomNames::toVector() const
{
    std::vector<std::string> names;
    names.reserve(size());
    for (std::size_t i = 0; i < size(); ++i)
        names.emplace_back((*this)[i]);
    return names;
}

} // namespace marlit
