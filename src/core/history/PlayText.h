#pragma once

#include "core/history/RomHistory.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace marlit {

// The short line that says how much a ROM was played: "3 plays · 2 h 14 min · yesterday".
class PlayText
{
public:
    // "1 play" or "N plays", the time played and when the last play started, seen from now (both
    // in local time); empty for a ROM never played.
    static std::string summary(const RomHistory &history, std::int64_t nowMs);

    // "under 1 min", "14 min", "2 h", "2 h 14 min".
    static std::string duration(std::int64_t ms);
    // "today", "yesterday", "N days ago" (up to a week), else the date, "12 Mar 2024": by the
    // local calendar, so a play at 23:50 is "yesterday" ten minutes later.
    static std::string when(std::int64_t thenMs, std::int64_t nowMs);
};

} // namespace marlit
