// The billing statement's layout read back from the report file: columns with their switches,
// the totals area, the address and PO blocks, terms, numbering and the test statement.
#include <gtest/gtest.h>

#include "statement_support.h"

using namespace statement_test;
using platform::Cents;

namespace {

constexpr double kEps = 1e-3;

const Text *find(const std::vector<Text> &texts, const std::string &s)
{
    for (const Text &t : texts)
        if (t.text == s)
            return &t;
    return nullptr;
}

std::vector<std::string> words(const std::vector<Text> &texts)
{
    std::vector<std::string> out;
    for (const Text &t : texts)
        out.push_back(t.text);
    return out;
}

TEST(StatementLayout, ColumnsFollowTheHoursAndRateSwitches)
{
    struct Case
    {
        bool hours, rate;
    };
    for (const Case c : { Case{ true, true }, Case{ false, false }, Case{ true, false },
             Case{ false, true } }) {
        SCOPED_TRACE(testing::Message() << "hours " << c.hours << " rate " << c.rate);
        StatementData d;
        d.setSetup({ { "PRINTHOURS", c.hours ? "Y" : "N" }, { "PRINTRATE", c.rate ? "Y" : "N" } });
        d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"));
        d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"));
        d.addSlip({ .client = QStringLiteral("1001"), .hours = 2, .rate = 125, .total = 250 });
        const Printed p = d.runBilling();
        const double H = c.hours ? 0 : 0.9;
        const double R = c.rate ? 0 : 0.9;

        // Detail row: date centred in 0.5..1.4, description from 1.4 + margin, amount cell
        // from 7.09 - R, 0.9 + R / 2 wide, text 0.10 inside its right edge.
        const Text *date = find(p.texts, "11/20/2026");
        ASSERT_TRUE(date);
        EXPECT_EQ(date->code, 23);
        EXPECT_NEAR(date->x, 0.95, kEps);
        const Text *desc = find(p.texts, "Consulting");
        ASSERT_TRUE(desc);
        EXPECT_NEAR(desc->x, 1.46, kEps);
        EXPECT_NEAR(desc->y, date->y, kEps);
        const auto row = p.row(*date);
        const Text *amount = find(row, "$250.00");
        ASSERT_TRUE(amount);
        EXPECT_NEAR(amount->x, 7.09 - R + 0.9 + R / 2 - 0.10, kEps);
        EXPECT_EQ(find(row, "2.00") != nullptr, c.hours);
        if (c.hours) {
            EXPECT_NEAR(find(row, "2.00")->x, 5.3 + 0.85 - 0.06, kEps);
        }
        EXPECT_EQ(find(row, "$125.00") != nullptr, c.rate);
        if (c.rate) {
            EXPECT_NEAR(find(row, "$125.00")->x, 6.2 + 0.9 - 0.10, kEps);
        }

        // Headings centred in their cells.
        ASSERT_TRUE(find(p.texts, "Professional Services"));
        EXPECT_NEAR(find(p.texts, "Professional Services")->x, 1.4 + (3.9 + H) / 2, kEps);
        EXPECT_NEAR(find(p.texts, "Amount")->x, 7.1 - R + (0.9 + R) / 2, kEps);
        EXPECT_NEAR(find(p.texts, "Amount")->y, 3.1 + 0.2, kEps);
        EXPECT_EQ(p.count("Hours"), c.hours ? 1 : 0);
        EXPECT_EQ(p.count("Rate"), c.rate ? 1 : 0);

        // Totals amounts end at 7.95 - R / 2, labels at 6.4.
        const Text *total = find(p.texts, "Total Due");
        ASSERT_TRUE(total);
        EXPECT_NEAR(total->x, 6.4, kEps);
        const Text *due = find(p.row(*total), "$250.00");
        ASSERT_TRUE(due);
        EXPECT_NEAR(due->x, 7.95 - R / 2, kEps);

        // One column frame per printed column, from 3.1 down to the totals area.
        std::vector<std::pair<double, double>> frames;
        for (const Box &b : p.boxes)
            if (std::abs(b.y1 - 3.1) < kEps && std::abs(b.y2 - 9.5) < kEps)
                frames.emplace_back(b.x1, b.x2);
        std::vector<std::pair<double, double>> expected = { { 0.5, 1.4 }, { 1.4, 5.3 + H } };
        if (c.hours)
            expected.emplace_back(5.3, 6.2);
        if (c.rate)
            expected.emplace_back(6.2, 7.1);
        expected.emplace_back(7.1 - R, 8.0);
        ASSERT_EQ(frames.size(), expected.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_NEAR(frames[i].first, expected[i].first, kEps);
            EXPECT_NEAR(frames[i].second, expected[i].second, kEps);
        }
    }
}

TEST(StatementLayout, DescriptionWrapsInItsWiderColumnWhenHoursAndRateAreOff)
{
    const QString text = QStringLiteral(
        "Review of the lease agreement for the warehouse on Elm Street, correspondence with the "
        "landlord's counsel about the renewal option, and a memorandum to the client setting "
        "out the three choices open to it with their costs.");
    int lines[2] = {};
    for (int off = 0; off < 2; ++off) {
        StatementData d;
        d.setSetup({ { "PRINTHOURS", off ? "N" : "Y" }, { "PRINTRATE", off ? "N" : "Y" } });
        d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"));
        d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"));
        d.addSlip({ .client = QStringLiteral("1001"), .description = text });
        const Printed p = d.runBilling();
        for (const Text &t : p.texts)
            if (t.code == 24 && std::abs(t.x - 1.45) < kEps)
                ++lines[off];
        EXPECT_EQ(p.count("Consulting"), 0) << "a slip with a description prints it instead";
    }
    EXPECT_GE(lines[0], 3);
    EXPECT_LT(lines[1], lines[0]);
}

// The amount lines of the totals area: label -> amount, in print order.
std::vector<std::pair<std::string, Cents>> totals(const Printed &p)
{
    std::vector<std::pair<std::string, Cents>> out;
    for (const Text &t : p.texts)
        if (t.code == 25 && std::abs(t.x - 6.4) < kEps)
            for (const Text &u : p.row(t))
                if (u.code == 25 && u.x > 7)
                    out.emplace_back(t.text, moneyValue(u.text));
    return out;
}

TEST(StatementLayout, TotalsAreaPrintsTheLinesThatAddUp)
{
    struct Case
    {
        const char *name;
        double previousPaid; // an invoice of 100.00 with this much paid; < 0: none
        double tax;
        std::vector<std::pair<std::string, Cents>> expected;
    };
    const auto c = [](std::int64_t n) { return Cents::fromCents(n); };
    const std::vector<Case> cases = {
        { "plain", -1, 0, { { "Total Due", c(20000) } } },
        { "tax of a cent", -1, 0.01, { { "Total Due", c(20001) } } },
        { "tax", -1, 1.50,
            { { "Subtotal", c(20000) }, { "Tax", c(150) }, { "Total Due", c(20150) } } },
        { "previous balance", 60, 0,
            { { "Subtotal", c(20000) }, { "Previous Balance", c(4000) },
                { "Total Due", c(24000) } } },
        { "credit balance", 140, 0,
            { { "Subtotal", c(20000) }, { "Previous Balance", c(-4000) },
                { "Total Due", c(16000) } } },
        { "credit balance and tax", 140, 2.25,
            { { "Subtotal", c(20000) }, { "Previous Balance", c(-4000) }, { "Tax", c(225) },
                { "Total Due", c(16225) } } },
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        StatementData d;
        d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"), 7.5);
        d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"));
        d.addSlip({ .client = QStringLiteral("1001"), .total = 120 });
        d.addSlip({ .client = QStringLiteral("1001"), .total = 80, .tax = k.tax,
            .taxable = k.tax != 0 });
        if (k.previousPaid >= 0)
            d.addInvoice(QStringLiteral("1001"), 7, 100, k.previousPaid);
        billing::BillingPlan plan;
        const Printed p = d.runBilling(&plan);
        EXPECT_EQ(totals(p), k.expected);
        ASSERT_EQ(plan.statements.size(), 1u);
        EXPECT_EQ(plan.statements[0].invoiceTotal() + plan.statements[0].previousBalance,
            k.expected.back().second);
        // The terms line shares its line with the first amount line.
        const Text *terms = find(p.texts, "Total Due by 01/09/2027");
        ASSERT_TRUE(terms);
        EXPECT_NEAR(terms->x, 0.75, kEps);
        const Text *first = find(p.texts, k.expected.front().first);
        ASSERT_TRUE(first);
        EXPECT_NEAR(terms->y, first->y, kEps);
    }
}

TEST(StatementLayout, TaxDetailLineFollowsTheTaxedSlip)
{
    for (const bool detail : { true, false }) {
        StatementData d;
        if (!detail)
            d.settings.writeString("Invoice", "PrintTaxDetail", "false");
        d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"), 7.5);
        d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"));
        d.addSlip({ .client = QStringLiteral("1001"), .total = 80, .tax = 6, .taxable = true });
        const Printed p = d.runBilling();
        const Text *line = find(p.texts, "7.50% Tax on $80.00");
        EXPECT_EQ(line != nullptr, detail);
        if (line) {
            EXPECT_NEAR(line->x, 1.46, kEps);
            EXPECT_TRUE(find(p.row(*line), "$6.00"));
            EXPECT_GT(line->y, find(p.texts, "Consulting")->y);
        }
    }
}

TEST(StatementLayout, AddressBlockPoNumberAndHeadingLabels)
{
    struct Case
    {
        const char *name;
        Values client;
        std::vector<std::string> block; // the client block's lines, top to bottom
        std::string po; // "" for none
    };
    const std::vector<Case> cases = {
        { "zip ending in a hyphen",
            { { "CONTACT", "Ann Alder" }, { "SZIP", "75244-" } },
            { "Attn: Ann Alder", "Alder & Sons", "1 Main Street", "Dallas, TX 75244" }, "" },
        { "no city, state or zip",
            { { "SCITY", "" }, { "SSTATE", "" }, { "SZIP", "" }, { "SADD2", "Suite 4" } },
            { "Alder & Sons", "1 Main Street", "Suite 4" }, "" },
        { "purchase order", { { "MISC1", "[PO]123456" } },
            { "Alder & Sons", "1 Main Street", "Dallas, TX 75201" }, "123456" },
        { "not a purchase order", { { "MISC1", "PO 123456" } },
            { "Alder & Sons", "1 Main Street", "Dallas, TX 75201" }, "" },
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        StatementData d;
        d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"));
        d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"), k.client);
        d.addSlip({ .client = QStringLiteral("1001") });
        const Printed p = d.runBilling();

        // Lines at X 0.7 + 0.02 from Y 2.1 down, one 14-point line apart: the first line is
        // the contact's or empty, and the empty city line keeps its place.
        std::vector<Text> block;
        for (const Text &t : p.texts)
            if (t.code == 24 && std::abs(t.x - 0.72) < kEps && !t.text.empty())
                block.push_back(t);
        EXPECT_EQ(words(block), k.block);
        ASSERT_FALSE(block.empty());
        const Text *name = find(block, "Alder & Sons");
        EXPECT_NEAR(name->y, 2.1 + 14.0 / 60, kEps);

        const Text *label = find(p.texts, "PO Number:");
        EXPECT_EQ(label != nullptr, !k.po.empty());
        if (label) {
            EXPECT_NEAR(label->x, 4.5 + 1.5 - 0.02, kEps);
            const Text *value = find(p.row(*label), k.po);
            ASSERT_TRUE(value);
            EXPECT_NEAR(value->x, 6.22, kEps);
        }
        const Text *statement = find(p.texts, "Billing Statement:");
        ASSERT_TRUE(statement);
        EXPECT_TRUE(find(p.row(*statement), "1"));
        const Text *through = find(p.texts, "Services Through:");
        ASSERT_TRUE(through);
        EXPECT_TRUE(find(p.row(*through), "December 10, 2026"));
    }
}

TEST(StatementLayout, SettingsFileLabelsAndPositions)
{
    StatementData d;
    d.settings.writeString("Invoice", "BillingStatement", "Invoice No.");
    d.settings.writeString("Invoice", "ServicesThrough", "Period Ending");
    d.settings.writeString("Invoice", "TotalDue", "Amount Due");
    d.settings.writeString("Invoice", "ClientAddressH", "1.0");
    d.settings.writeString("Invoice", "ClientAddressV", "2.5");
    d.settings.writeString("Invoice", "DetailStart", "3.4");
    d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"));
    d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"));
    d.addSlip({ .client = QStringLiteral("1001") });
    auto p = d.parameters();
    p.dateTo = QDate(2026, 11, 30);
    p.dateToGiven = true;
    const Printed printed = d.runBilling(p);
    EXPECT_TRUE(find(printed.texts, "Invoice No."));
    EXPECT_TRUE(find(printed.row(*find(printed.texts, "Period Ending")), "November 30, 2026"));
    EXPECT_TRUE(find(printed.texts, "Amount Due"));
    EXPECT_FALSE(find(printed.texts, "Total Due"));
    const Text *name = find(printed.texts, "Alder & Sons");
    ASSERT_TRUE(name);
    EXPECT_NEAR(name->x, 1.02, kEps);
    EXPECT_NEAR(name->y, 2.5 + 14.0 / 60, kEps);
    EXPECT_NEAR(find(printed.texts, "Amount")->y, 3.6, kEps);
}

TEST(StatementLayout, TermsLine)
{
    struct Case
    {
        const char *terms;
        const char *fixedTerms;
        std::string expected;
    };
    const std::vector<Case> cases = {
        { "Net 30", "", "Total Due by 01/09/2027" },
        { "Net 120", "", "Total Due by 04/09/2027" },
        { "Net 7", "", "Total Due by 12/17/2026" },
        { "Due on Receipt", "", "Total Due on Receipt" },
        { "Net 30", "Payable within thirty days of receipt", "Payable within thirty days of receipt" },
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.terms);
        StatementData d;
        d.setSetup({ { "PTERMS", k.fixedTerms } });
        d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"));
        d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"), { { "TERMS", k.terms } });
        d.addSlip({ .client = QStringLiteral("1001") });
        const Printed p = d.runBilling();
        const Text *line = find(p.texts, k.expected);
        ASSERT_TRUE(line);
        EXPECT_NEAR(line->x, 0.75, kEps);
        EXPECT_NEAR(line->y, 9.5 + 0.05 + 12.0 / 60, kEps);
    }
}

