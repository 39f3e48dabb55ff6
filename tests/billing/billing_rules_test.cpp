// The billing run's rules over real tables made from the templates: date boxes, due days, the
// client range, qualification at the minimum bill, previous balances and statement numbering.
#include <chrono>

#include <QDate>

#include "billing/billing_rules.h"
#include "billing_data.h"
#include "platform/clock.h"
#include <gtest/gtest.h>

using billing::Cents;
using namespace std::chrono;

namespace {

const QDate kToday(2026, 12, 10);

platform::ManualClock todayClock()
{
    return platform::ManualClock(year_month_day(year(2026), month(12), day(10)));
}

dbf::Date dbfDate(const QDate &d)
{
    return dbf::Date(d.year(), d.month(), d.day());
}

TEST(SlipDates, BoxesBecomeARangeAroundToday)
{
    const platform::ManualClock clock = todayClock();
    const struct
    {
        const char *from, *to;
        bool ok;
        QDate expectFrom, expectTo;
        bool toGiven;
        const char *error;
    } cases[] = {
        { "  /  /  ", "  /  /  ", true, kToday.addDays(-3650), kToday.addDays(3650), false, "" },
        { "", "", true, kToday.addDays(-3650), kToday.addDays(3650), false, "" },
        { "12/31/97", "01/05/26", true, QDate(1997, 12, 31), QDate(2026, 1, 5), true, "" },
        { "01/01/50", "12/31/49", true, QDate(1950, 1, 1), QDate(2049, 12, 31), true, "" },
        { "  /  /  ", "11/30/26", true, kToday.addDays(-3650), QDate(2026, 11, 30), true, "" },
        { "02/30/26", "  /  /  ", false, {}, {}, false, "02/30/26 is not a valid date." },
        { "  /  /  ", "13/01/26", false, {}, {}, false, "13/01/26 is not a valid date." },
        { "1 /  /  ", "  /  /  ", false, {}, {}, false, "1 /  / is not a valid date." },
        { "02/29/25", "  /  /  ", false, {}, {}, false, "02/29/25 is not a valid date." },
        { "02/29/24", "  /  /  ", true, QDate(2024, 2, 29), kToday.addDays(3650), false, "" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.from) + " | " + c.to);
        QString error;
        const auto r = billing::resolveSlipDates(
            QString::fromLatin1(c.from), QString::fromLatin1(c.to), clock, &error);
        ASSERT_EQ(r.has_value(), c.ok);
        if (c.ok) {
            EXPECT_EQ(r->from, c.expectFrom);
            EXPECT_EQ(r->to, c.expectTo);
            EXPECT_EQ(r->toGiven, c.toGiven);
        } else {
            EXPECT_EQ(error, QString::fromLatin1(c.error));
        }
    }
}

TEST(DueDays, TrailingDigitsOfTheTrimmedTerms)
{
    const struct
    {
        const char *terms;
        int days;
    } cases[] = {
        { "Net 30", 30 }, { "Net 120", 120 }, { "Net 7", 7 }, { "Net 10   ", 10 },
        { "Due on Receipt", 0 }, { "Due On Receipt", 0 }, { "", 0 }, { "30 days", 0 },
        { "2/10 Net 30", 30 }, { "Net 99999999999999999", 99999 }, // a due date stays a real date
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.terms);
        EXPECT_EQ(billing::dueDays(QString::fromLatin1(c.terms)), c.days);
        EXPECT_EQ(billing::dueDate(kToday, QString::fromLatin1(c.terms)), kToday.addDays(c.days));
    }
}

// One client "Client" (000001) with the given slips and invoices, qualified on its own.
struct QualifyCase
{
    const char *name;
    std::vector<SlipRow> slips;
    std::vector<std::pair<double, double>> invoices; // total, paid
    int minimum = 5;
    bool printPrevious = false;
    bool previousOnly = false;
    bool qualifies = false;
    bool sawBillable = false;
    std::int64_t billable = 0; // cents
    std::int64_t previous = 0; // cents
};

