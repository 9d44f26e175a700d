#include "core/history/PlayText.h"

#include <array>
#include <cstdio>

namespace marlit {

namespace {

constexpr const char *kSeparator = " \xC2\xB7 "; // a middle dot between blanks, in UTF-8
constexpr int kDaysInWords = 6;

std::tm localDate(std::int64_t ms)
{
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

// Whole calendar days from one local date to another, whatever the hours and a change of the
// clocks in between: both dates are taken at noon, as UTC, where every day has 24 hours.
std::int64_t calendarDaysBetween(const std::tm &from, const std::tm &to)
{
    const auto dayNumber = [](const std::tm &date) {
        std::tm noon{};
        noon.tm_year = date.tm_year;
        noon.tm_mon = date.tm_mon;
        noon.tm_mday = date.tm_mday;
        noon.tm_hour = 12;
        return static_cast<std::int64_t>(timegm(&noon)) / 86400;
    };
    return dayNumber(to) - dayNumber(from);
}

} // namespace

std::string PlayText::summary(const RomHistory &history, std::int64_t nowMs)
{
    if (history.plays <= 0)
        return {};
    std::string text = std::to_string(history.plays) + (history.plays == 1 ? " play" : " plays");
    text += kSeparator + duration(history.playedMs);
    if (history.lastPlayedMs > 0)
        text += kSeparator + when(history.lastPlayedMs, nowMs);
    return text;
}

std::string PlayText::duration(std::int64_t ms)
{
    const std::int64_t minutes = ms / 60000;
    if (minutes < 1)
        return "under 1 min";
    const std::int64_t hours = minutes / 60;
    if (hours == 0)
        return std::to_string(minutes) + " min";
    if (minutes % 60 == 0)
        return std::to_string(hours) + " h";
    return std::to_string(hours) + " h " + std::to_string(minutes % 60) + " min";
}

std::string PlayText::when(std::int64_t thenMs, std::int64_t nowMs)
{
    const std::tm then = localDate(thenMs);
    const std::int64_t days = calendarDaysBetween(then, localDate(nowMs));
    // A play stamped later than now (another machine's clock) is still today's.
    if (days <= 0)
        return "today";
    if (days == 1)
        return "yesterday";
    if (days <= kDaysInWords)
        return std::to_string(days) + " days ago";
    static constexpr std::array<const char *, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char date[32];
    std::snprintf(date, sizeof date, "%d %s %d", then.tm_mday, kMonths[static_cast<std::size_t>(then.tm_mon) % 12],
                  then.tm_year + 1900);
    return date;
}

} // namespace marlit
