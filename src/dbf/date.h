#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dbf {

// A calendar date as a D field stores it. The null date is the blank field (eight spaces on disk).
// Plain value type; no time zone, no time of day.
class Date
{
public:
    Date() = default; // the null date
    Date(int year, int month, int day)
        : m_year(year)
        , m_month(month)
        , m_day(day)
    {
    }

    // Parses the eight characters YYYYMMDD. Eight blanks, eight zeros or an empty text give the
    // null date; anything else that is not a real calendar date gives nullopt.
    static std::optional<Date> fromText(std::string_view text);
    // The date of a Julian Day Number (JDN 2460385 is 2024-03-15).
    static Date fromJulianDay(std::int64_t jdn);
    // Today in the local time zone.
    static Date today();

    bool isNull() const { return m_year == 0 && m_month == 0 && m_day == 0; }
    // A real date of the proleptic Gregorian calendar between years 1 and 9999.
    bool isValid() const;
    int year() const { return m_year; }
    int month() const { return m_month; }
    int day() const { return m_day; }

    // "YYYYMMDD", or eight blanks for the null date. Requires: isNull() or isValid().
    std::string toText() const;
    // Julian Day Number; 0 for the null date. Requires: isNull() or isValid().
    std::int64_t julianDay() const;
    Date addDays(std::int64_t days) const { return fromJulianDay(julianDay() + days); }

    // The null date orders before every real date.
    auto operator<=>(const Date &) const = default;

private:
    int m_year = 0;
    int m_month = 0;
    int m_day = 0;
};

} // namespace dbf
