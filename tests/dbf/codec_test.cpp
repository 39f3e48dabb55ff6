#include <bit>
#include <charconv>
#include <random>
#include <string>

#include "dbf/date.h"
#include "dbf/field_codec.h"
#include <gtest/gtest.h>

using namespace dbf;

TEST(Date, ParsesTextAndJulianDays)
{
    struct Case
    {
        const char *text;
        bool ok;
        bool null;
        std::int64_t jdn;
    };
    const Case cases[] = {
        { "20240315", true, false, 2460385 }, // the worked example of the date keys
        { "20000101", true, false, 2451545 },
        { "20240229", true, false, 2460370 }, // leap day
        { "19000229", false, false, 0 }, // 1900 is not a leap year
        { "20000229", true, false, 2451604 }, // 2000 is
        { "20241301", false, false, 0 },
        { "20240431", false, false, 0 },
        { "2024031", false, false, 0 },
        { "2024-3-1", false, false, 0 },
        { "        ", true, true, 0 },
        { "00000000", true, true, 0 },
        { "", true, true, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const auto d = Date::fromText(c.text);
        ASSERT_EQ(d.has_value(), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(d->isNull(), c.null);
        EXPECT_EQ(d->julianDay(), c.jdn);
        if (!c.null) {
            EXPECT_EQ(d->toText(), c.text);
            EXPECT_EQ(Date::fromJulianDay(c.jdn), *d);
        }
    }
    EXPECT_LT(Date(), Date(1, 1, 1));
    EXPECT_EQ(Date(2024, 2, 28).addDays(2), Date(2024, 3, 1));
    EXPECT_EQ(Date().toText(), "        ");
}

TEST(Codec, FormatsNumbersRightAlignedOrRefuses)
{
    struct Case
    {
        double value;
        int width;
        int decimals;
        const char *stored; // nullptr: refused
    };
    const Case cases[] = {
        { 1234.5, 10, 2, "   1234.50" },
        { -0.75, 10, 2, "     -0.75" },
        { 0.0, 5, 2, " 0.00" },
        { -0.001, 6, 2, "  0.00" }, // rounds to zero: no "-0.00"
        { 12345.678, 8, 2, "12345.68" },
        { 123456.7, 8, 2, nullptr }, // needs 9
        { -99999.99, 8, 2, nullptr },
        { 99999999, 8, 0, "99999999" },
        { 100000000, 8, 0, nullptr },
        { 1e300, 20, 2, nullptr },
        { std::numeric_limits<double>::quiet_NaN(), 10, 2, nullptr },
        { std::numeric_limits<double>::infinity(), 10, 0, nullptr },
        { 7, 1, 0, "7" },
        // Rounded from the exact binary value, ties to even: 0.125 and 0.375 are exact ties,
        // 2.675 is stored a little below.
        { 0.125, 5, 2, " 0.12" },
        { 0.375, 5, 2, " 0.38" },
        { 2.675, 5, 2, " 2.67" },
        { 1e17, 21, 2, "100000000000000000.00" },
        { 1e17, 20, 2, nullptr },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        std::string out(static_cast<std::size_t>(c.width), 'x');
        const bool ok = codec::formatNumber(c.value, c.decimals, out);
        EXPECT_EQ(ok, c.stored != nullptr);
        if (c.stored)
            EXPECT_EQ(out, c.stored);
        else
            EXPECT_EQ(out, std::string(static_cast<std::size_t>(c.width), 'x')); // untouched
    }
}

TEST(Codec, ParsesStoredValuesOfOtherWriters)
{
    EXPECT_EQ(codec::parseNumber("   1234.50"), 1234.5);
    EXPECT_EQ(codec::parseNumber("     -0.75"), -0.75);
    EXPECT_EQ(codec::parseNumber("       .5 "), 0.5);
    EXPECT_EQ(codec::parseNumber("  12"), 12.0);
    EXPECT_EQ(codec::parseNumber("+3"), 3.0);
    EXPECT_EQ(codec::parseNumber("          "), std::nullopt);
    EXPECT_EQ(codec::parseNumber("  1,5"), std::nullopt);
    EXPECT_EQ(codec::parseNumber("*****"), std::nullopt);
    // Shapes around the common form: each reads as the general parse reads it.
    const struct
    {
        std::string_view text;
        std::optional<double> value;
    } shapes[] = { { "    -.5", -0.5 }, { "  5.  ", 5.0 }, { std::string_view("12\0\0", 4), 12.0 },
        { std::string_view("\0 12", 4), std::nullopt }, { " - 1.5", -1.5 }, { "1.2.3", std::nullopt },
        { "--5", std::nullopt }, { "  5-", std::nullopt }, { "12 3", 123.0 }, { " -", std::nullopt },
        { " .", std::nullopt }, { "1234567890123456", 1234567890123456.0 } };
    for (const auto &shape : shapes)
        EXPECT_EQ(codec::parseNumber(shape.text), shape.value) << shape.text;

    EXPECT_EQ(codec::parseLogical("T"), true);
    EXPECT_EQ(codec::parseLogical("y"), true);
    EXPECT_EQ(codec::parseLogical("n"), false);
    EXPECT_EQ(codec::parseLogical("?"), std::nullopt);
    EXPECT_EQ(codec::parseLogical(" "), std::nullopt);

    EXPECT_EQ(codec::parseMemoBlock("         1"), 1u);
    EXPECT_EQ(codec::parseMemoBlock("0000000017"), 17u);
    EXPECT_EQ(codec::parseMemoBlock("          "), 0u);
    EXPECT_EQ(codec::parseMemoBlock("    12abc "), std::nullopt);
    EXPECT_EQ(codec::parseMemoBlock("99999999999"), std::nullopt); // beyond 32 bits
}

// Stored numbers of every length and position of the point read as exactly the value the general
// decimal parser gives (the common short form is read by a faster path).
TEST(Codec, NumbersReadExactlyAsTheirDecimalText)
{
    std::mt19937_64 rng(20261210);
    for (int i = 0; i < 200000; ++i) {
        const int digits = 1 + static_cast<int>(rng() % 19);
        std::string text = rng() % 3 == 0 ? "-" : "";
        const int point = static_cast<int>(rng() % static_cast<unsigned>(digits + 2)) - 1;
        for (int d = 0; d < digits; ++d) {
            if (d == point)
                text += '.';
            text += static_cast<char>('0' + rng() % 10);
        }
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        const auto got = codec::parseNumber("  " + text);
        ASSERT_TRUE(got.has_value()) << text;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(*got), std::bit_cast<std::uint64_t>(expected))
            << text;
    }
}