TEST(StatementLayout, StatementsNumberedFromNextInvoiceWhichPrintingLeavesAlone)
{
    StatementData d;
    d.setNextInvoice(41);
    d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"));
    for (const auto &[number, name] :
        { std::pair{ "1001", "Alder & Sons" }, std::pair{ "1002", "Birch Ltd" },
            std::pair{ "1003", "Cedar Inc" } }) {
        d.addClient(QString::fromLatin1(number), QString::fromLatin1(name));
        d.addSlip({ .client = QString::fromLatin1(number) });
    }
    billing::BillingPlan plan;
    const Printed p = d.runBilling(&plan);
    EXPECT_EQ(p.pages, 3);
    std::vector<std::string> numbers;
    for (const Text &label : p.all("Billing Statement:"))
        for (const Text &t : p.row(label))
            if (t.code == 24 && t.x > 6)
                numbers.push_back(t.text);
    EXPECT_EQ(numbers, (std::vector<std::string>{ "41", "42", "43" }));
    ASSERT_EQ(plan.statements.size(), 3u);
    EXPECT_EQ(plan.statements[0].clientName, QStringLiteral("Alder & Sons"));
    EXPECT_EQ(plan.statements[2].invoiceNumber, 43);
    EXPECT_EQ(d.nextInvoice(), 41);
    // Printing a second time prints the same numbers.
    plan = {};
    d.runBilling(&plan);
    EXPECT_EQ(plan.statements[0].invoiceNumber, 41);
    EXPECT_EQ(d.nextInvoice(), 41);
}

