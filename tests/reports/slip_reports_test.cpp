// The slip analysis reports over real tables, read back from the report file (texts, cells,
// pages) and their CSV: derived type, status and line total, group and report totals, summaries,
// the listing by number across clients, page breaks before totals, and a generated practice's
// totals against an independent sum over the slip table. During every run the main window's
// slip cursor stands on another client's range and its client cursor on the last client.
#include <array>
#include <map>
#include <sstream>

#include "platform/money.h"
#include "practice_tables.h"
#include "report_fixture.h"
#include "reports/report_format.h"
#include "temp_dir.h"

namespace {

class SlipTables : public ReportTables
{
public:
    void slip(const std::string &client, const std::string &act, double hours, double total,
        double tax = 0, int done = 1, int billed = 0, double expense = 0, double number = 0)
    {
        dbf::Cursor c(table("TWSLIP"));
        c.append();
        c.setNumber("SL_NUMBER", number != 0 ? number : ++m_number);
        c.setText("SL_CLIENT", client);
        c.setText("SL_ACT", act);
        c.setText("SL_EMPLOY", "S1");
        for (const char *f : { "SL_DATEBEG", "SL_DATEEND" })
            c.setDate(f, dbf::Date(2026, 11, 15));
        c.setNumber("SL_HOURS", hours);
        c.setNumber("SL_RATE", 100);
        c.setNumber("SL_TOTAL", total);
        c.setNumber("SL_TAXAMT", tax);
        c.setNumber("SL_EXPAMT", expense);
        c.setInteger("SL_DONE", done);
        c.setInteger("SL_BILLED", billed);
        c.post();
    }
    // As the main window leaves them: slips on client `number`'s range, clients on the last.
    void standOn(const QString &number)
    {
        reread();
        slips.setRange({ number }, { number });
        clients.last();
    }

private:
    double m_number = 0;
};

struct Run
{
    TempDir dir;
    std::vector<PrintedText> texts;
    int pages = 0;
};

std::unique_ptr<Run> run(
    SlipTables &t, const std::string &report, const reports::SelectionOptions &o = wideOptions())
{
    auto r = std::make_unique<Run>();
    const std::string file = (r->dir.path() / "TWREPORT.RPT").string();
    std::string failure;
    EXPECT_TRUE(runToFile(report, t, o, file, &failure)) << failure;
    r->texts = printedTexts(file);
    r->pages = pageCount(file);
    return r;
}

// Anchors of the slip row's cells: left text at cell left + 0.02, right text at cell right - 0.02.
enum Cell { SlipNo, Date, Type = 5, Status, Hours, Rate, Tax, Total };
constexpr double kAnchor[] = { 0.57, 0.97, 1.67, 2.57, 3.47, 3.97, 4.57, 5.68, 6.38, 6.98, 7.98 };

const PrintedText *find(const Run &r, const std::string &text)
{
    for (const PrintedText &p : r.texts)
        if (p.text == text)
            return &p;
    return nullptr;
}

// The text in `cell` on the line of the first `key`.
std::string beside(const Run &r, const std::string &key, Cell cell)
{
    if (const PrintedText *k = find(r, key))
        for (const PrintedText &p : r.texts)
            if (p.page == k->page && p.y == k->y && std::abs(p.x - kAnchor[cell]) < 1e-3)
                return p.text;
    return "<none>";
}

std::string money(double v)
{
    const std::string s = reports::moneyText(v);
    return s.substr(s.find_first_not_of(' '));
}

std::string csvOf(
    SlipTables &t, const std::string &report, const reports::SelectionOptions &o = wideOptions())
{
    return reportCsv(t, report, o);
}

} // namespace

