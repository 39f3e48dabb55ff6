#include "platform/clock.h"

#include <ctime>

namespace platform {

using namespace std::chrono;

year_month_day Clock::today() const
{
    return year_month_day(floor<days>(now()));
}

seconds Clock::timeOfDay() const
{
    const local_seconds t = now();
    return t - floor<days>(t);
}

local_seconds SystemClock::now() const
{
    const std::time_t t = system_clock::to_time_t(system_clock::now());
    std::tm tm{};
    localtime_r(&t, &tm);
    const year_month_day date{ year(tm.tm_year + 1900), month(unsigned(tm.tm_mon + 1)),
        day(unsigned(tm.tm_mday)) };
    return local_days(date) + hours(tm.tm_hour) + minutes(tm.tm_min) + seconds(tm.tm_sec);
}

ManualClock::ManualClock()
    : ManualClock(year_month_day(year(2000), January, day(1)))
{
}

ManualClock::ManualClock(local_seconds start)
    : m_now(start)
{
}

ManualClock::ManualClock(year_month_day date, seconds timeOfDay)
    : m_now(local_days(date) + timeOfDay)
{
}

void ManualClock::setToday(year_month_day date, seconds timeOfDay)
{
    m_now = local_days(date) + timeOfDay;
}

} // namespace platform
