// The receivables reports over real tables, run as the catalogue runs them on the clock's day
// and read back from the report file: aging buckets at their boundaries, paid and overpaid
// statements, the small-balance client, bold and plain cells, the date range of statements and
// payments, groups broken by the page, the sales tax sums, CSV, and agreement with the main
// window's aging over a generated practice. The main window's cursors stand on the last client.
#include <random>
#include <sstream>

#include "billing/aging_rules.h"
#include "platform/clock.h"
#include "practice_tables.h"
#include "reports/report_format.h"
#include "reports/report_run.h"
#include "temp_dir.h"
#include "ui/scripted_messages.h"

using reports::moneyText;

namespace {

const QDate kToday(2026, 12, 10);

dbf::Date dayAt(int offset)
{
    const QDate d = kToday.addDays(offset);
    return dbf::Date(d.year(), d.month(), d.day());
}

struct Statement
{
    double number;
    std::string client;
    int date, due; // days from today
    double total, paid, tax = 0;
};

// The tables, written through the engine; standOn() leaves the main window's cursors on a
// client that is not the first, its statements and slips in range.
struct Receivables : ReportTables
{
    void statement(const Statement &s)
    {
        dbf::Cursor c(table("TWINVOIC"));
        c.append();
        c.setNumber("INV_NUMBER", s.number);
        c.setText("INV_CLIENT", s.client);
        c.setDate("INV_DATE", dayAt(s.date));
        c.setDate("INV_DUE", dayAt(s.due));
        c.setNumber("INV_TOTAL", s.total);
        c.setNumber("INV_PAID", s.paid);
        c.setNumber("INV_TAXAMT", s.tax);
        c.post();
    }
    void payment(const std::string &client, const std::string &check, int date, double amount)
    {
        dbf::Cursor c(table("TWPMT"));
        c.append();
        c.setText("PMT_CLIENT", client);
        c.setText("PMT_CHECK", check);
        c.setText("PMT_DESC", "Payment " + check);
        c.setDate("PMT_DATE", dayAt(date));
        c.setNumber("PMT_AMOUNT", amount);
        c.setNumber("PMT_INVOIC", 1);
        c.post();
    }
    void slip(double total, const std::string &taxable, double tax, double expense, int date)
    {
        dbf::Cursor c(table("TWSLIP"));
        c.append();
        c.setNumber("SL_NUMBER", double(c.recordCount() + 1));
        c.setText("SL_CLIENT", "C1");
        c.setText("SL_TAXABLE", taxable);
        c.setNumber("SL_TAXAMT", tax);
        c.setNumber("SL_TOTAL", total);
        c.setNumber("SL_EXPAMT", expense);
        c.setDate("SL_DATEBEG", dayAt(date));
        c.setDate("SL_DATEEND", dayAt(date));
        c.post();
    }
    void standOn(const QString &current)
    {
        reread();
        clients.findNearest({ current });
        invoices.setRange({ current }, { current });
        slips.setRange({ current }, { current });
    }
};

reports::SelectionOptions options(bool detailed = true, int from = -3650, int to = 3650)
{
    reports::SelectionOptions o = wideOptions(kToday.toJulianDay());
    o.detailed = detailed;
    o.slipStart = kToday.toJulianDay() + from;
    o.slipEnd = kToday.toJulianDay() + to;
    return o;
}

// A line of the body (below `top`, above the footer): its texts by X rounded to 0.01 inch.
struct Line
{
    int page;
    double y;
    std::map<double, std::string> at;
    std::string operator[](double x) const { return at.count(x) ? at.at(x) : std::string(); }
};

// Runs the report through the catalogue's run on 12/10/2026 into the directory's report file
// and returns the body's lines.
std::vector<Line> run(ReportTables &t, const std::string &report,
    const reports::SelectionOptions &o, const TempDir &dir, double top, int *pages = nullptr)
{
    using namespace std::chrono;
    ui::ScriptedMessages messages;
    const platform::ManualClock clock(year_month_day(year(2026), month(12), day(10)));
    reports::ReportRun r(t.data(), o, messages, clock);
    const std::string file = (dir.path() / "TWREPORT.RPT").string();
    r.fileName = QString::fromStdString(file);
    EXPECT_TRUE(r.run({ QString::fromStdString(report), QStringLiteral("Sub Heading"),
                          QStringLiteral("Liberation Serif"), 1, false, false },
        nullptr))
        << r.failure().toStdString();
    if (pages)
        *pages = pageCount(file);
    std::vector<Line> lines;
    for (const PrintedText &p : printedTexts(file)) {
        if (p.y <= top || p.y > 10.2)
            continue;
        if (lines.empty() || lines.back().page != p.page || std::abs(lines.back().y - p.y) > 1e-6)
            lines.push_back({ p.page, p.y, {} });
        lines.back().at[std::round(p.x * 100) / 100] = p.text;
    }
    return lines;
}

// Every text of the file in order, with whether it printed bold.
std::vector<std::pair<std::string, bool>> boldness(const TempDir &dir)
{
    report::ReportFileReader reader;
    reader.open((dir.path() / "TWREPORT.RPT").string());
    std::vector<std::pair<std::string, bool>> out;
    report::Record r;
    bool bold = false;
    for (int n = 1; reader.gotoPage(n); ++n)
        while (reader.next(r)) {
            if (r.code == report::rpt::FontBold)
                bold = r.num(0) != 0;
            else if (r.code >= report::rpt::CenterText && r.code <= report::rpt::RightText)
                out.push_back({ r.text, bold });
        }
    return out;
}

std::string csvOf(ReportTables &t, const std::string &report, const reports::SelectionOptions &o)
{
    return reportCsv(t, report, o, kToday.toJulianDay());
}

} // namespace