TEST(StatementLayout, PreviousBalanceOnlyPrintsAStatementWithoutSlips)
{
    StatementData d;
    d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"));
    d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"));
    d.addClient(QStringLiteral("1002"), QStringLiteral("Birch Ltd"));
    d.addInvoice(QStringLiteral("1001"), 7, 300, 120);
    d.addSlip({ .client = QStringLiteral("1002") }); // billable, but no balance
    auto params = d.parameters();
    params.previousBalanceOnly = true;
    billing::BillingPlan plan;
    const Printed p = d.runBilling(params, &plan);
    ASSERT_EQ(plan.statements.size(), 1u);
    EXPECT_EQ(plan.statements[0].clientName, QStringLiteral("Alder & Sons"));
    EXPECT_TRUE(plan.statements[0].slips.empty());
    EXPECT_EQ(plan.statements[0].invoiceTotal(), Cents());
    EXPECT_EQ(p.pages, 1);
    EXPECT_EQ(totals(p), (std::vector<std::pair<std::string, Cents>>{
                             { "Subtotal", Cents() }, { "Previous Balance", Cents::fromCents(18000) },
                             { "Total Due", Cents::fromCents(18000) } }));
}

TEST(StatementLayout, NothingToPrintCancelsTheRun)
{
    StatementData d;
    d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"));
    d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"));
    d.addSlip({ .client = QStringLiteral("1001"), .done = 0 });
    billing::BillingPlan plan;
    reports::StatementDocument document(d.tables(), d.parameters(), d.settings, d.clock, d.messages);
    d.run(document);
    EXPECT_TRUE(document.nothingToPrint());
    EXPECT_TRUE(d.aborted);
    EXPECT_EQ(d.messages.texts(),
        QStringList{ QStringLiteral("There were no Billing Statements to print for the selected range.") });
    EXPECT_TRUE(document.plan().statements.empty());
}

