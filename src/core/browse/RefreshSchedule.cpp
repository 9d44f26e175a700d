#include "core/browse/RefreshSchedule.h"

#include <algorithm>

namespace marlit {

long long RefreshSchedule::noteChange(long long nowMs)
{
    if (!m_first)
        m_first = nowMs;
    m_last = nowMs;
    return *due();
}

std::optional<long long> RefreshSchedule::due() const
{
    if (!m_first)
        return std::nullopt;
    return std::min(m_last + kQuietMs, *m_first + kLatestMs);
}

void RefreshSchedule::started()
{
    m_first.reset();
}

} // namespace marlit
