// The receivables reports over real tables, run as the catalogue runs them on the clock's day
// and read back from the report file: aging buckets at their boundaries, paid and overpaid
// statements, the small-balance client, bold and plain cells, the date range of statements and
// payments, groups broken by the page, the sales tax sums, CSV, and agreement with the main
// window's aging over a generated practice. The main window's cursors stand on the last client.
#include <random>
#include <sstream>

#include "billing/aging_rules.h"
#include "platform/clock.h"
#include "report_fixture.h"
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

struct Payment
{
    std::string client, check;
    int date;
    double amount;
};

struct Slip
{
    double total;
    std::string taxable;
    double tax, expense = 0;
    int date = 0;
};

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
    void payment(const Payment &p)
    {
        dbf::Cursor c(table("TWPMT"));
        c.append();
        c.setText("PMT_CLIENT", p.client);
        c.setText("PMT_CHECK", p.check);
        c.setText("PMT_DESC", "Payment " + p.check);
        c.setDate("PMT_DATE", dayAt(p.date));
        c.setNumber("PMT_AMOUNT", p.amount);
        c.setNumber("PMT_INVOIC", 1);
        c.post();
    }
    void slip(const Slip &s)
    {
        dbf::Cursor c(table("TWSLIP"));
        c.append();
        c.setNumber("SL_NUMBER", ++slips_);
        c.setText("SL_CLIENT", "C1");
        c.setText("SL_TAXABLE", s.taxable);
        c.setNumber("SL_TAXAMT", s.tax);
        c.setNumber("SL_TOTAL", s.total);
        c.setNumber("SL_EXPAMT", s.expense);
        c.setDate("SL_DATEBEG", dayAt(s.date));
        c.setDate("SL_DATEEND", dayAt(s.date));
        c.post();
    }
    // The rows are written: the main window's cursors stand on the client `current`, the
    // statements and slips in its range.
    void standOn(const QString &current)
    {
        reread();
        clients.findNearest({ current });
        invoices.setRange({ current }, { current });
        slips.setRange({ current }, { current });
    }
    double slips_ = 0;
};

reports::SelectionOptions options(bool detailed = true)
{
    reports::SelectionOptions o = wideOptions(kToday.toJulianDay());
    o.detailed = detailed;
    return o;
}

// Runs the report into the file through the catalogue's run on 12/10/2026.
std::vector<PrintedText> run(ReportTables &t, const std::string &report,
    const reports::SelectionOptions &o, const TempDir &dir, int *pages = nullptr)
{
    using namespace std::chrono;
    ui::ScriptedMessages messages;
    const platform::ManualClock clock(year_month_day(year(2026), month(12), day(10)));
    reports::ReportRun r(t.data(), o, messages, clock);
    const std::string file = (dir.path() / "TWREPORT.RPT").string();
    r.fileName = QString::fromStdString(file);
    reports::RunRequest request;
    request.reportName = QString::fromStdString(report);
    request.subHeading = QStringLiteral("Sub Heading");
    request.font = QStringLiteral("Liberation Serif");
    request.preview = false;
    EXPECT_TRUE(r.run(request, nullptr)) << r.failure().toStdString();
    if (pages)
        *pages = pageCount(file);
    return printedTexts(file);
}

// The body's lines (below the headings, above the footer): per line its texts by X, with the
// page and whether each text is bold.
struct Line
{
    int page;
    double y;
    std::map<double, std::string> at; // X rounded to 0.01 -> text
};

std::vector<Line> bodyLines(const std::vector<PrintedText> &texts, double top)
{
    std::vector<Line> lines;
    for (const PrintedText &p : texts) {
        if (p.y <= top || p.y > 10.2)
            continue;
        if (lines.empty() || lines.back().page != p.page || std::abs(lines.back().y - p.y) > 1e-6)
            lines.push_back({ p.page, p.y, {} });
        lines.back().at[std::round(p.x * 100) / 100] = p.text;
    }
    return lines;
}

std::string at(const Line &l, double x)
{
    const auto it = l.at.find(x);
    return it == l.at.end() ? std::string() : it->second;
}

