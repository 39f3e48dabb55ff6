#pragma once

#include <chrono>

namespace platform {

// Today's date and the time of day as the user's wall clock shows them. Windows and rules take a
// Clock by reference instead of asking the system, so that tests can fix the date.
class Clock
{
public:
    virtual ~Clock() = default;
    // Local wall-clock time, to the second.
    virtual std::chrono::local_seconds now() const = 0;
    std::chrono::year_month_day today() const;
    // Seconds since local midnight, 0 to 86399.
    std::chrono::seconds timeOfDay() const;
};

// The machine's clock in the local time zone.
class SystemClock final : public Clock
{
public:
    std::chrono::local_seconds now() const override;
};

// A clock that stands still until it is set or advanced. Starts at 2000-01-01 00:00:00.
class ManualClock final : public Clock
{
public:
    ManualClock();
    explicit ManualClock(std::chrono::local_seconds start);
    ManualClock(std::chrono::year_month_day date, std::chrono::seconds timeOfDay = {});

    std::chrono::local_seconds now() const override { return m_now; }
    void set(std::chrono::local_seconds t) { m_now = t; }
    void setToday(std::chrono::year_month_day date, std::chrono::seconds timeOfDay = {});
    void advance(std::chrono::seconds by) { m_now += by; }

private:
    std::chrono::local_seconds m_now;
};

} // namespace platform
