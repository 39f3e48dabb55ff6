#include <gtest/gtest.h>

#include "platform/money.h"

using platform::Cents;

TEST(Money, StoredAmountsRoundToTheNearestCentHalvesAwayFromZero)
{
    struct Case { double stored; long long cents; };
    const Case cases[] = {
        { 0.0, 0 }, { 1e-17, 0 }, { -1e-17, 0 }, { 2.675, 268 }, { -2.675, -268 },
        { 1.005, 101 }, { 0.004, 0 }, { 0.005, 1 }, { -0.005, -1 }, { 4.99, 499 },
        { 16.5, 1650 }, { 1234567.891, 123456789 }, { 0.1 + 0.2, 30 },
        // Large amounts keep their last cent.
        { 5000000.00, 500000000 }, { 9999999.99, 999999999 }, { -9999999.99, -999999999 },
        { 9999999999.99, 999999999999 }, { 12345678.905, 1234567891 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(Cents::fromDouble(c.stored).cents(), c.cents) << c.stored;
}

TEST(Money, SumsOfCentsAreExactWhereDoublesAreNot)
{
    // Summed as doubles, 0.01 + 4.02 + 0.97 is below 5.00.
    const double asDoubles = 0.01 + 4.02 + 0.97;
    EXPECT_LT(asDoubles, 5.0);
    Cents sum;
    for (double amount : { 0.01, 4.02, 0.97 })
        sum += Cents::fromDouble(amount);
    EXPECT_EQ(sum, Cents::fromCents(500));
    EXPECT_GE(sum, Cents::fromDouble(5.0));
    EXPECT_TRUE((Cents::fromDouble(0.1 + 0.2) - Cents::fromDouble(0.3)).isZero());
}

TEST(Money, PercentRoundsOnceAtTheEnd)
{
    struct Case { long long cents; double rate; long long expected; };
    const Case cases[] = {
        { 20000, 8.25, 1650 }, { 100, 8.25, 8 }, { 1000, 8.25, 83 }, { 200, 8.25, 17 },
        { -200, 8.25, -17 }, { 0, 7.5, 0 }, { 12345, 0, 0 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(Cents::fromCents(c.cents).percent(c.rate).cents(), c.expected) << c.cents << " " << c.rate;
}

TEST(Money, PlainTextAndParsingRoundTrip)
{
    struct Case { const char *text; bool ok; long long cents; const char *plain; };
    const Case cases[] = {
        { "1234.5", true, 123450, "1234.50" }, { "-0.07", true, -7, "-0.07" },
        { "1,234.50", true, 123450, "1234.50" }, { "  12 ", true, 1200, "12.00" },
        { "0.005", true, 1, "0.01" }, { "4o.5", false, 0, "0.00" }, { "", false, 0, "0.00" },
        { "-", false, 0, "0.00" }, { "1.2.3", false, 0, "0.00" },
    };
    for (const Case &c : cases) {
        bool ok = !c.ok;
        const Cents parsed = Cents::parse(c.text, &ok);
        EXPECT_EQ(ok, c.ok) << c.text;
        EXPECT_EQ(parsed.cents(), c.cents) << c.text;
        EXPECT_EQ(parsed.toPlainString(), c.plain) << c.text;
    }
    EXPECT_EQ(Cents::fromCents(-123456789).toPlainString(), "-1234567.89");
}