TEST(SlipReports, DerivedValuesTotalsAndExpenseSlips)
{
    SlipTables t;
    t.client({ "A1", "Aardvark" });
    t.client({ "B2", "Beaver" });
    t.activity("CONS", "Consulting", "B");
    t.activity("CONSULT", "Consulting long", "B");
    t.slip("A1", "CONS", 9, 900);
    t.slip("B2", "CONS", 1.5, 120, 9.6, 1, 1); // billed and done: Billed
    t.slip("B2", "CONSULT", 2, 200); // done: Completed
    t.slip("B2", "CONS", 0.25, 25, 0, 0); // neither: Pending
    t.slip("B2", "CONS", 0, 40, 0, 1, 0, 40); // an expense slip
    t.standOn("A1");
    for (const bool expenses : { true, false }) {
        SCOPED_TRACE(expenses);
        reports::SelectionOptions o = wideOptions();
        o.clientBegin = "B";
        o.includeExpenseSlips = expenses;
        const auto r = run(t, "Slip Listing by Client", o);
        EXPECT_EQ(find(*r, "Aardvark"), nullptr);
        std::vector<std::string> rows = textsIn(r->texts, 1, 3.96, 3.98); // heading, rows, totals
        std::vector<std::string> statuses = textsIn(r->texts, 1, 4.56, 4.58);
        std::vector<std::string> expected{ "Type", "Billing", "Billing", "Billing", "Expense",
            "Client Total:", "Report Totals:" };
        std::vector<std::string> expectedStatus{ "Status", "Billed", "Completed", "Pending",
            "Completed" };
        if (!expenses) {
            expected.erase(expected.begin() + 4);
            expectedStatus.pop_back();
        }
        EXPECT_EQ(rows, expected);
        EXPECT_EQ(statuses, expectedStatus);
        // The line total includes the tax.
        EXPECT_EQ(beside(*r, "Billed", Total), money(129.6));
        EXPECT_EQ(beside(*r, "Billed", Hours), "1.50");
        EXPECT_EQ(beside(*r, "Billed", Date), reports::dateText(QDate(2026, 11, 15)));
        for (const char *label : { "Client Total:", "Report Totals:" }) {
            EXPECT_EQ(beside(*r, label, Hours), "3.75") << label;
            EXPECT_EQ(beside(*r, label, Tax), money(9.6)) << label;
            EXPECT_EQ(beside(*r, label, Total), money(expenses ? 394.6 : 354.6)) << label;
        }
        // Activity Totals: slip totals without tax; CONS apart from CONSULT.
        EXPECT_EQ(csvOf(t, "Activity Totals", o),
            std::string("Activity,Description,Total\r\nCONS,Consulting,")
                + (expenses ? "1085.00" : "1045.00") + "\r\nCONSULT,Consulting long,200.00\r\n");
    }
}

TEST(SlipReports, SummariesByNumberAndCsv)
{
    SlipTables t;
    t.client({ "C1", "Clark" });
    t.client({ "D2", "Dalton" });
    t.activity("AUDIT", "Audit work", "B");
    t.activity("IDLE", "No slips", "B");
    t.activity("TAX", "Tax returns", "B");
    t.slip("D2", "TAX", 4, 400, 20, 1, 0, 0, 40);
    for (double h : { 1.5, 2.0, 0.25 })
        t.slip("C1", "AUDIT", h, h * 100);
    t.standOn("D2");
    for (const char *report : { "Slip Summary by Client", "Slip Summary by Activity" }) {
        SCOPED_TRACE(report);
        const auto r = run(t, report);
        EXPECT_EQ(textsIn(r->texts, 1, 5.67, 5.69),
            (std::vector<std::string>{ "Hours", "3.75", "4.00", "7.75" }));
        EXPECT_EQ(find(*r, "No slips"), nullptr);
        EXPECT_EQ(find(*r, reports::dateText(QDate(2026, 11, 15))), nullptr); // no slip rows
        EXPECT_EQ(beside(*r, "Report Totals:", Total), money(795));
    }
    EXPECT_EQ(csvOf(t, "Slip Summary by Client"),
        "Client Name,Client No.,Hours,Tax,Total\r\nClark,C1,3.75,0.00,375.00\r\n"
        "Dalton,D2,4.00,20.00,420.00\r\n");
    const std::string detailed =
        "Activity Code,Description,Slip,Date,Activity,Project,Staff,Type,Status,Hours,Rate,Tax,"
        "Total\r\nAUDIT,Audit work,1,2026-11-15,AUDIT,,S1,Billing,Completed,1.50,100.00,0.00,"
        "150.00\r\nAUDIT,Audit work,2,";
    EXPECT_EQ(csvOf(t, "Slip Listing by Activity").substr(0, detailed.size()), detailed);
    // By number: every client (the client range does not apply), in number order.
    reports::SelectionOptions o = wideOptions();
    o.clientBegin = o.clientEnd = "M";
    const auto r = run(t, "Slip Listing by Number", o);
    EXPECT_EQ(textsIn(r->texts, 1, 0.56, 0.58),
        (std::vector<std::string>{ "Slip", "1", "2", "3", "40" }));
    EXPECT_EQ(beside(*r, "Report Totals:", Total), money(795));
    o.notBilled = false; // nothing qualifies: header and footer only
    const auto none = run(t, "Slip Listing by Number", o);
    EXPECT_EQ(find(*none, "Report Totals:"), nullptr);
    EXPECT_NE(find(*none, "Page 1"), nullptr);
}

