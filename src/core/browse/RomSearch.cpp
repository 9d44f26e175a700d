#include "core/browse/RomSearch.h"

#include <utility>

namespace marlit {

void RomSearch::toggleMode()
{
    m_mode = m_mode == FilterMode::SearchFor ? FilterMode::FilterOut : FilterMode::SearchFor;
}

void RomSearch::apply(std::string text)
{
    m_text = std::move(text);
    m_applied = true;
}

void RomSearch::clear()
{
    m_text.assign(1, '.'); // not from a literal: GCC 12 warns falsely on that in release builds
    m_applied = false;
}

std::string RomSearch::pattern() const
{
    if (m_mode == FilterMode::FilterOut)
        return "*.*";
    return "*" + m_text + "*";
}

bool RomSearch::keeps(std::string_view name) const
{
    // Every name holds the empty text, so an applied empty filter leaves nothing.
    return !(m_applied && m_mode == FilterMode::FilterOut && name.find(m_text) != std::string_view::npos);
}

} // namespace marlit
