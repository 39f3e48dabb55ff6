// "Project Budget to Actual" over real tables, read back from the report file: each project's
// columns (variances, days over, status), the client and report totals, which clients and
// projects the options take whatever client the main window shows, page breaks that keep every
// total whole and nothing below the print area, the page of a selection that finds nothing,
// the rows saved as CSV, and a billing run over a generated practice that, once its statements
// are deleted again, leaves every project's figures in the report as they were.
#include <algorithm>
#include <optional>
#include <set>
#include <sstream>

#include "billing/billing_rules.h"
#include "billing/invoice_deletion.h"
#include "platform/clock.h"
#include "practice_tables.h"
#include "reports/report_format.h"
#include "report_fixture.h"
#include "temp_dir.h"

namespace {

const std::string kReport = "Project Budget to Actual";

struct ProjectRow
{
    std::string client, code, desc;
    std::optional<dbf::Date> estimated, done;
    double estHours = 0, totHours = 0, estCost = 0, totCharge = 0;
};

void addProject(ReportTables &t, const ProjectRow &p)
{
    dbf::Cursor c(t.table("TWPROJCT"));
    c.append();
    c.setText("PJ_CLIENT", p.client);
    c.setText("PJ_CODE", p.code);
    c.setText("PJ_DESC", p.desc);
    if (p.estimated)
        c.setDate("PJ_ESTDATE", *p.estimated);
    if (p.done)
        c.setDate("PJ_DONEDT", *p.done);
    c.setNumber("PJ_ESTHOUR", p.estHours);
    c.setNumber("PJ_TOTHOUR", p.totHours);
    c.setNumber("PJ_ESTCOST", p.estCost);
    c.setNumber("PJ_TOTCHG", p.totCharge);
    c.post();
}

std::string rptFile(const TempDir &dir)
{
    return (dir.path() / "TWREPORT.RPT").string();
}

std::string money(double v)
{
    const std::string s = reports::moneyText(v);
    return s.substr(s.find_first_not_of(' '));
}

// The line of the first text `text`, left to right, each with its X rounded to hundredths (left
// texts at their start, right texts at their end).
using Line = std::vector<std::pair<double, std::string>>;
Line lineWith(const std::vector<PrintedText> &texts, const std::string &text)
{
    Line out;
    const auto it = std::find_if(
        texts.begin(), texts.end(), [&](const PrintedText &p) { return p.text == text; });
    for (const PrintedText &q : texts)
        if (it != texts.end() && q.page == it->page && std::abs(q.y - it->y) < 1e-4)
            out.push_back({ std::round(q.x * 100) / 100, q.text });
    std::sort(out.begin(), out.end());
    return out;
}

// Horizontal lines drawn from X 3.5 to 8.0 (the totals' lines), as (page, y).
std::vector<std::pair<int, double>> totalLines(const std::string &file)
{
    using namespace report;
    ReportFileReader reader;
    reader.open(file);
    std::vector<std::pair<int, double>> out;
    Record r;
    for (int n = 1; reader.gotoPage(n); ++n) {
        double x = 0, y = 0;
        while (reader.next(r)) {
            if (r.code == rpt::MoveTo) {
                x = r.num(0);
                y = r.num(1);
            } else if (r.code == rpt::LineTo) {
                if (std::abs(x - 3.5) < 1e-3 && std::abs(r.num(0) - 8.0) < 1e-3
                    && std::abs(r.num(1) - y) < 1e-6)
                    out.push_back({ n, y });
                x = r.num(0);
                y = r.num(1);
            }
        }
    }
    return out;
}

} // namespace

