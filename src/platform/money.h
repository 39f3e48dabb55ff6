#pragma once

#include <cstdint>
#include <compare>
#include <string>

namespace platform {

// An amount of money in whole cents. The tables keep money as floating values; every sum,
// comparison and rounding the program makes goes through Cents, so that 0.01 + 4.02 + 0.97 is
// exactly 5.00 and a balance left over from binary fractions (1e-17) is exactly zero.
//
// Conversion from a stored value rounds to the nearest cent, halves away from zero (2.675 read
// from a field is 2.68, -2.675 is -2.68). Arithmetic is exact; multiplication by a rate rounds
// once, at the end.
class Cents
{
public:
    constexpr Cents() = default;
    static constexpr Cents fromCents(std::int64_t cents) { return Cents(cents); }
    // The nearest cent to a stored amount; NaN and infinities count as 0.
    static Cents fromDouble(double amount);
    // Parses "1234.5", "-0.07", "1,234.50" (grouping commas ignored); nullopt-like: ok=false on
    // anything else.
    static Cents parse(const std::string &text, bool *ok = nullptr);

    constexpr std::int64_t cents() const { return m_cents; }
    double toDouble() const { return double(m_cents) / 100.0; }
    // Plain decimal text with a point and two decimals: "-1234.50".
    std::string toPlainString() const;

    constexpr bool isZero() const { return m_cents == 0; }
    constexpr bool isPositive() const { return m_cents > 0; }
    constexpr bool isNegative() const { return m_cents < 0; }

    // amount × percent / 100, rounded once, halves away from zero.
    Cents percent(double rate) const;

    constexpr Cents operator-() const { return Cents(-m_cents); }
    constexpr Cents &operator+=(Cents other) { m_cents += other.m_cents; return *this; }
    constexpr Cents &operator-=(Cents other) { m_cents -= other.m_cents; return *this; }
    friend constexpr Cents operator+(Cents a, Cents b) { return Cents(a.m_cents + b.m_cents); }
    friend constexpr Cents operator-(Cents a, Cents b) { return Cents(a.m_cents - b.m_cents); }
    friend constexpr auto operator<=>(Cents, Cents) = default;
    friend constexpr bool operator==(Cents, Cents) = default;

private:
    constexpr explicit Cents(std::int64_t cents) : m_cents(cents) {}
    std::int64_t m_cents = 0;
};

// Rounds a floating amount to whole cents, halves away from zero, and returns it as a double
// (what a money field stores).
double roundToCents(double amount);

} // namespace platform