TEST(SlipReports, TotalsThatDoNotFitStartTheNextPage)
{
    // Rows the first page takes: slips under one client, activities of Activity Totals.
    const auto fill = [](std::size_t n, bool activities) {
        auto t = std::make_unique<SlipTables>();
        t->client({ "C1", "Client" });
        for (std::size_t i = 0; i < n; ++i) {
            const std::string code = "A" + std::to_string(100 + i);
            if (activities)
                t->activity(code, "Activity " + code, "B");
            t->slip("C1", activities ? code : "WORK", 1, 10);
        }
        t->standOn("C1");
        return t;
    };
    std::size_t slipsPerPage = 0, activitiesPerPage = 0;
    const auto slips = run(*fill(80, false), "Slip Listing by Client");
    const auto activities = run(*fill(80, true), "Activity Totals");
    for (const PrintedText &p : slips->texts)
        slipsPerPage += p.page == 1 && p.text == "Billing";
    for (const PrintedText &p : activities->texts)
        activitiesPerPage += p.page == 1 && p.text.rfind("Activity A", 0) == 0;
    ASSERT_GT(slipsPerPage, 30u);
    ASSERT_GT(activitiesPerPage, 30u);
    const struct
    {
        const char *report;
        std::size_t rows;
        const char *total;
        int totalPage, reportTotalPage;
    } cases[] = {
        { "Slip Listing by Client", slipsPerPage, "Client Total:", 2, 2 }, // page full
        { "Slip Listing by Client", slipsPerPage - 1, "Client Total:", 2, 2 }, // 2 lines left
        { "Slip Listing by Client", slipsPerPage - 2, "Client Total:", 1, 2 }, // 3 lines left
        { "Activity Totals", activitiesPerPage, "Report Totals:", 2, 2 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.report) + " " + std::to_string(c.rows));
        const bool totals = std::string(c.report) == "Activity Totals";
        const auto r = run(*fill(c.rows, totals), c.report);
        ASSERT_NE(find(*r, c.total), nullptr);
        EXPECT_EQ(find(*r, c.total)->page, c.totalPage);
        EXPECT_EQ(find(*r, "Report Totals:")->page, c.reportTotalPage);
        EXPECT_EQ(r->pages, 2);
        // The new page repeats the page heading, not the group line; nothing below the area.
        int groupLines = 0, headings = 0;
        for (const PrintedText &p : r->texts) {
            groupLines += p.text == "Client";
            headings += p.text == (totals ? "Description" : "Client Name");
            if (p.text.rfind("Page ", 0) != 0 && p.text.rfind("Date: ", 0) != 0) {
                EXPECT_LE(p.y, 10.0) << p.text;
            }
        }
        EXPECT_EQ(groupLines, totals ? 0 : 1);
        EXPECT_EQ(headings, 2);
    }
}

