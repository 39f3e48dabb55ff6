#include "dbf/date.h"

#include <ctime>

namespace dbf {

namespace {

bool isLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int kDays[12] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

} // namespace

std::optional<Date> Date::fromText(std::string_view text)
{
    if (text.empty() || text == "        " || text == "00000000")
        return Date();
    if (text.size() != 8)
        return std::nullopt;
    int digits[8];
    for (std::size_t i = 0; i < 8; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        digits[i] = text[i] - '0';
    }
    const Date d(digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3],
        digits[4] * 10 + digits[5], digits[6] * 10 + digits[7]);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

bool Date::isValid() const
{
    return m_year >= 1 && m_year <= 9999 && m_month >= 1 && m_month <= 12 && m_day >= 1
        && m_day <= daysInMonth(m_year, m_month);
}

std::string Date::toText() const
{
    if (isNull())
        return std::string(8, ' ');
    std::string out(8, '0');
    int y = m_year;
    for (int i = 3; i >= 0; --i, y /= 10)
        out[static_cast<std::size_t>(i)] = static_cast<char>('0' + y % 10);
    out[4] = static_cast<char>('0' + m_month / 10);
    out[5] = static_cast<char>('0' + m_month % 10);
    out[6] = static_cast<char>('0' + m_day / 10);
    out[7] = static_cast<char>('0' + m_day % 10);
    return out;
}

// Integer arithmetic of the Gregorian calendar (Fliegel and Van Flandern).
std::int64_t Date::julianDay() const
{
    if (isNull())
        return 0;
    const std::int64_t a = (14 - m_month) / 12;
    const std::int64_t y = m_year + 4800 - a;
    const std::int64_t m = m_month + 12 * a - 3;
    return m_day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

Date Date::fromJulianDay(std::int64_t jdn)
{
    const std::int64_t a = jdn + 32044;
    const std::int64_t b = (4 * a + 3) / 146097;
    const std::int64_t c = a - 146097 * b / 4;
    const std::int64_t d = (4 * c + 3) / 1461;
    const std::int64_t e = c - 1461 * d / 4;
    const std::int64_t m = (5 * e + 2) / 153;
    const auto day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    const auto month = static_cast<int>(m + 3 - 12 * (m / 10));
    const auto year = static_cast<int>(100 * b + d - 4800 + m / 10);
    return Date(year, month, day);
}

Date Date::today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return Date(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

} // namespace dbf
