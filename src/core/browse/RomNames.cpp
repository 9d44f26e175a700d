#include "core/browse/RomNames.h"

#include "core/browse/RomListing.h"

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