TEST(SlipReports, GeneratedPracticeAgreesWithTheSlipTable)
{
    bench::PracticeSize size;
    size.clients = 200;
    size.staff = 10;
    size.activities = 40;
    size.projects = 400;
    size.slips = 4000;
    size.statements = 400;
    size.payments = 200;
    SlipTables t;
    loadPractice(t, size, 20261210, { "TWCLIENT", "TWSLIP", "TWACT" },
        [](const std::string &name, dbf::Cursor &c, std::size_t n) {
            // What the generator leaves out: tax, expenses, pending slips, active clients.
            if (name == "TWSLIP") {
                c.setNumber("SL_TAXAMT", double(n % 7) * 1.25);
                c.setNumber("SL_EXPAMT", n % 11 == 0 ? 12.5 : 0.0);
                c.setInteger("SL_DONE", n % 5 == 0 && c.number("SL_BILLED") == 0 ? 0 : 1);
                c.setDate("SL_DATEEND", c.date("SL_DATEBEG"));
            } else if (name == "TWCLIENT") {
                c.setText("ACTIVE", "Y");
                c.setInteger("CYCLE", 1);
            }
        });
    t.standOn(QString::fromStdString(bench::clientCode(7)));
    // Unbilled slips from 2021 on, summed straight from the table in cents.
    const dbf::Date from(2021, 1, 1);
    reports::SelectionOptions o = wideOptions();
    o.billed = false;
    o.slipStart = from.julianDay();
    std::map<std::string, std::array<long long, 3>> perClient; // hours x 100, tax, total
    std::array<long long, 3> all{};
    dbf::Cursor c(t.table("TWSLIP"));
    for (bool on = c.first(); on; on = c.next()) {
        if (c.number("SL_BILLED") != 0 || c.date("SL_DATEBEG") < from)
            continue;
        const long long tax = std::llround(c.number("SL_TAXAMT") * 100);
        const std::array<long long, 3> v{ std::llround(c.number("SL_HOURS") * 100), tax,
            std::llround(c.number("SL_TOTAL") * 100) + tax };
        for (std::size_t i = 0; i < 3; ++i) {
            perClient[c.text("SL_CLIENT")][i] += v[i];
            all[i] += v[i];
        }
    }
    ASSERT_GT(perClient.size(), 150u);
    const auto plain = [](long long h) { return platform::Cents::fromCents(h).toPlainString(); };
    for (const char *report :
        { "Slip Listing by Number", "Slip Listing by Client", "Slip Summary by Activity" }) {
        const auto r = run(t, report, o);
        EXPECT_EQ(beside(*r, "Report Totals:", Hours), plain(all[0])) << report;
        EXPECT_EQ(beside(*r, "Report Totals:", Tax), money(double(all[1]) / 100)) << report;
        EXPECT_EQ(beside(*r, "Report Totals:", Total), money(double(all[2]) / 100)) << report;
    }
    // Per client, the summary's CSV: the last four fields (a name may hold a comma).
    std::istringstream csv(csvOf(t, "Slip Summary by Client", o));
    std::string line;
    std::getline(csv, line);
    std::size_t rows = 0;
    for (; std::getline(csv, line); ++rows) {
        std::vector<std::string> f;
        std::stringstream fields(line.substr(0, line.size() - 1));
        for (std::string x; std::getline(fields, x, ',');)
            f.push_back(x);
        ASSERT_GE(f.size(), 5u) << line;
        const auto &s = perClient[f[f.size() - 4]];
        EXPECT_EQ(std::vector<std::string>(f.end() - 3, f.end()),
            (std::vector<std::string>{ plain(s[0]), plain(s[1]), plain(s[2]) }))
            << line;
    }
    EXPECT_EQ(rows, perClient.size());
}