TEST(AgedReceivables, BucketBoundariesPaidAndOverpaid)
{
    Receivables t;
    t.client({ "C1", "Acme" });
    t.client({ "C2", "Zenith" });
    // Invoice number, due days from today, total, paid; the bucket's right edge (0: not listed).
    const struct
    {
        double number;
        int due;
        double total, paid, right;
    } cases[] = {
        { 1, -30, 100, 0, 4.53 },
        { 2, -31, 200, 50, 5.63 },
        { 3, -60, 300, 0, 5.63 },
        { 4, -61, 400, 0, 6.73 },
        { 5, 10, 50, 0, 4.53 },
        { 6, -90, 80, 80, 0 },
        { 7, -45, 20, 30, 5.63 },
    };
    for (const auto &c : cases)
        t.statement({ c.number, "C1", -100, c.due, c.total, c.paid });
    t.statement({ 8, "C2", -5, 0, 10, 0 });
    t.standOn(QStringLiteral("C2"));
    TempDir dir;
    const std::vector<Line> lines =
        run(t, "Aged Receivables Report - Detailed", options(), dir, 1.8);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.number);
        const auto row = std::find_if(lines.begin(), lines.end(),
            [&](const Line &l) { return l[0.57] == std::to_string(int(c.number)); });
        ASSERT_EQ(row != lines.end(), c.right != 0);
        for (double right : { 4.53, 5.63, 6.73 }) {
            if (c.right != 0) {
                EXPECT_EQ((*row)[right], moneyText(right == c.right ? c.total - c.paid : 0));
            }
        }
    }
    // Acme: name, six rows and its ruled total; Zenith: three lines; the report totals, in
    // their own cells.
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[7].at,
        (std::map<double, std::string>{ { 4.53, moneyText(150) }, { 5.63, moneyText(440) },
            { 6.73, moneyText(400) }, { 7.83, moneyText(990) } }));
    EXPECT_EQ(lines[11].at,
        (std::map<double, std::string>{ { 2.05, "Report Totals:" }, { 4.63, moneyText(160) },
            { 5.73, moneyText(440) }, { 6.83, moneyText(400) }, { 7.93, moneyText(1000) } }));
}

