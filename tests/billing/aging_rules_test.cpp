// The aging rule: buckets by due date with strict 30- and 60-day tests (also across a month end
// and a leap day), balances in cents with overpayments negative, and the boxes' text.
#include "billing/aging_rules.h"
#include <gtest/gtest.h>

using billing::AgingBucket;
using platform::Cents;

namespace {

Cents cents(std::int64_t c)
{
    return Cents::fromCents(c);
}

TEST(AgingRule, BucketsByDaysPastDue)
{
    struct Case
    {
        QDate today;
        QDate due;
        AgingBucket expected;
    };
    // Due dates written out by hand, counted on a calendar: 30, 31, 60 and 61 days before today,
    // and not yet due.
    const Case cases[] = {
        { QDate(2026, 12, 10), QDate(2026, 11, 10), AgingBucket::Current }, // 30
        { QDate(2026, 12, 10), QDate(2026, 11, 9), AgingBucket::Over30 }, // 31
        { QDate(2026, 12, 10), QDate(2026, 10, 11), AgingBucket::Over30 }, // 60
        { QDate(2026, 12, 10), QDate(2026, 10, 10), AgingBucket::Over60 }, // 61
        { QDate(2026, 12, 10), QDate(2026, 12, 25), AgingBucket::Current }, // not yet due
        { QDate(2026, 12, 10), QDate(2026, 12, 10), AgingBucket::Current }, // due today
        // Across a month and year end.
        { QDate(2027, 1, 1), QDate(2026, 12, 2), AgingBucket::Current }, // 30
        { QDate(2027, 1, 1), QDate(2026, 12, 1), AgingBucket::Over30 }, // 31
        { QDate(2027, 1, 1), QDate(2026, 11, 2), AgingBucket::Over30 }, // 60
        { QDate(2027, 1, 1), QDate(2026, 11, 1), AgingBucket::Over60 }, // 61
        // Across 29 February 2028.
        { QDate(2028, 3, 1), QDate(2028, 1, 31), AgingBucket::Current }, // 30
        { QDate(2028, 3, 1), QDate(2028, 1, 30), AgingBucket::Over30 }, // 31
        { QDate(2028, 3, 1), QDate(2028, 1, 1), AgingBucket::Over30 }, // 60
        { QDate(2028, 3, 1), QDate(2027, 12, 31), AgingBucket::Over60 }, // 61
        { QDate(2028, 3, 30), QDate(2028, 2, 29), AgingBucket::Current }, // 30
        { QDate(2028, 3, 31), QDate(2028, 2, 29), AgingBucket::Over30 }, // 31
        // A statement without a due date.
        { QDate(2026, 12, 10), QDate(), AgingBucket::Current },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(
            (c.today.toString(Qt::ISODate) + " due " + c.due.toString(Qt::ISODate)).toStdString());
        EXPECT_EQ(billing::agingBucket(c.due, c.today), c.expected);
        // The statement's balance lands in that bucket and nowhere else.
        const billing::Aging a = billing::ageStatement(cents(10000), cents(2500), c.due, c.today);
        EXPECT_EQ(a.bucket(c.expected), cents(7500));
        EXPECT_EQ(a.total(), cents(7500));
    }
}

TEST(AgingRule, BalancesAndTexts)
{
    const QDate today(2026, 12, 10);
    struct Case
    {
        const char *name;
        std::int64_t total, paid; // cents
        QDate due;
        const char *current, *over30, *over60, *sum;
        bool hasBalance;
    };
    const Case cases[] = {
        { "paid in full leaves the aging", 10000, 10000, QDate(2026, 8, 1), "$0.00", "$0.00",
            "$0.00", "$0.00", false },
        { "part paid", 12345, 2345, QDate(2026, 11, 1), "$0.00", "$100.00", "$0.00", "$100.00",
            true },
        { "overpaid: a negative balance", 10000, 15000, QDate(2026, 12, 1), "$-50.00", "$0.00",
            "$0.00", "$-50.00", true },
        { "a cent overpaid, long ago", 1, 2, QDate(2026, 1, 1), "$0.00", "$0.00", "$-0.01",
            "$-0.01", true },
        { "large amount", 123456789, 0, QDate(2026, 12, 20), "$1234567.89", "$0.00", "$0.00",
            "$1234567.89", true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const billing::Aging a = billing::ageStatement(cents(c.total), cents(c.paid), c.due, today);
        EXPECT_EQ(billing::agingText(a.current), QLatin1String(c.current));
        EXPECT_EQ(billing::agingText(a.over30), QLatin1String(c.over30));
        EXPECT_EQ(billing::agingText(a.over60), QLatin1String(c.over60));
        EXPECT_EQ(billing::agingText(a.total()), QLatin1String(c.sum));
        EXPECT_EQ(a.hasBalance(), c.hasBalance);
    }

    // An overpayment lowers the bucket it falls in and the total.
    billing::Aging sum;
    sum += billing::ageStatement(cents(20000), cents(0), QDate(2026, 12, 1), today);
    sum += billing::ageStatement(cents(10000), cents(15000), QDate(2026, 11, 30), today);
    sum += billing::ageStatement(cents(4000), cents(1000), QDate(2026, 9, 1), today);
    EXPECT_EQ(sum.current, cents(15000));
    EXPECT_EQ(sum.over60, cents(3000));
    EXPECT_EQ(billing::agingText(sum.total()), QStringLiteral("$180.00"));
}

} // namespace