TEST(Qualification, MinimumBillPreviousBalanceAndBillableSlips)
{
    const dbf::Date day = dbfDate(kToday.addDays(-20));
    auto slip = [&](double total) {
        SlipRow s;
        s.client = "000001";
        s.total = total;
        s.date = day;
        return s;
    };
    auto undone = slip(10);
    undone.done = 0;
    auto billed = slip(10);
    billed.billed = 1;
    billed.invoice = 7;
    auto undated = slip(10);
    undated.date = {};
    auto oldest = slip(2.5);
    oldest.date = dbfDate(kToday.addDays(-3650));
    auto tooOld = slip(100);
    tooOld.date = dbfDate(kToday.addDays(-3651));
    auto latest = slip(2.5);
    latest.date = dbfDate(kToday.addDays(3650));
    auto tooLate = slip(100);
    tooLate.date = dbfDate(kToday.addDays(3651));
    auto otherClient = slip(100);
    otherClient.client = "000002";
    auto taxed = slip(4.5);
    taxed.taxable = "Y";
    taxed.tax = 1.5; // tax is not part of the billable amount

    const QualifyCase cases[] = {
        { "4.99 below the minimum", { slip(4.99) }, {}, 5, false, false, false, true, 499, 0 },
        { "exactly 5.00", { slip(5.00) }, {}, 5, false, false, true, true, 500, 0 },
        { "0.01 + 4.02 + 0.97 is 5.00", { slip(0.01), slip(4.02), slip(0.97) }, {}, 5, false, false,
            true, true, 500, 0 },
        { "minimum 0 and a 0.00 slip", { slip(0) }, {}, 0, false, false, true, true, 0, 0 },
        { "minimum 0 and no slip", {}, {}, 0, false, false, false, false, 0, 0 },
        { "unfinished, billed, undated slips never count", { undone, billed, undated }, {}, 0,
            false, false, false, false, 0, 0 },
        { "ten years either side counts, a day more does not",
            { oldest, tooOld, latest, tooLate, otherClient }, {}, 5, false, false, true, true, 500,
            0 },
        { "tax is not billable", { taxed }, {}, 5, false, false, false, true, 450, 0 },
        { "previous balance added when printed", { slip(2) }, { { 4, 1 } }, 5, true, false, true,
            true, 200, 300 },
        { "previous balance ignored when not printed", { slip(2) }, { { 4, 1 } }, 5, false, false,
            false, true, 200, 0 },
        { "credit balance lowers the sum", { slip(6) }, { { 10, 12 } }, 5, true, false, false, true,
            600, -200 },
        { "previous balance alone needs a billable slip", {}, { { 50, 0 } }, 5, true, false, false,
            false, 0, 5000 },
        { "previous balance accounts: a balance qualifies", {}, { { 50, 0 } }, 5, true, true, true,
            false, 0, 5000 },
        { "previous balance accounts: paid up does not", { slip(80) }, { { 50, 50 } }, 5, true,
            true, false, true, 8000, 0 },
        { "previous balance accounts without PRINTPREVB: none", { slip(80) }, { { 50, 0 } }, 5,
            false, true, false, true, 8000, 0 },
    };
    for (const QualifyCase &c : cases) {
        SCOPED_TRACE(c.name);
        DatasetDir dir;
        {
            BillingRows rows(dir.path());
            rows.client("000001", "Client");
            rows.client("000002", "Other Client");
            for (const SlipRow &s : c.slips)
                rows.slip(s);
            double number = 1;
            for (const auto &[total, paid] : c.invoices)
                rows.invoice(number++, "000001", total, paid);
        }
        BillingDatasets data(dir.path());
        billing::RunParameters p = wideOpenRun(kToday);
        p.minimumBill = c.minimum;
        p.printPreviousBalance = c.printPrevious;
        p.previousBalanceOnly = c.previousOnly;
        billing::Selection selection(p, data.clients, data.slips, data.invoices);
        ASSERT_TRUE(data.clients.findKey({ QStringLiteral("Client") }));
        const billing::Qualification q = selection.qualify();
        EXPECT_EQ(q.qualifies, c.qualifies);
        EXPECT_EQ(q.sawBillable, c.sawBillable);
        EXPECT_EQ(q.billable.cents(), c.billable);
        EXPECT_EQ(q.previousBalance.cents(), c.previous);
        // The walk ends after the client's last slip: on another client's slip or at the end.
        EXPECT_TRUE(data.slips.eof() || data.slips.text(QStringLiteral("SL_CLIENT")) != "000001");
    }
}

