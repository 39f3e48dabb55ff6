// Billing statement runs read back from the report file: page breaks for long descriptions, the
// slip orders with their subtotals, missing activities and projects, and a generated run whose
// every statement must add up and match what the run recorded for finalization.
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "statement_support.h"

using namespace statement_test;
using platform::Cents;

namespace {

constexpr double kEps = 1e-3;
constexpr double kDetailBottom = 9.5 - 0.25;

// "<prefix>1\r\n<prefix>2 ..." : n lines, each short enough never to wrap.
QString numberedLines(const QString &prefix, int n)
{
    QStringList lines;
    for (int i = 1; i <= n; ++i)
        lines << prefix + QString::number(i);
    return lines.join(QStringLiteral("\r\n"));
}

// The memo lines printed in the description column, page by page, in print order.
std::vector<Text> memoLines(const Printed &p)
{
    std::vector<Text> out;
    for (const Text &t : p.texts)
        if (t.code == 24 && std::abs(t.x - 1.45) < kEps)
            out.push_back(t);
    return out;
}

int pageOf(const Printed &p, const std::string &s)
{
    const auto all = p.all(s);
    return all.size() == 1 ? all.front().page : -1;
}

TEST(StatementRun, LongDescriptionsBreakThePageAboveTheTotals)
{
    struct Case
    {
        const char *name;
        int first, second; // lines of the two slips' descriptions
        int pages;
        int secondStartsOn; // page of the second slip's date row
    };
    const std::vector<Case> cases = {
        { "both fit", 10, 10, 1, 1 },
        { "second moves to the next page", 20, 20, 2, 2 },
        { "second longer than a page", 5, 50, 3, 2 },
        { "first longer than a page", 80, 3, 3, 3 },
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        StatementData d;
        d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"), 5);
        d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"));
        d.addSlip({ .client = QStringLiteral("1001"), .date = QDate(2026, 11, 1), .total = 100,
            .description = numberedLines(QStringLiteral("A"), k.first) });
        d.addSlip({ .client = QStringLiteral("1001"), .date = QDate(2026, 11, 2), .total = 50,
            .tax = 2.5, .taxable = true,
            .description = numberedLines(QStringLiteral("B"), k.second) });
        const Printed p = d.runBilling();
        EXPECT_EQ(p.pages, k.pages);

        // Every line printed once, in order, inside the detail area of its page.
        const std::vector<Text> lines = memoLines(p);
        ASSERT_EQ(int(lines.size()), k.first + k.second);
        for (int i = 0; i < int(lines.size()); ++i) {
            const std::string expected = i < k.first
                ? "A" + std::to_string(i + 1)
                : "B" + std::to_string(i - k.first + 1);
            EXPECT_EQ(lines[std::size_t(i)].text, expected);
            EXPECT_LE(lines[std::size_t(i)].y, kDetailBottom);
            EXPECT_GT(lines[std::size_t(i)].y, 3.3);
            if (i > 0 && lines[std::size_t(i)].page == lines[std::size_t(i - 1)].page) {
                EXPECT_GT(lines[std::size_t(i)].y, lines[std::size_t(i - 1)].y);
            }
        }
        EXPECT_EQ(pageOf(p, "11/01/2026"), 1);
        EXPECT_EQ(pageOf(p, "11/02/2026"), k.secondStartsOn);
        // The tax line stays above the totals too.
        const auto tax = p.all("5.00% Tax on $50.00");
        ASSERT_EQ(tax.size(), 1u);
        EXPECT_LE(tax[0].y, kDetailBottom);

        // Every page has its heading; only the last has the totals, once.
        EXPECT_EQ(p.count("Professional Services"), k.pages);
        EXPECT_EQ(p.count("Alder & Sons"), k.pages);
        ASSERT_EQ(p.count("Total Due"), 1);
        EXPECT_EQ(pageOf(p, "Total Due"), k.pages);
        EXPECT_EQ(p.count("Thank you for your business."), 1);
    }
}

TEST(StatementRun, SlipOrders)
{
    struct Case
    {
        const char *sort;
        std::vector<std::string> order;
    };
    const std::vector<Case> cases = {
        { "By Entry Order", { "s1", "s2", "s3", "s4" } },
        { "By Date Order", { "s3", "s4", "s2", "s1" } },
        { "By Project", { "s2", "s3", "s1", "s4" } },
        { "By Activity", { "s1", "s3", "s2", "s4" } },
        { "By Project & Activity", { "s3", "s2", "s1", "s4" } },
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.sort);
        StatementData d;
        d.setSetup({ { "INVSORT", k.sort } });
        d.addActivity(QStringLiteral("A1"), QStringLiteral("Research"));
        d.addActivity(QStringLiteral("A2"), QStringLiteral("Drafting"));
        d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"));
        // Another client's slip in between, and a billed one of this client.
        d.addClient(QStringLiteral("1000"), QStringLiteral("Zeta"));
        const QString c = QStringLiteral("1001");
        d.addSlip({ .client = c, .activity = QStringLiteral("A1"), .project = QStringLiteral("P2"),
            .date = QDate(2026, 11, 4), .description = QStringLiteral("s1") });
        d.addSlip({ .client = QStringLiteral("1000"), .description = QStringLiteral("other") });
        d.addSlip({ .client = c, .activity = QStringLiteral("A2"), .project = QStringLiteral("P1"),
            .date = QDate(2026, 11, 3), .description = QStringLiteral("s2") });
        d.addSlip({ .client = c, .activity = QStringLiteral("A1"), .project = QStringLiteral("P1"),
            .date = QDate(2026, 11, 1), .description = QStringLiteral("s3") });
        d.addSlip({ .client = c, .activity = QStringLiteral("A1"), .project = QStringLiteral("P1"),
            .date = QDate(2026, 11, 1), .description = QStringLiteral("billed"), .billed = 1 });
        d.addSlip({ .client = c, .activity = QStringLiteral("A2"), .project = QStringLiteral("P2"),
            .date = QDate(2026, 11, 2), .description = QStringLiteral("s4") });
        auto p = d.parameters();
        p.endName = QStringLiteral("Alder & Sons");
        billing::BillingPlan plan;
        const Printed printed = d.runBilling(p, &plan);
        std::vector<std::string> order;
        for (const Text &t : memoLines(printed))
            order.push_back(t.text);
        EXPECT_EQ(order, k.order);
        ASSERT_EQ(plan.statements.size(), 1u);
        // Slips 2 and 5 are the other client's and the billed one.
        const std::map<int, std::string> names = { { 1, "s1" }, { 3, "s2" }, { 4, "s3" },
            { 6, "s4" } };
        std::vector<std::string> planned;
        for (const auto &s : plan.statements[0].slips)
            planned.push_back(names.at(int(s.number)));
        EXPECT_EQ(planned, k.order) << "the plan lists the slips as printed";
    }
}