TEST(BudgetReport, ColumnsVariancesDaysOverAndTotals)
{
    ReportTables t;
    t.client({ "000001", "Acme Ltd" });
    const ProjectRow rows[] = {
        { "000001", "P1", "Over budget", dbf::Date(2026, 11, 10), dbf::Date(2026, 11, 15), 40,
            46.5, 4000, 4650 },
        { "000001", "P2", "Finished early", dbf::Date(2026, 11, 10), dbf::Date(2026, 11, 8), 10, 8,
            1000, 800 },
        { "000001", "P3", "Pending and late", dbf::Date(2026, 1, 10), std::nullopt, 5, 7.25, 500,
            725.5 },
        { "000001", "P4", "Done without estimate", std::nullopt, dbf::Date(2026, 3, 1), 0, 1, 0,
            100 },
    };
    for (const ProjectRow &p : rows)
        addProject(t, p);
    t.reread();
    TempDir out;
    ASSERT_TRUE(runToFile(kReport, t, wideOptions(), rptFile(out)));
    const std::vector<PrintedText> texts = printedTexts(rptFile(out));

    const struct
    {
        const char *desc;
        Line expected;
    } cases[] = {
        { "Over budget",
            { { 0.57, "Over budget" }, { 2.77, "Completed" }, { 3.93, "40.00" }, { 4.43, "46.50" },
                { 5.13, "6.50" }, { 5.93, money(4000) }, { 6.73, money(4650) },
                { 7.53, money(650) }, { 8.03, "5" } } },
        { "Finished early",
            { { 0.57, "Finished early" }, { 2.77, "Completed" }, { 3.93, "10.00" },
                { 4.43, "8.00" }, { 5.13, "-2.00" }, { 5.93, money(1000) }, { 6.73, money(800) },
                { 7.53, money(-200) }, { 8.03, "-2" } } },
        { "Pending and late",
            { { 0.57, "Pending and late" }, { 2.77, "Pending" }, { 3.93, "5.00" },
                { 4.43, "7.25" }, { 5.13, "2.25" }, { 5.93, money(500) }, { 6.73, money(725.5) },
                { 7.53, money(225.5) }, { 8.03, "0" } } },
        { "Done without estimate",
            { { 0.57, "Done without estimate" }, { 2.77, "Completed" }, { 3.93, "0.00" },
                { 4.43, "1.00" }, { 5.13, "1.00" }, { 5.93, money(0) }, { 6.73, money(100) },
                { 7.53, money(100) }, { 8.03, "0" } } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.desc);
        EXPECT_EQ(lineWith(texts, c.desc), c.expected);
    }
    // The client's name on its own line above its first project.
    const auto name = std::find_if(texts.begin(), texts.end(), [](auto &p) { return p.text == "Acme Ltd"; });
    const auto first = std::find_if(texts.begin(), texts.end(), [](auto &p) { return p.text == "Over budget"; });
    ASSERT_NE(name, texts.end());
    EXPECT_NEAR(first->y - name->y, 10.0 / 60, 1e-3);

    // Totals: estimated and actual hours, estimated and actual billings, days over (5 - 2);
    // the variances are not summed. The label stands in the Status column.
    const Line client = lineWith(texts, "Client Total:");
    const Line expected = { { 2.77, "Client Total:" }, { 3.93, "55.00" }, { 4.43, "62.75" },
        { 5.93, money(5500) }, { 6.73, money(6275.5) }, { 8.03, "3" } };
    EXPECT_EQ(client, expected);
    Line report = lineWith(texts, "Report Total:");
    ASSERT_FALSE(report.empty());
    report[0].second = "Client Total:";
    EXPECT_EQ(report, expected);
}