TEST(StatementLayout, TestStatementAfterABillingRun)
{
    StatementData d;
    d.setNextInvoice(12);
    d.setSetup({ { "PRINTGRAPH", "Y" }, { "PRINTSHADE", "Y" } });
    d.addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"), 8);
    d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"), { { "TERMS", "Net 15" } });
    d.addSlip({ .client = QStringLiteral("1001"), .total = 300, .tax = 24, .taxable = true });
    d.addInvoice(QStringLiteral("1001"), 7, 100, 0);
    const Printed run = d.runBilling();
    ASSERT_EQ(run.count("Previous Balance"), 1);

    d.clients.first();
    const Printed p = d.runSample();
    EXPECT_EQ(p.pages, 1);
    EXPECT_EQ(p.count("Test Client Name"), 1);
    EXPECT_EQ(p.count("Alder & Sons"), 0);
    EXPECT_EQ(p.count("Dallas, Texas 75244"), 1);
    const Text *line = find(p.texts, "Billing Description");
    ASSERT_TRUE(line);
    const auto row = p.row(*line);
    EXPECT_EQ(words(row),
        (std::vector<std::string>{ "12/31/1997", "Billing Description", "10.00", "$125.00",
            "$1,250.00" }));
    EXPECT_EQ(totals(p), (std::vector<std::pair<std::string, Cents>>{
                             { "Total Due", Cents::fromCents(125000) } }));
    EXPECT_TRUE(find(p.texts, "Total Due by 12/25/2026")) << "terms of the client under the cursor";
    const Text *number = find(p.texts, "Billing Statement:");
    ASSERT_TRUE(number);
    EXPECT_TRUE(find(p.row(*number), "12"));
    EXPECT_TRUE(find(p.row(*find(p.texts, "Services Through:")), "December 10, 2026"));
    EXPECT_EQ(p.count("Invoice"), 1);
    EXPECT_EQ(p.count("Thank you for your business."), 1);
    EXPECT_EQ(d.nextInvoice(), 12);
}

TEST(StatementLayout, CityLine)
{
    struct Case
    {
        const char *city, *state, *zip, *expected;
    };
    for (const Case &c : { Case{ "Dallas", "TX", "75244-", "Dallas, TX 75244" },
             Case{ "Dallas", "TX", "75244-1234", "Dallas, TX 75244-1234" },
             Case{ "", "", "", "" }, Case{ "  Austin ", " TX", " 78701 ", "Austin, TX 78701" },
             Case{ "A very long city name indeed", "TX", "75244-123456789012",
                 "A very long city name indeed, TX 75244-12345678901" } })
        EXPECT_EQ(reports::cityLine(QString::fromLatin1(c.city), QString::fromLatin1(c.state),
                      QString::fromLatin1(c.zip))
                      .toStdString(),
            c.expected);
}

} // namespace
