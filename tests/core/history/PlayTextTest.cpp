#include "core/history/PlayText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using marlit::PlayText;
using marlit::RomHistory;

namespace {

// Milliseconds since the epoch of a local time.
std::int64_t localMs(int year, int month, int day, int hour, int minute)
{
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local)) * 1000;
}

class PlayTextTest : public ::testing::Test
{
protected:
    // Central European time, with its clock changes (the last Sunday of March and of October).
    void SetUp() override
    {
        const char *zone = std::getenv("TZ");
        m_zone = zone ? std::optional<std::string>(zone) : std::nullopt;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    void TearDown() override
    {
        if (m_zone)
            setenv("TZ", m_zone->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_zone;
};

} // namespace

TEST_F(PlayTextTest, DurationsAndDaysAndTheWholeLine)
{
    const struct
    {
        std::int64_t ms;
        const char *text;
    } durations[] = {
        {0, "under 1 min"},    {59'999, "under 1 min"}, {60'000, "1 min"},
        {3'599'999, "59 min"}, {3'600'000, "1 h"},      {8'040'000, "2 h 14 min"},
        {36'000'000, "10 h"},  {-5, "under 1 min"},     {360'000'000'000, "100000 h"},
    };
    for (const auto &[ms, text] : durations)
        EXPECT_EQ(PlayText::duration(ms), text) << ms << " ms";

    const std::int64_t now = localMs(2024, 3, 31, 0, 10); // ten minutes into the day the clocks go forward
    const struct
    {
        std::int64_t then;
        const char *text;
    } days[] = {
        {localMs(2024, 3, 31, 0, 5), "today"},        {now + 3'600'000, "today"}, // a clock ahead of ours
        {localMs(2024, 3, 30, 23, 50), "yesterday"},  {localMs(2024, 3, 30, 0, 1), "yesterday"},
        {localMs(2024, 3, 29, 23, 59), "2 days ago"}, {localMs(2024, 3, 25, 12, 0), "6 days ago"},
        {localMs(2024, 3, 24, 12, 0), "24 Mar 2024"}, {localMs(2023, 12, 1, 8, 0), "1 Dec 2023"},
    };
    for (const auto &[then, text] : days)
        EXPECT_EQ(PlayText::when(then, now), text) << then;
    // Across the autumn change, a day of 25 hours is still one day.
    EXPECT_EQ(PlayText::when(localMs(2024, 10, 27, 0, 30), localMs(2024, 10, 28, 0, 10)), "yesterday");

    RomHistory history;
    EXPECT_EQ(PlayText::summary(history, now), "") << "never played";
    history.plays = 1;
    history.playedMs = 30'000;
    history.lastPlayedMs = localMs(2024, 3, 31, 0, 0);
    EXPECT_EQ(PlayText::summary(history, now), "1 play \xC2\xB7 under 1 min \xC2\xB7 today");
    history.plays = 3;
    history.playedMs = 8'040'000;
    history.lastPlayedMs = localMs(2024, 3, 30, 20, 0);
    EXPECT_EQ(PlayText::summary(history, now), "3 plays \xC2\xB7 2 h 14 min \xC2\xB7 yesterday");
}