// Bold state of every text record of the file, in order.
std::vector<std::pair<std::string, bool>> boldness(const std::string &file)
{
    report::ReportFileReader reader;
    reader.open(file);
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
    reports::ReportContext context{ t.data(), o };
    context.today = kToday.toJulianDay();
    reports::BorrowedCursors borrowed(context.data);
    auto layout = reports::makeLayout(*reports::findReport(report), context);
    layout->position();
    std::ostringstream out;
    EXPECT_TRUE(layout->writeCsv(out));
    return out.str();
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
        bodyLines(run(t, "Aged Receivables Report - Detailed", options(), dir), 1.8);
    std::map<std::string, const Line *> byNumber;
    for (const Line &l : lines)
        byNumber[at(l, 0.57)] = &l;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.number);
        const std::string number = std::to_string(int(c.number));
        ASSERT_EQ(byNumber.count(number), c.right != 0 ? 1u : 0u);
        if (c.right == 0)
            continue;
        for (double right : { 4.53, 5.63, 6.73 })
            EXPECT_EQ(
                at(*byNumber[number], right), moneyText(right == c.right ? c.total - c.paid : 0));
    }
    // Acme's ruled total: 150 current, 150 + 300 - 10 over 30, 400 over 60; then Zenith; then
    // the report totals in their own cells.
    ASSERT_EQ(lines.size(), 12u); // Acme: name, six rows, total; Zenith: three; report totals
    EXPECT_EQ(at(lines[7], 4.53), moneyText(150));
    EXPECT_EQ(at(lines[7], 5.63), moneyText(440));
    EXPECT_EQ(at(lines[7], 7.83), moneyText(990));
    EXPECT_EQ(at(lines.back(), 2.05), "Report Totals:");
    EXPECT_EQ(at(lines.back(), 4.63), moneyText(160));
    EXPECT_EQ(at(lines.back(), 7.93), moneyText(1000));
    // Age figured as of the run's day, on the sub heading's line.
    EXPECT_NE(run(t, "Aged Receivables Report - Summary", options(false), dir).size(), 0u);
    const auto all = printedTexts((dir.path() / "TWREPORT.RPT").string());
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const PrintedText &p) {
        return p.text == "Age figured as of 12/10/2026" && std::abs(p.x - 7.95) < 1e-3;
    }));
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
    const std::vector<Line> summary =
        bodyLines(run(t, "Aged Receivables Report - Summary", options(false), dir), 1.8);
    // One line per listed client (Tiny left out), then the totals, which still count Tiny.
    ASSERT_EQ(summary.size(), 3u);
    EXPECT_EQ(at(summary[0], 0.57), "Overpaid");
    EXPECT_EQ(at(summary[0], 4.53), moneyText(-10));
    EXPECT_EQ(at(summary[0], 7.83), moneyText(-10));
    EXPECT_EQ(at(summary[1], 0.57), "Owed");
    EXPECT_EQ(at(summary[2], 7.93), moneyText(240.12));
    const auto bold = boldness((dir.path() / "TWREPORT.RPT").string());
    const std::vector<std::pair<std::string, bool>> owedLine(
        std::find(bold.begin(), bold.end(), std::pair<std::string, bool>{ "Owed", true }),
        std::find(bold.begin(), bold.end(), std::pair<std::string, bool>{ "Owed", true }) + 6);
    EXPECT_EQ(owedLine,
        (std::vector<std::pair<std::string, bool>>{ { "Owed", true }, { "(217)555-0100", false },
            { moneyText(250), true }, { moneyText(0), true }, { moneyText(0), true },
            { moneyText(250), true } }));
    // Detailed: Tiny's name and statements, but no total line.
    const std::vector<Line> detailed =
        bodyLines(run(t, "Aged Receivables Report - Detailed", options(), dir), 1.8);
    ASSERT_EQ(detailed.size(), 11u);
    EXPECT_EQ(at(detailed[6], 0.57), "Tiny");
    EXPECT_EQ(at(detailed[9], 0.57), "170");
    EXPECT_EQ(at(detailed[10], 0.57), "");
    EXPECT_EQ(at(detailed[10], 2.05), "Report Totals:");
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
    t.payment({ "C1", "CHK1", -400, 100 });
    t.payment({ "C2", "CHK2", -3, 20 });
    t.standOn(QStringLiteral("C2"));
    const struct
    {
        int from, to;
        std::vector<std::string> invoices, payments; // first cells of the body, in order
    } cases[] = {
        { -3650, 3650, { "Acme", "1", "2", "Acme Total:", "Bolt", "3", "Bolt Total:", "" },
            { "Acme", "CHK1", "Acme Total:", "Bolt", "CHK2", "Bolt Total:", "" } },
        { -30, 0, { "Acme", "2", "Acme Total:", "Bolt", "3", "Bolt Total:", "" },
            { "Bolt", "CHK2", "Bolt Total:", "" } },
        { -4, -1, { "" }, { "Bolt", "CHK2", "Bolt Total:", "" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.from);
        reports::SelectionOptions o = options();
        o.slipStart = kToday.toJulianDay() + c.from;
        o.slipEnd = kToday.toJulianDay() + c.to;
        for (const auto &[report, expected, firstX] :
            { std::tuple{ "Invoice Report", &c.invoices, 1.73 },
                std::tuple{ "Payment Report", &c.payments, 0.57 } }) {
            TempDir dir;
            std::vector<std::string> first;
            for (const Line &l : bodyLines(run(t, report, o, dir), 1.6))
                first.push_back(l.at.count(0.55) ? l.at.at(0.55) : at(l, firstX));
            EXPECT_EQ(first, *expected) << report;
        }
    }
    TempDir dir;
    const std::vector<Line> lines = bodyLines(run(t, "Invoice Report", options(), dir), 1.6);
    EXPECT_EQ(at(lines[3], 0.55), "Acme Total:");
    EXPECT_EQ(at(lines[3], 4.13), moneyText(300.5));
    EXPECT_EQ(at(lines.back(), 1.77), "Report Totals:");
    EXPECT_EQ(at(lines.back(), 4.13), moneyText(350.5));
    EXPECT_EQ(at(lines.back(), 7.73), moneyText(120));
    EXPECT_EQ(csvOf(t, "Payment Report", options()),
        "Client,Tran. No.,Date,Description,Invoice No.,Payment Amt.\r\n"
        "Acme,CHK1,2025-11-05,Payment CHK1,1,100.00\r\nBolt,CHK2,2026-12-07,Payment "
        "CHK2,1,20.00\r\n");
}