// The rows of the detail area, top to bottom: description (or subtotal label) and amount.
std::vector<std::pair<std::string, std::string>> detailRows(const Printed &p)
{
    std::vector<std::pair<std::string, std::string>> rows;
    for (const Text &t : p.texts) {
        if (t.code != 25 || std::abs(t.x - 7.89) > kEps)
            continue;
        std::string label;
        for (const Text &u : p.row(t))
            if (u.code == 24 && u.x > 1.4 && u.x < 1.5)
                label = u.text;
        rows.emplace_back(label, t.text);
    }
    return rows;
}

TEST(StatementRun, ProjectAndActivitySubtotalsAndMissingCodes)
{
    StatementData d;
    d.setSetup({ { "SUBPROJ", "Y" }, { "SUBACT", "Y" } });
    d.addActivity(QStringLiteral("A1"), QStringLiteral("Research"), 10);
    d.addActivity(QStringLiteral("A2"), QStringLiteral("Drafting"));
    d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"));
    d.addClient(QStringLiteral("1000"), QStringLiteral("Zeta"));
    d.addProject(QStringLiteral("1001"), QStringLiteral("P1"), QStringLiteral("Lease Review"));
    // The only project P2 on file is another client's.
    d.addProject(QStringLiteral("1000"), QStringLiteral("P2"), QStringLiteral("Zeta's Project"));
    const QString c = QStringLiteral("1001");
    d.addSlip({ .client = c, .activity = QStringLiteral("A1"), .project = QStringLiteral("P1"),
        .total = 100, .tax = 10, .taxable = true });
    d.addSlip({ .client = c, .activity = QStringLiteral("A2"), .project = QStringLiteral("P1"),
        .total = 40 });
    d.addSlip({ .client = c, .activity = QStringLiteral("A2"), .project = QStringLiteral("P1"),
        .total = 60 });
    d.addSlip({ .client = c, .activity = QStringLiteral("GONE"), .project = QStringLiteral("P2"),
        .total = 25, .tax = 2, .taxable = true });
    auto params = d.parameters();
    params.endName = QStringLiteral("Alder & Sons");
    const Printed p = d.runBilling(params);
    const std::vector<std::pair<std::string, std::string>> expected = {
        { "Research", "$100.00" },
        { "10.00% Tax on $100.00", "$10.00" },
        { "Research Subtotal:", "$110.00" },
        { "Drafting", "$40.00" },
        { "Drafting", "$60.00" },
        { "Drafting Subtotal:", "$100.00" },
        { "Lease Review Subtotal:", "$210.00" },
        { "GONE", "$25.00" },
        { "Tax on $25.00", "$2.00" },
        { "GONE Subtotal:", "$27.00" },
        { "P2 Subtotal:", "$27.00" },
    };
    EXPECT_EQ(detailRows(p), expected);
    EXPECT_EQ(p.count("Zeta's Project Subtotal:"), 0);
    // Subtotal hours are printed in the hours column.
    const auto lease = p.all("Lease Review Subtotal:");
    ASSERT_EQ(lease.size(), 1u);
    bool hours = false;
    for (const Text &t : p.row(lease[0]))
        hours |= t.text == "3.00";
    EXPECT_TRUE(hours);
}

