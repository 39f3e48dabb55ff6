#include "platform/clock.h"
#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

TEST(ManualClock, TodayAndTimeOfDayFollowSetAndAdvanceAcrossMidnight)
{
    platform::ManualClock clock(
        year_month_day(year(1999), December, day(31)), hours(23) + minutes(59));
    EXPECT_EQ(clock.today(), year_month_day(year(1999), December, day(31)));
    EXPECT_EQ(clock.timeOfDay(), hours(23) + minutes(59));
    clock.advance(minutes(2));
    EXPECT_EQ(clock.today(), year_month_day(year(2000), January, day(1)));
    EXPECT_EQ(clock.timeOfDay(), minutes(1));
    clock.setToday(year_month_day(year(2024), February, day(29)));
    EXPECT_EQ(clock.today(), year_month_day(year(2024), February, day(29)));
    EXPECT_EQ(clock.timeOfDay(), seconds(0));
}

TEST(SystemClock, AgreesWithTheCLibraryLocalTime)
{
    platform::SystemClock clock;
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    const year_month_day today = clock.today();
    // A midnight between the two readings would change the day; allow it.
    const year_month_day expected{ year(tm.tm_year + 1900), month(unsigned(tm.tm_mon + 1)),
        day(unsigned(tm.tm_mday)) };
    EXPECT_LE(abs((local_days(today) - local_days(expected)).count()), 1);
    EXPECT_LT(clock.timeOfDay(), hours(24));
}

} // namespace