TEST(AgedReceivables, SmallAndOverpaidClientsAndBoldCells)
{
    Receivables t;
    t.client({ "C1", "Tiny" });
    t.client({ "C2", "Owed" });
    t.client({ "C3", "Overpaid" });
    for (int due : { 0, -40, -70 }) // 0.04 in every bucket
        t.statement({ double(100 - due), "C1", -80, due, 0.04, 0 });
    t.statement({ 10, "C2", -10, 5, 250, 0 });
    t.statement({ 11, "C3", -10, 5, 90, 100 });
    t.standOn(QStringLiteral("C3"));
    TempDir dir;
    // Summary: one line per listed client (Tiny left out), then the totals, which count Tiny.
    const std::vector<Line> summary =
        run(t, "Aged Receivables Report - Summary", options(false), dir, 1);
    ASSERT_EQ(summary.size(), 6u); // the sub heading's line, the two heading rows, the body
    EXPECT_EQ(summary[0][7.95], "Age figured as of 12/10/2026");
    EXPECT_EQ(summary[3].at,
        (std::map<double, std::string>{ { 0.57, "Overpaid" }, { 2.57, "(217)555-0100" },
            { 4.53, moneyText(-10) }, { 5.63, moneyText(0) }, { 6.73, moneyText(0) },
            { 7.83, moneyText(-10) } }));
    EXPECT_EQ(summary[4][0.57], "Owed");
    EXPECT_EQ(summary[5][7.93], moneyText(240.12));
    const auto bold = boldness(dir);
    const auto owed =
        std::find(bold.begin(), bold.end(), std::pair<std::string, bool>{ "Owed", true });
    ASSERT_LT(owed + 6, bold.end());
    EXPECT_EQ(std::vector(owed, owed + 6),
        (std::vector<std::pair<std::string, bool>>{ { "Owed", true }, { "(217)555-0100", false },
            { moneyText(250), true }, { moneyText(0), true }, { moneyText(0), true },
            { moneyText(250), true } }));
    // Detailed: Tiny's name and statements, but no total line.
    std::vector<std::string> first;
    for (const Line &l : run(t, "Aged Receivables Report - Detailed", options(), dir, 1.8))
        first.push_back(l[0.57] + l[4.53]);
    EXPECT_EQ(first,
        (std::vector<std::string>{ "Overpaid", "11" + moneyText(-10), moneyText(-10), "Owed",
            "10" + moneyText(250), moneyText(250), "Tiny", "100" + moneyText(0.04),
            "140" + moneyText(0), "170" + moneyText(0), "" }));
    const std::string csv = "Client,Phone,Invoice No.,Tran. Date,Due Date,Current,Over 30,Over 60,"
                            "Total\r\nOverpaid,(217)555-0100,11,2026-11-30,2026-12-15,-10.00,0.00,"
                            "0.00,-10.00\r\n";
    EXPECT_EQ(csvOf(t, "Aged Receivables Report - Detailed", options()).substr(0, csv.size()), csv);
}