TEST(BudgetReport, SelectionWhateverClientTheMainWindowShows)
{
    ReportTables t;
    t.client({ "000001", "Alpha" });
    t.client({ "000002", "Beta" });
    t.client({ "000003", "Gamma inactive", "N" });
    t.client({ "000004", "Delta" });
    const ProjectRow rows[] = {
        { "000002", "PB1", "Beta one", {}, {}, 1, 2, 100, 200 },
        { "000001", "PA1", "Alpha one", {}, {}, 1, 1, 10, 10 },
        { "000002", "ZB2", "Beta out of range", {}, {}, 1, 1, 1, 1 },
        { "000003", "PC1", "Gamma one", {}, {}, 1, 1, 1, 1 },
        { "000004", "ZD1", "Delta out of range", {}, {}, 1, 1, 1, 1 },
        { "000001", "PA2", "Alpha two", {}, {}, 2, 3, 20, 30 },
    };
    for (const ProjectRow &p : rows)
        addProject(t, p);
    t.reread();
    // The main window on Beta, its projects cursor restricted to Beta's projects.
    ASSERT_TRUE(t.clients.findKey({ QStringLiteral("Beta") }));
    t.projects.setRange({ QStringLiteral("000002") }, { QStringLiteral("000002zzzzzzzzzz") });
    reports::SelectionOptions o = wideOptions();
    o.projectBegin = "P";
    o.projectEnd = "PZZ";

    TempDir out;
    {
        reports::ReportData data = t.data();
        reports::BorrowedCursors borrowed(data);
        ASSERT_TRUE(runToFile(kReport, t, o, rptFile(out)));
    }
    EXPECT_EQ(t.clients.text(QStringLiteral("NAME")), QStringLiteral("Beta"));
    EXPECT_TRUE(t.projects.hasRange());

    std::vector<std::string> column;
    for (const PrintedText &p : printedTexts(rptFile(out)))
        if (std::abs(p.x - 0.57) < 1e-3 && p.y > 1.8 && p.y < 10)
            column.push_back(p.text);
    EXPECT_EQ(column,
        (std::vector<std::string>{ "Alpha", "Alpha one", "Alpha two", "Beta", "Beta one" }));
    const Line report = lineWith(printedTexts(rptFile(out)), "Report Total:");
    EXPECT_EQ(report,
        (Line{ { 2.77, "Report Total:" }, { 3.93, "4.00" }, { 4.43, "6.00" }, { 5.93, money(130) },
            { 6.73, money(240) }, { 8.03, "0" } }));

    // The same rows saved as CSV: plain decimals, the client's name on every row.
    reports::ReportContext context{ t.data(), o };
    const auto layout = reports::makeLayout(*reports::findReport(kReport), context);
    ASSERT_TRUE(layout->position());
    std::ostringstream csv;
    ASSERT_TRUE(layout->writeCsv(csv));
    EXPECT_EQ(csv.str(),
        "Client Name,Project Description,Status,Est. Hours,Actual Hours,Hours Variance,"
        "Est. Billings,Actual Billings,Billings Variance,Days Over\r\n"
        "Alpha,Alpha one,Pending,1.00,1.00,0.00,10.00,10.00,0.00,0\r\n"
        "Alpha,Alpha two,Pending,2.00,3.00,1.00,20.00,30.00,10.00,0\r\n"
        "Beta,Beta one,Pending,1.00,2.00,1.00,100.00,200.00,100.00,0\r\n");
    EXPECT_TRUE(reports::findReport(kReport)->csv);
}

TEST(BudgetReport, PageBreaksKeepTotalsWholeAndInsideThePrintArea)
{
    // Client sizes chosen so that the totals fall on every position near a page's end.
    ReportTables t;
    const int sizes[] = { 40, 1, 3, 2, 44, 5 };
    int n = 0;
    for (int c = 0; c < int(std::size(sizes)); ++c) {
        const std::string number = "00000" + std::to_string(c + 1);
        t.client({ number, "Client " + std::to_string(c + 1) });
        for (int i = 0; i < sizes[c]; ++i, ++n)
            addProject(t, { number, "P" + std::to_string(n), "Project " + std::to_string(n), {},
                              {}, 1, 1, 1, 1 });
    }
    t.reread();
    for (bool detailed : { true, false }) {
        SCOPED_TRACE(detailed ? "detailed" : "not detailed");
        reports::SelectionOptions o = wideOptions();
        o.detailed = detailed;
        TempDir out;
        ASSERT_TRUE(runToFile(kReport, t, o, rptFile(out)));
        const std::vector<PrintedText> texts = printedTexts(rptFile(out));
        const int pages = pageCount(rptFile(out));
        ASSERT_GE(pages, 3);
        std::set<int> headed;
        int projects = 0, clientTotals = 0, reportTotals = 0;
        for (const PrintedText &p : texts) {
            if (p.text == "Project Description")
                headed.insert(p.page);
            if (p.text.rfind("Project ", 0) == 0 && p.text != "Project Description" && p.y > 1.3)
                ++projects;
            clientTotals += p.text == "Client Total:";
            if (p.text == "Report Total:") {
                ++reportTotals;
                EXPECT_EQ(p.page, pages);
            }
            // Only the footer stands below the print area's bottom at 10 inches.
            if (p.text.rfind("Page ", 0) != 0 && p.text.rfind("Date: ", 0) != 0) {
                EXPECT_LT(p.y, 10.0) << p.text << " on page " << p.page;
            }
        }
        EXPECT_EQ(int(headed.size()), pages);
        EXPECT_EQ(projects, n);
        EXPECT_EQ(clientTotals, int(std::size(sizes)));
        EXPECT_EQ(reportTotals, 1);
        // Each total's line stands one line above it, on the same page; none when not detailed.
        const auto lines = totalLines(rptFile(out));
        EXPECT_EQ(lines.size(), detailed ? std::size(sizes) + 1 : 0u);
        std::size_t i = 0;
        for (const PrintedText &p : texts)
            if (detailed && (p.text == "Client Total:" || p.text == "Report Total:") && i < lines.size()) {
                EXPECT_EQ(lines[i].first, p.page);
                EXPECT_NEAR(p.y - lines[i].second, 10.0 / 60, 1e-3);
                ++i;
            }
    }
}