TEST(InvoicePaymentReports, GroupBrokenByThePageRepeatsItsLine)
{
    // The lines a page holds under the heading block, from a group longer than a page.
    const auto build = [](Receivables &t, int rows) {
        t.client({ "C1", "Acme" });
        t.client({ "C2", "Bolt" });
        for (int i = 0; i < rows; ++i)
            t.statement({ double(i + 1), "C1", -1, 30, 1, 0 });
        t.statement({ 999, "C2", -1, 30, 1, 0 });
        t.standOn(QStringLiteral("C2"));
    };
    int perPage = 0;
    {
        Receivables t;
        build(t, 100);
        TempDir dir;
        for (const Line &l : bodyLines(run(t, "Invoice Report", options(), dir), 1.6))
            perPage += l.page == 1;
    }
    // Exactly full with the total; one row more pushes the total over; a page of rows exactly.
    for (const int rows : { perPage - 3, perPage - 2, perPage - 1 }) {
        SCOPED_TRACE(rows);
        Receivables t;
        build(t, rows);
        TempDir dir;
        int pages = 0;
        const std::vector<Line> lines =
            bodyLines(run(t, "Invoice Report", options(), dir, &pages), 1.6);
        ASSERT_EQ(pages, 2);
        std::vector<std::string> page2;
        for (const Line &l : lines)
            if (l.page == 2)
                page2.push_back(l.at.count(0.55) ? l.at.at(0.55) : at(l, 1.73));
        if (rows == perPage - 3)
            EXPECT_EQ(page2, (std::vector<std::string>{ "Bolt", "999", "Bolt Total:", "" }));
        else
            EXPECT_EQ(page2,
                (std::vector<std::string>{
                    "Acme", "Acme Total:", "Bolt", "999", "Bolt Total:", "" }));
        for (const Line &l : lines)
            EXPECT_LT(l.y, 10.0);
    }
}

