#include "platform/money.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace platform {

namespace {

// The nearest whole number to x, halves away from zero, after removing the representation
// error that decimal amounts pick up in binary (2.675 is stored as 2.67499999...).
std::int64_t roundHalfAway(double x)
{
    if (!std::isfinite(x))
        return 0;
    constexpr double kLimit = double(std::numeric_limits<std::int64_t>::max() / 2);
    if (x > kLimit)
        return std::int64_t(kLimit);
    if (x < -kLimit)
        return -std::int64_t(kLimit);
    // A value within a few units in the last place of a half is taken as that half. The
    // tolerance follows the value's own precision, so that it stays far below half a cent for
    // every amount a money field can hold (10,000,000.00 is 1e9 cents: 2e-6 here).
    const double tolerance = std::max(std::abs(x), 1.0) * 16 * std::numeric_limits<double>::epsilon();
    const double magnitude = std::abs(x);
    const double floorPart = std::floor(magnitude);
    double rounded = floorPart;
    if (magnitude - floorPart >= 0.5 - tolerance)
        rounded = floorPart + 1;
    return std::int64_t(x < 0 ? -rounded : rounded);
}

} // namespace

Cents Cents::fromDouble(double amount)
{
    return Cents(roundHalfAway(amount * 100.0));
}

Cents Cents::parse(const std::string &text, bool *ok)
{
    std::string digits;
    bool negative = false;
    bool seenDigit = false;
    bool seenPoint = false;
    int decimals = 0;
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t whole = 0;
    std::int64_t fraction = 0;
    bool good = true;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            seenDigit = true;
            if (seenPoint) {
                if (decimals < 2)
                    fraction = fraction * 10 + (c - '0');
                else if (decimals == 2 && c >= '5')
                    fraction += 1; // the third decimal rounds, halves away from zero
                ++decimals;
            } else {
                if (whole > std::numeric_limits<std::int64_t>::max() / 1000) {
                    good = false;
                    break;
                }
                whole = whole * 10 + (c - '0');
            }
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else if (c == ',' && !seenPoint) {
            continue;
        } else if (c == ' ') {
            for (; i < text.size(); ++i)
                if (text[i] != ' ')
                    good = false;
            break;
        } else {
            good = false;
            break;
        }
    }
    if (decimals == 1)
        fraction *= 10;
    good = good && seenDigit;
    if (ok)
        *ok = good;
    if (!good)
        return Cents();
    const std::int64_t cents = whole * 100 + (decimals > 0 ? fraction : 0);
    return Cents(negative ? -cents : cents);
}

std::string Cents::toPlainString() const
{
    const std::uint64_t magnitude = m_cents < 0 ? std::uint64_t(-(m_cents + 1)) + 1 : std::uint64_t(m_cents);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%s%llu.%02llu", m_cents < 0 ? "-" : "",
        static_cast<unsigned long long>(magnitude / 100), static_cast<unsigned long long>(magnitude % 100));
    return buffer;
}

Cents Cents::percent(double rate) const
{
    return Cents(roundHalfAway(double(m_cents) * rate / 100.0));
}

double roundToCents(double amount)
{
    return Cents::fromDouble(amount).toDouble();
}

} // namespace platform