TEST(InvoicePaymentReports, DateRangeGroupsAndTotals)
{
    Receivables t;
    t.client({ "C1", "Acme" });
    t.client({ "C2", "Bolt" });
    t.statement({ 1, "C1", -400, -370, 100, 100, 5 });
    t.statement({ 2, "C1", -20, 10, 200.5, 0, 10 });
    t.statement({ 3, "C2", -5, 25, 50, 20, 2.5 });
    t.payment("C1", "CHK1", -400, 100);
    t.payment("C2", "CHK2", -3, 20);
    t.standOn(QStringLiteral("C2"));
    // The first text of every body line: group lines and totals at 0.55, rows in their cell.
    const struct
    {
        int from, to;
        std::vector<std::string> invoices, payments;
    } cases[] = {
        { -3650, 3650, { "Acme", "1", "2", "Acme Total:", "Bolt", "3", "Bolt Total:", "" },
            { "Acme", "CHK1", "Acme Total:", "Bolt", "CHK2", "Bolt Total:", "" } },
        { -30, 0, { "Acme", "2", "Acme Total:", "Bolt", "3", "Bolt Total:", "" },
            { "Bolt", "CHK2", "Bolt Total:", "" } },
        { -4, -1, { "" }, { "Bolt", "CHK2", "Bolt Total:", "" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.from);
        for (const auto &[report, expected, cell] :
            { std::tuple{ "Invoice Report", &c.invoices, 1.73 },
                std::tuple{ "Payment Report", &c.payments, 0.57 } }) {
            TempDir dir;
            std::vector<std::string> first;
            for (const Line &l : run(t, report, options(true, c.from, c.to), dir, 1.6))
                first.push_back(l[0.55] + l[cell]);
            EXPECT_EQ(first, *expected) << report;
        }
    }
    TempDir dir;
    const std::vector<Line> lines = run(t, "Invoice Report", options(), dir, 1.6);
    EXPECT_EQ(lines[3].at,
        (std::map<double, std::string>{ { 0.55, "Acme Total:" }, { 4.13, moneyText(300.5) },
            { 5.33, moneyText(15) }, { 7.73, moneyText(100) } }));
    EXPECT_EQ(lines.back().at,
        (std::map<double, std::string>{ { 1.77, "Report Totals:" }, { 4.13, moneyText(350.5) },
            { 5.33, moneyText(17.5) }, { 7.73, moneyText(120) } }));
    EXPECT_EQ(csvOf(t, "Payment Report", options()),
        "Client,Tran. No.,Date,Description,Invoice No.,Payment Amt.\r\n"
        "Acme,CHK1,2025-11-05,Payment CHK1,1,100.00\r\nBolt,CHK2,2026-12-07,Payment "
        "CHK2,1,20.00\r\n");
}

TEST(InvoicePaymentReports, GroupBrokenByThePageRepeatsItsLine)
{
    const auto build = [](Receivables &t, int rows) {
        t.client({ "C1", "Acme" });
        t.client({ "C2", "Bolt" });
        for (int i = 0; i < rows; ++i)
            t.statement({ double(i + 1), "C1", -1, 30, 1, 0 });
        t.statement({ 999, "C2", -1, 30, 1, 0 });
        t.standOn(QStringLiteral("C2"));
    };
    // The lines a page holds under the heading block, from a group longer than a page.
    int perPage = 0;
    {
        Receivables t;
        build(t, 100);
        TempDir dir;
        for (const Line &l : run(t, "Invoice Report", options(), dir, 1.6))
            perPage += l.page == 1;
    }
    // The group with its total fills page 1 exactly; one row more, or a page of rows, pushes
    // the total over, under the group line again.
    for (const int rows : { perPage - 3, perPage - 2, perPage - 1 }) {
        SCOPED_TRACE(rows);
        Receivables t;
        build(t, rows);
        TempDir dir;
        int pages = 0;
        std::vector<std::string> page2;
        for (const Line &l : run(t, "Invoice Report", options(), dir, 1.6, &pages)) {
            EXPECT_LT(l.y, 10.0);
            if (l.page == 2)
                page2.push_back(l[0.55] + l[1.73]);
        }
        EXPECT_EQ(pages, 2);
        std::vector<std::string> expected{ "Bolt", "999", "Bolt Total:", "" };
        if (rows != perPage - 3)
            expected.insert(expected.begin(), { "Acme", "Acme Total:" });
        EXPECT_EQ(page2, expected);
    }
}

TEST(SalesTaxReport, TaxableSlipsWithAndWithoutTax)
{
    Receivables t;
    t.client({ "C1", "Acme" });
    t.slip(100, "Y", 8, 0, 0);
    t.slip(50, "Y", 0, 0, 0); // taxable with zero tax: non-taxable sales
    t.slip(30, "N", 3, 0, 0); // tax on a slip not marked taxable does not count
    t.slip(20, "N", 0, 20, 0); // expense
    t.slip(40, "Y", 4, 0, -4000); // outside the date range
    t.standOn(QStringLiteral("C1"));
    for (const bool expenses : { true, false }) {
        reports::SelectionOptions o = options();
        o.includeExpenseSlips = expenses;
        TempDir dir;
        const std::vector<Line> lines = run(t, "Sales Tax Report", o, dir, 1.6);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].at,
            (std::map<double, std::string>{ { 1.73, moneyText(8) },
                { 2.93, moneyText(expenses ? 200 : 180) }, { 4.13, moneyText(100) },
                { 5.73, moneyText(expenses ? 100 : 80) } }));
    }
    EXPECT_EQ(csvOf(t, "Sales Tax Report", options()),
        "Tax Amount,Total Sales,Taxable Sales,Non-Taxable Sales\r\n8.00,200.00,100.00,100.00\r\n");
}

