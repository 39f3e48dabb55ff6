// The data selection rules of the catalogue, without tables: ranges and their End bound,
// clients by cycle and activity, qualifying slips, and the slip date range of blank pickers.
#include "reports/selection_rules.h"
#include <gtest/gtest.h>

using reports::RangePlace;
using reports::SelectionOptions;
using reports::SelectionRules;
using reports::SlipFacts;

namespace {

constexpr long long kToday = 2461385;

SelectionOptions everything()
{
    SelectionOptions o;
    o.clientBegin = o.activityBegin = o.projectBegin = o.staffBegin = "";
    o.clientEnd = o.activityEnd = o.projectEnd = o.staffEnd = "\xff";
    o.slipStart = kToday - 3650;
    o.slipEnd = kToday + 3650;
    return o;
}

SlipFacts plainSlip()
{
    SlipFacts s;
    s.dateBegin = s.dateEnd = kToday;
    s.activity = "WORK";
    s.staff = "001";
    s.project = "P1";
    return s;
}

} // namespace

TEST(SelectionRules, RangeBoundsCompareWholeTrimmedKeysByteWise)
{
    const struct
    {
        const char *key, *begin, *end;
        RangePlace expected;
    } cases[] = {
        { "C", "A", "C", RangePlace::Inside }, // End "C" takes a client named exactly C
        { "Ca", "A", "C", RangePlace::After }, // ... and stops before Ca
        { "C                             ", "A", "C", RangePlace::Inside }, // stored padded
        { "B", "A", "C   ", RangePlace::Inside }, // typed with trailing blanks
        { "Abbot", "B", "C", RangePlace::Before },
        { "B", "B", "B", RangePlace::Inside },
        { "b", "A", "C", RangePlace::After }, // case-sensitive: lower case sorts after
        { "\xe9", "A", "z", RangePlace::After }, // bytes compare unsigned: e-acute after z
        { "", "", "Z", RangePlace::Inside },
        { "", "A", "Z", RangePlace::Before },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.key) + " in " + c.begin + ".." + c.end);
        EXPECT_EQ(SelectionRules::place(c.key, c.begin, c.end), c.expected);
    }
}

TEST(SelectionRules, ClientsByCycleAndActivity)
{
    const struct
    {
        int from, to;
        bool inactives;
        int cycle;
        const char *active;
        bool taken;
    } cases[] = {
        { 1, 10, false, 1, "Y", true },
        { 1, 10, false, 1, "N", false }, // inactive left out
        { 1, 10, true, 1, "N", true }, // unless asked
        { 1, 10, false, 1, "", false }, // blank is not active
        { 3, 5, false, 3, "Y", true },
        { 3, 5, false, 5, "Y", true },
        { 3, 5, false, 2, "Y", false },
        { 3, 5, false, 6, "Y", false },
        { 3, 5, true, 6, "N", false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << ".." << c.to << " cycle " << c.cycle << " "
                                        << c.active << " inactives " << c.inactives);
        SelectionOptions o = everything();
        o.cycleFrom = c.from;
        o.cycleTo = c.to;
        o.includeInactives = c.inactives;
        EXPECT_EQ(SelectionRules(o).takesClient(c.cycle, c.active), c.taken);
    }
}

