// The proforma billing report read back from the report file: the clients it lists against the
// billing run's print half for the same parameters (and the places where it differs on purpose),
// the slip lines with their missing projects and activities, the totals, an empty range, and
// page breaks.
#include <random>

#include "reports/proforma_document.h"
#include "statement_support.h"
#include <gtest/gtest.h>

using namespace statement_test;

namespace {

struct ProformaRun
{
    Printed printed;
    std::vector<QString> listed;
};

ProformaRun runProforma(StatementData &d, const billing::RunParameters &p)
{
    reports::ProformaDocument document(d.tables(), p, "Liberation Serif", d.clock);
    report::QtTextMeasurer measurer;
    report::TReportFiler filer(measurer);
    filer.FileName = d.reportFile();
    document.attach(filer);
    filer.RunReport();
    EXPECT_FALSE(filer.Aborted());
    return { readReport(d.reportFile()), document.listed() };
}

// The client names printed in bold at the left edge, in print order.
std::vector<QString> printedClients(const Printed &p, const std::vector<QString> &names)
{
    std::vector<QString> out;
    for (const Text &t : p.texts)
        for (const QString &n : names)
            if (t.code == 24 && std::abs(t.x - 0.55) < 1e-3 && t.text == n.toStdString())
                out.push_back(n);
    return out;
}

std::vector<QString> planned(StatementData &d, const billing::RunParameters &p)
{
    d.clients.first();
    const billing::BillingPlan plan =
        billing::planRun(p, d.today(), d.clients, d.slips, d.invoices, d.track);
    std::vector<QString> out;
    for (const billing::PrintedStatement &s : plan.statements)
        out.push_back(s.clientName);
    return out;
}

// The texts on the row of the first text equal to s.
std::vector<std::string> rowOf(const Printed &p, const std::string &s)
{
    std::vector<std::string> out;
    const auto all = p.all(s);
    if (all.empty())
        return out;
    for (const Text &t : p.row(all.front()))
        out.push_back(t.text);
    return out;
}

TEST(ProformaReport, ListsTheClientsOfTheBillingRunExceptWhereItDiffersOnPurpose)
{
    StatementData d;
    d.setSetup({ { "PRINTPREVB", "Y" } });
    d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"));
    const auto client = [&d](const char *number, const char *name, int cycle = 1) {
        d.addClient(QLatin1String(number), QLatin1String(name), { { "CYCLE", cycle } });
    };
    const auto slip = [&d](const char *number, double total, int done = 1) {
        d.addSlip({ .client = QLatin1String(number), .total = total, .done = done });
    };
    client("A", "Ash"); // exactly the minimum: billed, not listed
    slip("A", 5.00);
    client("B", "Beech"); // a cent above: both
    slip("B", 5.01);
    client("C", "Cherry"); // 0.00 with a previous balance: billed, not listed
    slip("C", 0);
    d.addInvoice(QStringLiteral("C"), 1, 100, 0);
    client("D", "Damson"); // a negative total with a previous balance: billed, not listed
    slip("D", 20);
    slip("D", -30);
    d.addInvoice(QStringLiteral("D"), 2, 50, 0);
    client("E", "Elm"); // below the minimum, over it with the previous balance: both
    slip("E", 3);
    d.addInvoice(QStringLiteral("E"), 3, 10, 0);
    client("F", "Fir"); // a previous balance and no billable slip: neither
    slip("F", 80, 0);
    d.addInvoice(QStringLiteral("F"), 4, 30, 0);
    client("G", "Gum", 3); // outside the cycles: neither
    slip("G", 40);
    client("H", "Hazel"); // the range's last client; Hazelnut is after it
    slip("H", 50);
    client("I", "Hazelnut");
    slip("I", 50);
    // Ordinary clients (named before the range's end), far from every edge: the two must agree
    // on them.
    std::mt19937_64 rng(7);
    for (int i = 0; i < 40; ++i) {
        const QString number = QStringLiteral("R%1").arg(i);
        d.addClient(number, QStringLiteral("Aspen %1").arg(i, 2, 10, QLatin1Char('0')),
            { { "CYCLE", int(1 + rng() % 3) } });
        for (int n = int(rng() % 4); n > 0; --n)
            d.addSlip({ .client = number,
                .total = double(501 + rng() % 50000) / 100,
                .done = int(rng() % 4 != 0) });
    }

    billing::RunParameters p = d.parameters();
    p.endName = QStringLiteral("Hazel");
    p.highCycle = 2;
    p.minimumBill = 5;
    p.printPreviousBalance = true;

    const std::vector<QString> onPurpose = { QStringLiteral("Ash"), QStringLiteral("Cherry"),
        QStringLiteral("Damson") };
    std::vector<QString> billed = planned(d, p);
    for (const QString &name : onPurpose)
        EXPECT_NE(std::find(billed.begin(), billed.end(), name), billed.end())
            << name.toStdString();
    std::vector<QString> expected;
    for (const QString &name : billed)
        if (std::find(onPurpose.begin(), onPurpose.end(), name) == onPurpose.end())
            expected.push_back(name);
    EXPECT_GT(expected.size(), 20u);

    const ProformaRun run = runProforma(d, p);
    EXPECT_EQ(run.listed, expected);
    EXPECT_EQ(printedClients(run.printed, billed), expected);

    // "Previous Balance Accounts" changes the billing run, not the proforma.
    billing::RunParameters previousOnly = p;
    previousOnly.previousBalanceOnly = true;
    EXPECT_EQ(planned(d, previousOnly),
        (std::vector<QString>{ QStringLiteral("Cherry"), QStringLiteral("Damson"),
            QStringLiteral("Elm"), QStringLiteral("Fir") }));
    EXPECT_EQ(runProforma(d, previousOnly).listed, expected);
}

TEST(ProformaReport, SlipLinesAndTotals)
{
    StatementData d;
    d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"));
    d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"));
    d.addClient(QStringLiteral("1002"), QStringLiteral("Birch Ltd"));
    d.addProject(QStringLiteral("1001"), QStringLiteral("P1"), QStringLiteral("Project One"));
    d.addProject(QStringLiteral("1002"), QStringLiteral("GONE"), QStringLiteral("Not Alder's"));
    d.addSlip({ .client = QStringLiteral("1001"),
        .project = QStringLiteral("P1"),
        .date = QDate(2026, 11, 2),
        .hours = 1.25,
        .rate = 80,
        .total = 100,
        .tax = 1.5,
        .taxable = true });
    d.addSlip({ .client = QStringLiteral("1001"),
        .date = QDate(2026, 11, 3),
        .hours = 0.5,
        .total = 50,
        .tax = 0.35 });
    d.addSlip({ .client = QStringLiteral("1001"),
        .activity = QStringLiteral("NOSUCH"),
        .project = QStringLiteral("GONE"),
        .date = QDate(2026, 11, 4),
        .total = 25 });
    d.addSlip({ .client = QStringLiteral("1001"), .total = 999, .done = 0 }); // not billable
    d.addSlip({ .client = QStringLiteral("1002"), .total = 10 });

    billing::RunParameters p = d.parameters();
    p.minimumBill = 5;
    const Printed printed = runProforma(d, p).printed;
    ASSERT_EQ(printed.pages, 1);

    // Slip #, activity, project (the code of a missing one, "N/A" for none), rate, hours, amount;
    // below it staff, start date and the slip's tax, taxable or not.
    EXPECT_EQ(rowOf(printed, "Project One"),
        (std::vector<std::string>{
            "1", "Consulting", "Project One", "  $80.00", "1.25", " $100.00" }));
    EXPECT_EQ(rowOf(printed, "N/A"),
        (std::vector<std::string>{ "2", "Consulting", "N/A", " $100.00", "0.5", "  $50.00" }));
    EXPECT_EQ(rowOf(printed, "NOSUCH"),
        (std::vector<std::string>{ "3", "NOSUCH", "GONE", " $100.00", "1", "  $25.00" }));
    EXPECT_EQ(rowOf(printed, "11/02/2026"), (std::vector<std::string>{ "11/02/2026", "   $1.50" }));
    EXPECT_EQ(rowOf(printed, "11/03/2026"), (std::vector<std::string>{ "11/03/2026", "   $0.35" }));
    EXPECT_EQ(printed.count(" $999.00"), 0);

    // The client total has the taxable slip's tax only; the report total sums the client totals.
    EXPECT_EQ(rowOf(printed, "Total Billings for Alder & Sons"),
        (std::vector<std::string>{ "Total Billings for Alder & Sons", " $176.50" }));
    EXPECT_EQ(rowOf(printed, "Total Billings for Birch Ltd"),
        (std::vector<std::string>{ "Total Billings for Birch Ltd", "  $10.00" }));
    EXPECT_EQ(
        rowOf(printed, "Report Total"), (std::vector<std::string>{ "Report Total", " $186.50" }));
}

TEST(ProformaReport, HeadingsOnEveryPage)
{
    struct Case
    {
        const char *name;
        int slips;
        const char *beginName; // a range without clients when after every name
        int pages;
        const char *reportTotal;
    };
    const Case cases[] = {
        { "no listed client", 3, "ZZZ", 1, "   $0.00" },
        { "one page", 3, "", 1, "  $30.00" },
        { "many pages", 150, "", 7, "$1,500.00" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StatementData d;
        d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"));
        d.addClient(QStringLiteral("1001"), QStringLiteral("Alder"));
        for (int i = 0; i < c.slips; ++i)
            d.addSlip({ .client = QStringLiteral("1001"), .total = 10 });
        billing::RunParameters p = d.parameters();
        p.beginName = QLatin1String(c.beginName);
        p.endName = QStringLiteral("ZZZZ");
        const Printed printed = runProforma(d, p).printed;
        EXPECT_EQ(printed.pages, c.pages);
        for (int page = 1; page <= printed.pages; ++page) {
            SCOPED_TRACE(page);
            int title = 0, heading = 0, footer = 0;
            for (const Text &t : printed.on(page)) {
                title += t.text == "Proforma Billing Report";
                heading += t.text == "Slip #" || t.text == "Staff";
                footer += t.text == "Page " + std::to_string(page) || t.text == "Date 12/10/2026";
            }
            EXPECT_EQ(title, 1);
            EXPECT_EQ(heading, 2);
            EXPECT_EQ(footer, 2);
            // Nothing printed into the heading or below the bottom margin.
            for (const Text &t : printed.on(page))
                if (t.y > 1.8 && t.text.rfind("Page", 0) != 0 && t.text.rfind("Date", 0) != 0) {
                    EXPECT_LT(t.y, 11 - 1 + 0.05) << t.text;
                }
        }
        // Every slip once, the report total once on the last page.
        EXPECT_EQ(printed.count("  $10.00"), c.beginName[0] ? 0 : c.slips);
        const auto total = printed.all("Report Total");
        ASSERT_EQ(total.size(), 1u);
        EXPECT_EQ(total[0].page, c.pages);
        EXPECT_EQ(rowOf(printed, "Report Total"),
            (std::vector<std::string>{ "Report Total", c.reportTotal }));
    }
}

} // namespace