TEST(BudgetReport, NoClientSelectedPrintsTheHeadingsOnly)
{
    ReportTables t;
    t.client({ "000001", "Acme Ltd" });
    addProject(t, { "000001", "P1", "Audit", {}, {}, 1, 1, 1, 1 });
    t.reread();
    reports::SelectionOptions o = wideOptions();
    o.clientBegin = "X";
    o.clientEnd = "Y";
    TempDir out;
    ASSERT_TRUE(runToFile(kReport, t, o, rptFile(out)));
    EXPECT_EQ(pageCount(rptFile(out)), 1);
    std::vector<std::string> body;
    for (const PrintedText &p : printedTexts(rptFile(out)))
        if (p.y > 1.25 && p.y < 10)
            body.push_back(p.text);
    EXPECT_EQ(body,
        (std::vector<std::string>{ "Client Name", "Project", "Est.", "Actual", "Est.", "Actual",
            "Days", "Project Description", "Status", "Hours", "Hours", "Variance", "Billings",
            "Billings", "Variance", "Over" }));
}

TEST(BudgetReport, BillThenDeleteTheStatementsGivesTheFiguresBack)
{
    bench::PracticeSize size;
    size.clients = 200;
    size.staff = 10;
    size.activities = 40;
    size.projects = 400;
    size.slips = 3000;
    ReportTables t;
    loadPractice(t, size, 20261211, { "TWCLIENT", "TWSLIP", "TWACT", "TWPROJCT" },
        [](const std::string &name, dbf::Cursor &c, std::size_t) {
            // Every client active in cycle 1; every unbilled slip complete, with tax.
            if (name == "TWCLIENT") {
                c.setText("ACTIVE", "Y");
                c.setInteger("CYCLE", 1);
            } else if (name == "TWSLIP") {
                c.setInteger("SL_DONE", 1);
                c.setNumber("SL_TAXAMT", double(c.number("SL_HOURS") > 4 ? 1.25 : 0));
            }
        });
    {
        // Statement numbers past those the generated billed slips carry.
        dbf::Cursor c(t.table("TWTRACK"));
        ASSERT_TRUE(c.first());
        c.edit();
        c.setInteger("NEXTINV", 1000000);
        c.post();
    }
    t.reread();
    const auto budget = [&] { return reportCsv(t, kReport, wideOptions()); };
    const std::string before = budget();

    const QDate today(2026, 12, 10);
    const platform::ManualClock clock(std::chrono::year_month_day(
        std::chrono::year(2026), std::chrono::month(12), std::chrono::day(10)));
    billing::RunParameters p;
    p.endName = QString(QChar(0xff));
    p.dateFrom = today.addDays(-3650 * 2);
    p.dateTo = today;
    p.minimumBill = 0;
    ui::Dataset track;
    t.DatasetDir::open(track, "TWTRACK");
    track.first();
    const billing::BillingPlan plan =
        billing::planRun(p, today, t.clients, t.slips, t.invoices, track);
    ASSERT_GT(plan.statements.size(), 100u);
    const billing::FinalizeResult posted = billing::Finalizer(t.path().string(), clock).run(plan);
    ASSERT_EQ(posted.posted, int(plan.statements.size()));
    t.reread();
    const std::string billed = budget();
    EXPECT_NE(billed, before);

    for (const billing::PrintedStatement &s : plan.statements) {
        const billing::DeletionResult r = billing::InvoiceDeletion(t.path())
                                              .run(s.clientNumber.toStdString(), s.invoiceNumber);
        ASSERT_EQ(r.status, billing::DeletionResult::Status::Deleted) << r.message;
    }
    t.reread();
    EXPECT_EQ(budget(), before);
}