TEST(SelectionRules, QualifyingSlips)
{
    using Change = void (*)(SelectionOptions &, SlipFacts &);
    const struct
    {
        const char *what;
        Change change;
        bool qualifies;
    } cases[] = {
        { "plain", [](SelectionOptions &, SlipFacts &) {}, true },
        { "no staff passes any staff Begin",
            [](SelectionOptions &o, SlipFacts &s) {
                o.staffBegin = "500";
                s.staff = "";
            },
            true },
        { "no project passes any project Begin",
            [](SelectionOptions &o, SlipFacts &s) {
                o.projectBegin = "ZZZ";
                s.project = "   ";
            },
            true },
        { "staff below Begin",
            [](SelectionOptions &o, SlipFacts &) { o.staffBegin = "500"; }, false },
        { "staff above End", [](SelectionOptions &o, SlipFacts &) { o.staffEnd = "000"; }, false },
        { "project above End", [](SelectionOptions &o, SlipFacts &) { o.projectEnd = "P0"; },
            false },
        { "activity outside", [](SelectionOptions &o, SlipFacts &) { o.activityEnd = "W"; },
            false },
        { "blank activity below a Begin",
            [](SelectionOptions &o, SlipFacts &s) {
                o.activityBegin = "A";
                s.activity = "";
            },
            false },
        { "expense slip with expenses",
            [](SelectionOptions &, SlipFacts &s) { s.expenseAmount = 12.5; }, true },
        { "expense slip without expenses",
            [](SelectionOptions &o, SlipFacts &s) {
                s.expenseAmount = 12.5;
                o.includeExpenseSlips = false;
            },
            false },
        { "negative expense without expenses",
            [](SelectionOptions &o, SlipFacts &s) {
                s.expenseAmount = -1;
                o.includeExpenseSlips = false;
            },
            false },
        { "time slip without expenses",
            [](SelectionOptions &o, SlipFacts &) { o.includeExpenseSlips = false; }, true },
        { "billed needs Billed",
            [](SelectionOptions &o, SlipFacts &s) {
                s.billed = 1;
                o.billed = false;
            },
            false },
        { "unbilled needs Not Billed",
            [](SelectionOptions &o, SlipFacts &) { o.notBilled = false; }, false },
        { "billed ignores Not Billed",
            [](SelectionOptions &o, SlipFacts &s) {
                s.billed = 1;
                o.notBilled = false;
            },
            true },
        { "pending needs Pending", [](SelectionOptions &o, SlipFacts &) { o.pending = false; },
            false },
        { "done needs Completed",
            [](SelectionOptions &o, SlipFacts &s) {
                s.done = 1;
                o.completed = false;
            },
            false },
        { "done ignores Pending",
            [](SelectionOptions &o, SlipFacts &s) {
                s.done = 1;
                o.pending = false;
            },
            true },
        { "begins before the start",
            [](SelectionOptions &, SlipFacts &s) { s.dateBegin = kToday - 3651; }, false },
        { "begins on the start",
            [](SelectionOptions &, SlipFacts &s) { s.dateBegin = kToday - 3650; }, true },
        { "ends on the end", [](SelectionOptions &, SlipFacts &s) { s.dateEnd = kToday + 3650; },
            true },
        { "ends after the end",
            [](SelectionOptions &, SlipFacts &s) { s.dateEnd = kToday + 3651; }, false },
        { "no start date", [](SelectionOptions &, SlipFacts &s) { s.dateBegin.reset(); }, false },
        { "no end date", [](SelectionOptions &, SlipFacts &s) { s.dateEnd.reset(); }, true },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        SelectionOptions o = everything();
        SlipFacts s = plainSlip();
        c.change(o, s);
        EXPECT_EQ(SelectionRules(o).qualifiesSlip(s), c.qualifies);
    }
}

TEST(SelectionRules, BlankPickersSpanTenYearsEitherSideOfToday)
{
    const struct
    {
        std::optional<long long> from, to;
        long long start, end;
    } cases[] = {
        { std::nullopt, std::nullopt, kToday - 3650, kToday + 3650 },
        { kToday - 5, std::nullopt, kToday - 5, kToday + 3650 },
        { std::nullopt, kToday + 7, kToday - 3650, kToday + 7 },
        { kToday - 1, kToday + 1, kToday - 1, kToday + 1 },
    };
    for (const auto &c : cases) {
        const reports::DayRange r = reports::slipDateRange(c.from, c.to, kToday);
        EXPECT_EQ(r.start, c.start);
        EXPECT_EQ(r.end, c.end);
    }
    SelectionOptions o = everything();
    const reports::DayRange r = reports::slipDateRange(std::nullopt, std::nullopt, kToday);
    o.slipStart = r.start;
    o.slipEnd = r.end;
    const SelectionRules rules(o);
    EXPECT_TRUE(rules.withinDateRange(kToday - 3650));
    EXPECT_TRUE(rules.withinDateRange(kToday + 3650));
    EXPECT_FALSE(rules.withinDateRange(kToday - 3651));
    EXPECT_FALSE(rules.withinDateRange(kToday + 3651));
    EXPECT_FALSE(rules.withinDateRange(std::nullopt));
}