// A generated run: many clients, slips of every kind, previous balances on both sides, long
// descriptions and subtotals. Every statement is checked from the report file alone.
TEST(StatementRun, EveryStatementOfAGeneratedRunAddsUp)
{
    StatementData d;
    d.setSetup({ { "SUBPROJ", "Y" }, { "SUBACT", "Y" } });
    d.setNextInvoice(500);
    d.addActivity(QStringLiteral("A1"), QStringLiteral("Research"), 8.25);
    d.addActivity(QStringLiteral("A2"), QStringLiteral("Drafting"));
    d.addActivity(QStringLiteral("A3"), QStringLiteral("Court"), 5);
    std::mt19937 random(20261210);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const QString acts[] = { QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3") };
    const QString projects[] = { QStringLiteral("P1"), QStringLiteral("P2") };
    for (int c = 0; c < 14; ++c) {
        const QString number = QString::number(2000 + c);
        d.addClient(number, QStringLiteral("Client %1").arg(QChar(u'A' + c)));
        d.addProject(number, QStringLiteral("P1"), QStringLiteral("General"));
        const int slips = pick(9);
        for (int s = 0; s < slips; ++s) {
            const double total = double(pick(200000) - 10000) / 100; // credits too
            const bool taxable = pick(3) == 0;
            const double tax = taxable ? double(pick(5) == 0 ? 1 : pick(3000)) / 100 : 0.37;
            d.addSlip({ .client = number, .activity = acts[pick(3)], .project = projects[pick(2)],
                .date = QDate(2026, 11, 1 + pick(28)), .hours = double(pick(1000)) / 100,
                .total = total, .tax = tax, .taxable = taxable,
                .description = pick(6) == 0 ? numberedLines(QStringLiteral("L"), 5 + pick(60))
                                            : QString(),
                .done = pick(8) == 0 ? 0 : 1, .billed = pick(10) == 0 ? 1 : 0 });
        }
        if (pick(2) == 0) // owing or in credit
            d.addInvoice(number, 100 + c, 300, double(30000 + pick(20000) - 10000) / 100);
    }
    billing::BillingPlan plan;
    const Printed p = d.runBilling(&plan);
    ASSERT_GE(plan.statements.size(), 8u);
    EXPECT_EQ(d.nextInvoice(), 500);

    // The pages of each statement, by the number printed on them.
    std::map<std::int64_t, std::vector<int>> pagesOf;
    for (const Text &label : p.all("Billing Statement:"))
        for (const Text &t : p.row(label))
            if (t.code == 24 && t.x > 6)
                pagesOf[std::stoll(t.text)].push_back(label.page);
    ASSERT_EQ(pagesOf.size(), plan.statements.size());

    std::int64_t expectedNumber = 500;
    for (const billing::PrintedStatement &s : plan.statements) {
        SCOPED_TRACE(s.clientName.toStdString());
        EXPECT_EQ(s.invoiceNumber, expectedNumber++);
        const std::vector<int> &pages = pagesOf[s.invoiceNumber];
        ASSERT_FALSE(pages.empty());
        Cents slipSum, activitySum, projectSum;
        int slipRows = 0;
        std::map<std::string, Cents> totals;
        int totalsPage = 0;
        for (int page : pages) {
            for (const Text &t : p.on(page)) {
                if (t.code != 25)
                    continue;
                if (std::abs(t.x - 7.89) < kEps && t.y < kDetailBottom + kEps) {
                    std::string label;
                    for (const Text &u : p.row(t))
                        if (u.code == 24 && u.x > 1.4 && u.x < 1.5)
                            label = u.text;
                    const Cents amount = moneyValue(t.text);
                    if (label.find("% Tax on") != std::string::npos)
                        continue;
                    if (label == "Research Subtotal:" || label == "Drafting Subtotal:"
                        || label == "Court Subtotal:")
                        activitySum += amount;
                    else if (label == "General Subtotal:" || label == "P2 Subtotal:")
                        projectSum += amount;
                    else {
                        slipSum += amount;
                        ++slipRows;
                    }
                } else if (std::abs(t.x - 6.4) < kEps) {
                    totalsPage = page;
                    for (const Text &u : p.row(t))
                        if (u.code == 25 && std::abs(u.x - 7.95) < kEps)
                            totals[t.text] = moneyValue(u.text);
                }
            }
        }
        ASSERT_EQ(totals.count("Total Due"), 1u);
        EXPECT_EQ(slipRows, int(s.slips.size()));
        EXPECT_EQ(slipSum, s.subtotal());
        if (totals.count("Subtotal")) {
            EXPECT_EQ(totals["Subtotal"], slipSum);
        }
        const Cents printedTax = totals.count("Tax") ? totals["Tax"] : Cents();
        const Cents unprintedTax = totals.count("Tax") ? Cents() : s.tax();
        EXPECT_LE(unprintedTax, Cents::fromCents(1));
        EXPECT_EQ(totals.count("Previous Balance") ? totals["Previous Balance"] : Cents(),
            s.previousBalance);
        EXPECT_EQ(slipSum + s.previousBalance + printedTax + unprintedTax, totals["Total Due"]);
        EXPECT_EQ(totals["Total Due"] - s.previousBalance, s.invoiceTotal());
        // Every slip lies in one activity group and one project group.
        EXPECT_EQ(activitySum, s.invoiceTotal());
        EXPECT_EQ(projectSum, s.invoiceTotal());
        EXPECT_EQ(totalsPage, pages.back()) << "the totals are on the statement's last page";
    }
    EXPECT_EQ(p.count("Total Due"), int(plan.statements.size()));
}

} // namespace