TEST(ClientRange, EndTakesEveryClientOfThatNameAndCyclesFilter)
{
    DatasetDir dir;
    {
        BillingRows rows(dir.path());
        rows.client("000001", "Adams");
        rows.client("000002", "Baker");
        rows.client("000003", "Baker", 3);
        rows.client("000004", "Bakery");
        rows.client("000005", "Carter");
        rows.client("000006", "Baker", 2);
    }
    BillingDatasets data(dir.path());
    const struct
    {
        const char *begin, *end;
        const char *walked; // client numbers, last digits
    } cases[] = {
        { "Adams", "Baker", "1236" },
        { "Baker", "Baker", "236" },
        { "Baker", "Bakery", "2364" },
        { "", "Carter", "123645" },
        { "Bakery", "Baker", "" },
        { "Carter", "Zed", "5" },
        { "Dale", "Zed", "" },
        { "Adams", "Adams", "1" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.begin) + " .. " + c.end);
        billing::RunParameters p = wideOpenRun(kToday);
        p.beginName = QString::fromLatin1(c.begin);
        p.endName = QString::fromLatin1(c.end);
        billing::ClientWalk walk(p, data.clients);
        std::string walked;
        for (bool more = walk.first(); more; more = walk.next())
            walked += data.clients.text(QStringLiteral("NUMBER")).right(1).toStdString();
        EXPECT_EQ(walked, c.walked);
    }

    // Cycles 1..2 leave out the Baker of cycle 3 (and Bakery and Carter, who have no slips).
    {
        SlipRow s;
        s.total = 10;
        BillingRows rows(dir.path());
        for (const char *client : { "000001", "000002", "000003", "000006" }) {
            s.client = client;
            rows.slip(s);
        }
        billing::RunParameters p = wideOpenRun(kToday);
        p.highCycle = 2;
        const billing::BillingPlan plan = data.plan(p, kToday);
        QStringList planned;
        for (const auto &st : plan.statements)
            planned << st.clientNumber;
        EXPECT_EQ(planned, QStringList({ "000001", "000002", "000006" }));
    }
}

TEST(StatementNumbers, ConsecutiveFromTheCounterAndAboveEveryNumberOnFile)
{
    const struct
    {
        const char *name;
        double nextInv;
        double highestOnFile; // 0: no invoice
        std::int64_t first;
    } cases[] = {
        { "counter as stored", 120, 0, 120 },
        { "counter behind the invoices on file", 1, 41, 42 },
        { "counter ahead of the invoices", 500, 41, 500 },
        { "counter at the highest number", 41, 41, 42 },
        { "blank counter", 0, 0, 1 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DatasetDir dir;
        {
            BillingRows rows(dir.path());
            rows.setNextInvoice(c.nextInv);
            if (c.highestOnFile > 0) {
                rows.invoice(c.highestOnFile, "000009", 10, 10);
                rows.invoice(c.highestOnFile - 3, "000009", 10, 10);
            }
            rows.client("000001", "Adams");
            rows.client("000002", "Baker");
            SlipRow s;
            s.total = 20;
            s.client = "000001";
            rows.slip(s);
            s.client = "000002";
            rows.slip(s);
        }
        BillingDatasets data(dir.path());
        const billing::BillingPlan plan = data.plan(wideOpenRun(kToday), kToday);
        ASSERT_EQ(plan.statements.size(), 2u);
        EXPECT_EQ(plan.statements[0].invoiceNumber, c.first);
        EXPECT_EQ(plan.statements[1].invoiceNumber, c.first + 1);
        EXPECT_EQ(plan.highestNumber(), c.first + 1);
        // Printing stores nothing: the counter is as it was.
        data.track.refresh();
        EXPECT_EQ(data.track.value(QStringLiteral("NEXTINV")).toDouble(), c.nextInv);
    }
}

TEST(PrintedStatement, SumsInCentsAndTaxOfTaxableSlipsOnly)
{
    DatasetDir dir;
    {
        BillingRows rows(dir.path());
        rows.client("000001", "Adams");
        SlipRow s;
        s.client = "000001";
        s.total = 100;
        s.taxable = "Y";
        s.tax = 1.50;
        s.project = "ALPHA";
        s.hours = 2.25;
        rows.slip(s);
        s.taxable = "N";
        s.tax = 0.70; // stored, not taxable: not on the invoice
        s.total = 0.1;
        rows.slip(s);
        s.total = 0.2;
        s.tax = 0;
        rows.slip(s);
    }
    BillingDatasets data(dir.path());
    const billing::BillingPlan plan = data.plan(wideOpenRun(kToday), kToday);
    ASSERT_EQ(plan.statements.size(), 1u);
    const billing::PrintedStatement &st = plan.statements[0];
    ASSERT_EQ(st.slips.size(), 3u);
    EXPECT_EQ(st.clientName, QStringLiteral("Adams"));
    EXPECT_EQ(st.subtotal().cents(), 10030); // 100 + 0.1 + 0.2 exactly
    EXPECT_EQ(st.tax().cents(), 150);
    EXPECT_EQ(st.invoiceTotal().cents(), 10180);
    EXPECT_EQ(st.slips[0].project, QStringLiteral("ALPHA"));
    EXPECT_EQ(st.slips[0].hours, 2.25);
    EXPECT_TRUE(st.slips[0].taxable);
    EXPECT_EQ(st.slips[1].taxAmount.cents(), 70);
    EXPECT_FALSE(st.slips[1].taxable);
    EXPECT_NE(st.slips[0].recNo, st.slips[1].recNo);
}

} // namespace