TEST(Receivables, AgreeWithTheMainWindowOverAGeneratedPractice)
{
    Receivables t;
    std::mt19937_64 rng(20261210);
    double number = 0;
    for (int i = 0; i < 200; ++i) {
        const std::string n = "N" + std::to_string(1000 + i);
        t.client({ n, "Client " + n });
        for (int k = int(rng() % 6); k > 0; --k) {
            const double total = double(rng() % 100000) / 100;
            const double paid[] = { total, 0, total / 3, total + 7 }; // paid, open, part, over
            const int date = -int(rng() % 400);
            t.statement({ ++number, n, date, date + 30, total, paid[rng() % 4], total / 11 });
        }
    }
    t.standOn(QStringLiteral("N1150"));
    TempDir dir;
    int pages = 0;
    // Each client's statement lines summed per bucket, against the main window's boxes; every
    // page headed with the day of the aging.
    std::map<std::string, billing::Aging> printed;
    std::string client;
    int headed = 0;
    for (const Line &l :
        run(t, "Aged Receivables Report - Detailed", options(), dir, 1.0, &pages)) {
        headed += l[7.95] == "Age figured as of 12/10/2026";
        if (l.y < 1.8)
            continue;
        if (l[0.57].rfind("Client ", 0) == 0)
            client = l[0.57].substr(7);
        else if (!l[0.57].empty()) {
            billing::Aging &a = printed[client];
            for (auto [x, bucket] :
                { std::pair{ 4.53, &a.current }, { 5.63, &a.over30 }, { 6.73, &a.over60 } }) {
                std::string s = l[x];
                const bool negative = s.find_first_of("-(") != std::string::npos;
                std::erase_if(s, [](char ch) { return !std::isdigit(ch) && ch != '.'; });
                *bucket += negative ? -platform::Cents::parse(s) : platform::Cents::parse(s);
            }
        }
    }
    EXPECT_GT(pages, 5);
    EXPECT_EQ(headed, pages);
    for (int i = 0; i < 200; ++i) {
        const std::string n = "N" + std::to_string(1000 + i);
        EXPECT_EQ(printed[n],
            billing::clientReceivables(
                QString::fromStdString(n), kToday, t.invoices.cursor(), nullptr)
                .aging)
            << n;
    }
    // The invoice report's total over a part of the range: every statement dated in it.
    platform::Cents expected;
    dbf::Cursor c(t.table("TWINVOIC"));
    for (bool on = c.first(); on; on = c.next())
        if (const auto day = c.date("INV_DATE").julianDay() - kToday.toJulianDay();
            day >= -200 && day <= -100)
            expected += platform::Cents::fromDouble(c.number("INV_TOTAL"));
    EXPECT_EQ(run(t, "Invoice Report", options(true, -200, -100), dir, 1.6).back()[4.13],
        moneyText(expected.toDouble()));
}