TEST(SalesTaxReport, TaxableSlipsWithAndWithoutTax)
{
    Receivables t;
    t.client({ "C1", "Acme" });
    t.slip({ 100, "Y", 8 });
    t.slip({ 50, "Y", 0 }); // taxable with zero tax: non-taxable sales
    t.slip({ 30, "N", 3 }); // tax on a slip not marked taxable does not count
    t.slip({ 20, "N", 0, 20 }); // expense
    t.slip({ 40, "Y", 4, 0, -4000 }); // outside the date range
    t.standOn(QStringLiteral("C1"));
    const struct
    {
        bool expenses;
        double tax, total, taxable, nonTaxable;
    } cases[] = { { true, 8, 200, 100, 100 }, { false, 8, 180, 100, 80 } };
    for (const auto &c : cases) {
        reports::SelectionOptions o = options();
        o.includeExpenseSlips = c.expenses;
        TempDir dir;
        const std::vector<Line> lines = bodyLines(run(t, "Sales Tax Report", o, dir), 1.6);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].at,
            (std::map<double, std::string>{ { 1.73, moneyText(c.tax) },
                { 2.93, moneyText(c.total) }, { 4.13, moneyText(c.taxable) },
                { 5.73, moneyText(c.nonTaxable) } }));
    }
    EXPECT_EQ(csvOf(t, "Sales Tax Report", options()),
        "Tax Amount,Total Sales,Taxable Sales,Non-Taxable Sales\r\n8.00,200.00,100.00,100.00\r\n");
}

TEST(Receivables, AgreeWithTheMainWindowOverAGeneratedPractice)
{
    Receivables t;
    std::mt19937_64 rng(20261210);
    std::map<std::string, std::string> numberOf;
    double number = 0;
    for (int i = 0; i < 200; ++i) {
        const std::string n = "N" + std::to_string(1000 + i),
                          name = "Client " + std::to_string(1000 + i);
        t.client({ n, name });
        numberOf[name] = n;
        for (int k = int(rng() % 6); k > 0; --k) {
            const double total = double(rng() % 100000) / 100;
            const int kind = int(rng() % 4); // paid, unpaid, part paid, overpaid
            const double paid = kind == 0 ? total
                : kind == 1               ? 0
                : kind == 2               ? total / 3
                                          : total + 7;
            const int date = -int(rng() % 400);
            t.statement({ ++number, n, date, date + 30, total, paid, total / 11 });
        }
    }
    t.standOn(QStringLiteral("N1150"));
    TempDir dir;
    int pages = 0;
    const std::vector<Line> lines =
        bodyLines(run(t, "Aged Receivables Report - Detailed", options(), dir, &pages), 1.8);
    EXPECT_GT(pages, 5);
    // Each client's statement lines, summed per bucket, against the main window's boxes.
    std::map<std::string, billing::Aging> printed;
    std::string client;
    for (const Line &l : lines) {
        const std::string first = at(l, 0.57);
        if (first.rfind("Client ", 0) == 0)
            client = first;
        else if (!first.empty() && !client.empty()) {
            billing::Aging &a = printed[client];
            for (auto [x, bucket] :
                { std::pair{ 4.53, &a.current }, { 5.63, &a.over30 }, { 6.73, &a.over60 } }) {
                std::string s = at(l, x);
                const bool negative = s.find_first_of("-(") != std::string::npos;
                s.erase(std::remove_if(s.begin(), s.end(),
                            [](char ch) { return !std::isdigit(ch) && ch != '.'; }),
                    s.end());
                *bucket += negative ? -platform::Cents::parse(s) : platform::Cents::parse(s);
            }
        }
    }
    for (const auto &[name, n] : numberOf) {
        SCOPED_TRACE(name);
        const billing::ClientReceivables boxes = billing::clientReceivables(
            QString::fromStdString(n), kToday, t.invoices.cursor(), nullptr);
        EXPECT_EQ(printed[name], boxes.aging);
    }
    // The invoice report's total over a part of the range: every statement dated in it.
    reports::SelectionOptions o = options();
    o.slipStart = kToday.toJulianDay() - 200;
    o.slipEnd = kToday.toJulianDay() - 100;
    platform::Cents expected;
    dbf::Cursor c(t.table("TWINVOIC"));
    for (bool on = c.first(); on; on = c.next()) {
        const std::int64_t day = c.date("INV_DATE").julianDay();
        if (day >= o.slipStart && day <= o.slipEnd)
            expected += platform::Cents::fromDouble(c.number("INV_TOTAL"));
    }
    const std::vector<Line> invoices = bodyLines(run(t, "Invoice Report", o, dir), 1.6);
    EXPECT_EQ(at(invoices.back(), 4.13), moneyText(expected.toDouble()));
}
