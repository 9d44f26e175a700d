#pragma once

#include <optional>

namespace marlit {

// When to read a watched folder again after it changed: once the changes have paused for a
// moment, but never later than a second after the first of them, so a burst of thousands of
// files costs a refresh a second, not one per file.
class RefreshSchedule
{
public:
    static constexpr long long kQuietMs = 150;
    static constexpr long long kLatestMs = 1000;

    // A change seen at nowMs (a monotonic clock); gives the time the refresh is due.
    long long noteChange(long long nowMs);
    // When the refresh is due; nothing while no change waits.
    std::optional<long long> due() const;
    // The refresh has begun: later changes wait for one of their own.
    void started();

private:
    std::optional<long long> m_first;
    long long m_last = 0;
};

} // namespace marlit
