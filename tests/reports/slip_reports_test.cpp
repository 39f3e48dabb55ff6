// The slip analysis reports over real tables, read back from the report file: the slip row's
// derived type, status and line total, group and report totals, the page breaks of a group that
// fills the page, the listing by number across clients, activity totals, their CSV, and the
// totals of a generated practice against an independent sum over the slip table. The main
// window's slip cursor stands on a range of another client and its client cursor on the last
// client during every run.
#include <algorithm>
#include <map>
#include <sstream>

#include "platform/money.h"
#include "practice.h"
#include "report_fixture.h"
#include "reports/report_format.h"
#include "temp_dir.h"

namespace {

struct Slip
{
    std::string client, act = "WORK", staff = "S1", project;
    double hours = 1, rate = 100, total = 100, tax = 0, expense = 0;
    int done = 1, billed = 0;
    dbf::Date date = dbf::Date(2026, 11, 15);
    double number = 0; // 0: the next number
};

class SlipTables : public ReportTables
{
public:
    void slip(const Slip &s)
    {
        dbf::Cursor c(table("TWSLIP"));
        c.append();
        c.setNumber("SL_NUMBER", s.number != 0 ? s.number : ++m_number);
        c.setText("SL_CLIENT", s.client);
        c.setText("SL_ACT", s.act);
        c.setText("SL_EMPLOY", s.staff);
        c.setText("SL_PROJECT", s.project);
        c.setDate("SL_DATEBEG", s.date);
        c.setDate("SL_DATEEND", s.date);
        c.setNumber("SL_HOURS", s.hours);
        c.setNumber("SL_RATE", s.rate);
        c.setNumber("SL_TOTAL", s.total);
        c.setNumber("SL_TAXAMT", s.tax);
        c.setNumber("SL_EXPAMT", s.expense);
        c.setInteger("SL_DONE", s.done);
        c.setInteger("SL_BILLED", s.billed);
        c.setNumber("SL_INVOICE", s.billed ? 1 : -1);
        c.post();
    }

    // As the main window leaves them: the slip cursor on the range of client `number`, the
    // client cursor on the last client.
    void standOn(const QString &number)
    {
        reread();
        slips.setRange({ number }, { number });
        clients.last();
    }

private:
    double m_number = 0;
};

std::string rpt(const TempDir &dir)
{
    return (dir.path() / "TWREPORT.RPT").string();
}

std::vector<PrintedText> run(SlipTables &t, const std::string &report,
    const reports::SelectionOptions &o, const TempDir &dir)
{
    std::string failure;
    EXPECT_TRUE(runToFile(report, t, o, rpt(dir), &failure)) << failure;
    EXPECT_EQ(failure, "");
    return printedTexts(rpt(dir));
}

// The anchors of the slip row's cells: left text at the cell's left + 0.02, right text's right
// edge at the cell's right - 0.02.
enum Cell { SlipNo, Date, Act, Project, Staff, Type, Status, Hours, Rate, Tax, Total };
constexpr double kAnchor[] = { 0.57, 0.97, 1.67, 2.57, 3.47, 3.97, 4.57, 5.68, 6.38, 6.98, 7.98 };

// The text of a cell on the line whose text at `x` is `key` (the first such line).
std::string cellBeside(
    const std::vector<PrintedText> &texts, double keyX, const std::string &key, Cell cell)
{
    for (const PrintedText &k : texts)
        if (std::abs(k.x - keyX) < 1e-3 && k.text == key)
            for (const PrintedText &p : texts)
                if (p.page == k.page && std::abs(p.y - k.y) < 1e-6
                    && std::abs(p.x - kAnchor[cell]) < 1e-3)
                    return p.text;
    return "<none>";
}

const PrintedText *find(const std::vector<PrintedText> &texts, const std::string &text)
{
    for (const PrintedText &p : texts)
        if (p.text == text)
            return &p;
    return nullptr;
}

std::string money(double v)
{
    std::string s = reports::moneyText(v);
    return s.substr(s.find_first_not_of(' '));
}

std::string csvOf(SlipTables &t, const std::string &report, const reports::SelectionOptions &o)
{
    reports::ReportContext context{ t.data(), o };
    reports::BorrowedCursors borrowed(context.data);
    auto layout = reports::makeLayout(*reports::findReport(report), context);
    layout->position();
    std::ostringstream out;
    EXPECT_TRUE(layout->writeCsv(out));
    return out.str();
}

} // namespace

TEST(SlipReports, RowsTypesStatusesAndTotals)
{
    SlipTables t;
    t.client({ "A1", "Aardvark" });
    t.client({ "B2", "Beaver" });
    t.activity("CONS", "Consulting", "B");
    t.activity("CONSULT", "Consulting long", "B");
    t.slip({ .client = "A1", .hours = 9 });
    // Billed wins over done; done without billed is Completed; neither is Pending.
    t.slip({ .client = "B2",
        .act = "CONS",
        .hours = 1.5,
        .rate = 80,
        .total = 120,
        .tax = 9.6,
        .done = 1,
        .billed = 1 });
    t.slip({ .client = "B2", .act = "CONSULT", .hours = 2, .total = 200, .done = 1 });
    t.slip({ .client = "B2", .act = "CONS", .hours = 0.25, .total = 25, .done = 0 });
    t.slip({ .client = "B2",
        .act = "CONS",
        .hours = 0,
        .rate = 0,
        .total = 40,
        .expense = 40,
        .done = 1 });
    t.standOn("A1");

    const struct
    {
        bool expenses;
        std::vector<std::string> statuses, types;
        double hours, tax, total;
    } cases[] = {
        { true, { "Billed", "Completed", "Pending", "Completed" },
            { "Billing", "Billing", "Billing", "Expense" }, 3.75, 9.6, 394.6 },
        { false, { "Billed", "Completed", "Pending" }, { "Billing", "Billing", "Billing" }, 3.75,
            9.6, 354.6 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expenses);
        reports::SelectionOptions o = wideOptions();
        o.clientBegin = "B";
        o.includeExpenseSlips = c.expenses;
        TempDir dir;
        const std::vector<PrintedText> texts = run(t, "Slip Listing by Client", o, dir);
        EXPECT_EQ(find(texts, "Aardvark"), nullptr);
        const PrintedText *name = find(texts, "Beaver");
        ASSERT_NE(name, nullptr);
        EXPECT_NEAR(name->x, 0.57, 1e-3);
        EXPECT_EQ(cellBeside(texts, 0.57, "Beaver", SlipNo), "Beaver");
        std::vector<std::string> statuses = textsIn(texts, 1, 4.56, 4.58);
        std::vector<std::string> types = textsIn(texts, 1, 3.96, 3.98);
        statuses.erase(statuses.begin()); // the heading
        types.erase(types.begin());
        types.pop_back(); // "Client Total:" and "Report Totals:" in the Type cell
        types.pop_back();
        EXPECT_EQ(statuses, c.statuses);
        EXPECT_EQ(types, c.types);
        // The line total includes the tax.
        EXPECT_EQ(cellBeside(texts, 0.57, "2", Total), money(129.6));
        EXPECT_EQ(cellBeside(texts, 0.57, "2", Tax), money(9.6));
        EXPECT_EQ(cellBeside(texts, 0.57, "2", Hours), "1.50");
        EXPECT_EQ(cellBeside(texts, 0.57, "2", Date), reports::dateText(QDate(2026, 11, 15)));
        for (const char *label : { "Client Total:", "Report Totals:" }) {
            SCOPED_TRACE(label);
            EXPECT_EQ(cellBeside(texts, 3.97, label, Hours), reports::hoursText(c.hours).substr(4));
            EXPECT_EQ(cellBeside(texts, 3.97, label, Tax), money(c.tax));
            EXPECT_EQ(cellBeside(texts, 3.97, label, Total), money(c.total));
        }
    }

    // Activity Totals: the slip totals without tax, the expense slip by the same option, and
    // CONS and CONSULT apart although one code begins the other.
    for (const bool expenses : { true, false }) {
        reports::SelectionOptions o = wideOptions();
        o.includeExpenseSlips = expenses;
        TempDir dir;
        const std::vector<PrintedText> texts = run(t, "Activity Totals", o, dir);
        std::vector<std::string> totals = textsIn(texts, 1, 5.02, 5.04);
        EXPECT_EQ(totals,
            (std::vector<std::string>{
                "Total", money(expenses ? 185 : 145), money(200), money(expenses ? 385 : 345) }));
        EXPECT_EQ(textsIn(texts, 1, 0.56, 0.58),
            (std::vector<std::string>{ "Activity", "CONS", "CONSULT" }));
    }
}

TEST(SlipReports, SummariesOneLinePerGroup)
{
    SlipTables t;
    t.client({ "C1", "Clark" });
    t.client({ "D2", "Dalton" });
    t.activity("AUDIT", "Audit work", "B");
    t.activity("TAX", "Tax returns", "B");
    t.activity("IDLE", "No slips", "B");
    for (double h : { 1.5, 2.0, 0.25 })
        t.slip({ .client = "C1", .act = "AUDIT", .hours = h, .total = h * 100 });
    t.slip({ .client = "D2", .act = "TAX", .hours = 4, .total = 400, .tax = 20 });
    t.standOn("D2");
    const struct
    {
        const char *report;
        std::vector<std::pair<std::string, std::string>> groups; // left text, hours
    } cases[] = {
        { "Slip Summary by Client", { { "Clark", "3.75" }, { "Dalton", "4.00" } } },
        { "Slip Summary by Activity", { { "AUDIT", "3.75" }, { "TAX", "4.00" } } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.report);
        TempDir dir;
        const std::vector<PrintedText> texts = run(t, c.report, wideOptions(), dir);
        for (const auto &[left, hours] : c.groups)
            EXPECT_EQ(cellBeside(texts, 0.57, left, Hours), hours) << left;
        EXPECT_EQ(find(texts, "No slips"), nullptr);
        EXPECT_EQ(find(texts, "Client Total:"), nullptr);
        // No slip rows: the only texts in the Date column are the activity descriptions'
        // neighbours, never a date.
        EXPECT_EQ(find(texts, reports::dateText(QDate(2026, 11, 15))), nullptr);
        EXPECT_EQ(cellBeside(texts, 3.97, "Report Totals:", Hours), "7.75");
        EXPECT_EQ(cellBeside(texts, 3.97, "Report Totals:", Total), money(795));
    }
    // The CSV: one row per group with the plain sums; the detailed: one row per slip.
    EXPECT_EQ(csvOf(t, "Slip Summary by Client", wideOptions()),
        "Client Name,Client No.,Hours,Tax,Total\r\nClark,C1,3.75,0.00,375.00\r\n"
        "Dalton,D2,4.00,20.00,420.00\r\n");
    EXPECT_EQ(csvOf(t, "Slip Listing by Activity", wideOptions()),
        "Activity Code,Description,Slip,Date,Activity,Project,Staff,Type,Status,Hours,Rate,Tax,"
        "Total\r\nAUDIT,Audit work,1,2026-11-15,AUDIT,,S1,Billing,Completed,1.50,100.00,0.00,150.00"
        "\r\nAUDIT,Audit work,2,2026-11-15,AUDIT,,S1,Billing,Completed,2.00,100.00,0.00,200.00\r\n"
        "AUDIT,Audit work,3,2026-11-15,AUDIT,,S1,Billing,Completed,0.25,100.00,0.00,25.00\r\n"
        "TAX,Tax returns,4,2026-11-15,TAX,,S1,Billing,Completed,4.00,100.00,20.00,420.00\r\n");
    EXPECT_EQ(csvOf(t, "Activity Totals", wideOptions()),
        "Activity,Description,Total\r\nAUDIT,Audit work,375.00\r\nTAX,Tax returns,400.00\r\n");
}

TEST(SlipReports, ByNumberAcrossClientsInNumberOrder)
{
    SlipTables t;
    t.client({ "Z9", "Zulu" });
    t.client({ "A1", "Alpha" });
    t.slip({ .client = "Z9", .number = 30 });
    t.slip({ .client = "A1", .number = 10 });
    t.slip({ .client = "Z9", .number = 20 });
    t.slip({ .client = "A1", .billed = 1, .number = 40 });
    t.standOn("A1");
    reports::SelectionOptions o = wideOptions();
    o.clientBegin = "M"; // the client range does not apply
    o.clientEnd = "N";
    o.billed = false;
    TempDir dir;
    const std::vector<PrintedText> texts = run(t, "Slip Listing by Number", o, dir);
    EXPECT_EQ(
        textsIn(texts, 1, 0.56, 0.58), (std::vector<std::string>{ "Slip", "10", "20", "30" }));
    EXPECT_EQ(cellBeside(texts, 3.97, "Report Totals:", Total), money(300));
    EXPECT_EQ(csvOf(t, "Slip Listing by Number", o).substr(0, 64),
        "Slip,Date,Activity,Project,Staff,Type,Status,Hours,Rate,Tax,Tota");

    // Nothing qualifies: the header and footer only.
    o.notBilled = false;
    TempDir none;
    const std::vector<PrintedText> empty = run(t, "Slip Listing by Number", o, none);
    EXPECT_EQ(find(empty, "Report Totals:"), nullptr);
    EXPECT_NE(find(empty, "Page 1"), nullptr);
}

TEST(SlipReports, GroupFillingThePageBreaksBeforeItsTotal)
{
    // How many slips the first page holds under one group line.
    std::size_t perPage = 0;
    {
        SlipTables t;
        t.client({ "C1", "Client" });
        for (int i = 0; i < 80; ++i)
            t.slip({ .client = "C1" });
        t.standOn("C1");
        TempDir dir;
        const std::vector<PrintedText> texts = run(t, "Slip Listing by Client", wideOptions(), dir);
        for (const PrintedText &p : texts)
            perPage += p.page == 1 && std::abs(p.x - kAnchor[Type]) < 1e-3 && p.text == "Billing";
        ASSERT_GT(perPage, 30u);
    }
    const struct
    {
        std::size_t slips;
        int totalPage, reportTotalPage;
    } cases[] = {
        { perPage, 2, 2 }, // the page is full: total and report totals on the next page
        { perPage - 1, 2, 2 }, // two lines left: the three lines of the total do not fit
        { perPage - 2, 1, 2 }, // the total fits; the report totals do not
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.slips);
        SlipTables t;
        t.client({ "C1", "Client" });
        for (std::size_t i = 0; i < c.slips; ++i)
            t.slip({ .client = "C1" });
        t.standOn("C1");
        TempDir dir;
        const std::vector<PrintedText> texts = run(t, "Slip Listing by Client", wideOptions(), dir);
        ASSERT_NE(find(texts, "Client Total:"), nullptr);
        EXPECT_EQ(find(texts, "Client Total:")->page, c.totalPage);
        EXPECT_EQ(find(texts, "Report Totals:")->page, c.reportTotalPage);
        EXPECT_EQ(pageCount(rpt(dir)), 2);
        // The new page repeats the page heading, not the group line; nothing below the area.
        int groupLines = 0, headings = 0;
        for (const PrintedText &p : texts) {
            groupLines += p.text == "Client";
            headings += p.text == "Client Name";
            if (p.text.rfind("Page ", 0) != 0 && p.text.rfind("Date: ", 0) != 0)
                EXPECT_LE(p.y, 10.0) << p.text;
        }
        EXPECT_EQ(groupLines, 1);
        EXPECT_EQ(headings, 2);
    }
}

TEST(SlipReports, ActivityTotalsOnAFullPageGoToTheNext)
{
    // Rows a page holds, then exactly that many activities.
    std::size_t perPage = 0;
    for (int pass = 0; pass < 2; ++pass) {
        SlipTables t;
        const std::size_t n = pass == 0 ? 80 : perPage;
        for (std::size_t i = 0; i < n; ++i) {
            const std::string code = "A" + std::to_string(100 + i);
            t.activity(code, "Activity " + code, "B");
            t.slip({ .client = "C1", .act = code, .total = 10 });
        }
        t.client({ "C1", "Client" });
        t.standOn("C1");
        TempDir dir;
        const std::vector<PrintedText> texts = run(t, "Activity Totals", wideOptions(), dir);
        const PrintedText *total = find(texts, "Report Totals:");
        ASSERT_NE(total, nullptr);
        if (pass == 0) {
            for (const PrintedText &p : texts)
                perPage += p.page == 1 && p.text.rfind("Activity A", 0) == 0;
            ASSERT_GT(perPage, 30u);
            continue;
        }
        EXPECT_EQ(total->page, 2);
        EXPECT_EQ(pageCount(rpt(dir)), 2);
        EXPECT_NEAR(total->x, 1.57, 1e-3);
        EXPECT_LE(total->y, 10.0);
        // Page 2: the heading block and the report total, the sum of every page.
        EXPECT_EQ(textsIn(texts, 2, 5.02, 5.04),
            (std::vector<std::string>{ "Total", money(10.0 * double(perPage)) }));
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
    const auto practice = bench::generatePractice(size, 20261210);
    SlipTables t;
    for (const bench::GeneratedTable &g : practice) {
        const std::string name(g.def->name);
        if (name != "TWCLIENT" && name != "TWSLIP" && name != "TWACT")
            continue;
        dbf::Table &table = t.table(name);
        dbf::Cursor c(table);
        std::size_t n = 0;
        for (const bench::Row &row : g.rows) {
            c.append();
            for (std::size_t i = 0; i < g.def->fields.size(); ++i) {
                const dbf::FieldDef &f = g.def->fields[i];
                if (f.type == dbf::FieldType::Numeric || f.type == dbf::FieldType::Float)
                    c.setNumber(f.name, row.number[i]);
                else if (f.type != dbf::FieldType::Memo)
                    c.setText(f.name, row.text[i]);
            }
            // Tax, expenses and pending slips, which the generator leaves out; every client
            // active in cycle 1.
            if (name == "TWSLIP") {
                c.setNumber("SL_TAXAMT", double(n % 7) * 1.25);
                c.setNumber("SL_EXPAMT", n % 11 == 0 ? 12.5 : 0.0);
                c.setInteger("SL_DONE", n % 5 == 0 && c.number("SL_BILLED") == 0 ? 0 : 1);
                c.setDate("SL_DATEEND", c.date("SL_DATEBEG"));
            } else if (name == "TWCLIENT") {
                c.setText("ACTIVE", "Y");
                c.setInteger("CYCLE", 1);
            }
            c.post();
            ++n;
        }
    }
    t.standOn(QString::fromStdString(bench::clientCode(7)));

    // Unbilled slips only, from the middle of the dates on.
    dbf::Date middle;
    {
        std::vector<dbf::Date> dates;
        dbf::Cursor c(t.table("TWSLIP"));
        for (bool on = c.first(); on; on = c.next())
            dates.push_back(c.date("SL_DATEBEG"));
        std::sort(dates.begin(), dates.end());
        middle = dates[dates.size() / 2];
    }
    reports::SelectionOptions o = wideOptions();
    o.billed = false;
    o.slipStart = middle.julianDay();

    // The independent sum: every record of the slip table, read with the table engine.
    struct Sums
    {
        long long hundredthsOfHours = 0, tax = 0, total = 0;
    };
    std::map<std::string, Sums> perClient;
    Sums all;
    {
        dbf::Cursor c(t.table("TWSLIP"));
        for (bool on = c.first(); on; on = c.next()) {
            if (c.number("SL_BILLED") != 0 || c.date("SL_DATEBEG") < middle)
                continue;
            Sums &s = perClient[c.text("SL_CLIENT")];
            const long long h = std::llround(c.number("SL_HOURS") * 100);
            const long long tax = std::llround(c.number("SL_TAXAMT") * 100);
            const long long total = std::llround(c.number("SL_TOTAL") * 100) + tax;
            for (Sums *x : { &s, &all }) {
                x->hundredthsOfHours += h;
                x->tax += tax;
                x->total += total;
            }
        }
    }
    ASSERT_GT(perClient.size(), 150u);
    const auto plain = [](long long hundredths) {
        return platform::Cents::fromCents(hundredths).toPlainString();
    };

    for (const char *report :
        { "Slip Listing by Number", "Slip Listing by Client", "Slip Summary by Activity" }) {
        SCOPED_TRACE(report);
        TempDir dir;
        const std::vector<PrintedText> texts = run(t, report, o, dir);
        EXPECT_EQ(cellBeside(texts, 3.97, "Report Totals:", Hours),
            reports::hoursText(double(all.hundredthsOfHours) / 100)
                .substr(reports::hoursText(double(all.hundredthsOfHours) / 100)
                            .find_first_not_of(' ')));
        EXPECT_EQ(cellBeside(texts, 3.97, "Report Totals:", Tax), money(double(all.tax) / 100));
        EXPECT_EQ(cellBeside(texts, 3.97, "Report Totals:", Total), money(double(all.total) / 100));
    }
    // Per client, from the summary's CSV.
    std::istringstream csv(csvOf(t, "Slip Summary by Client", o));
    std::string line;
    std::getline(csv, line);
    std::size_t rows = 0;
    while (std::getline(csv, line)) {
        line.pop_back(); // CR
        // The last four fields (a name may hold a comma): number, hours, tax, total.
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string x; std::getline(fields, x, ',');)
            f.push_back(x);
        ASSERT_GE(f.size(), 5u) << line;
        f.erase(f.begin(), f.end() - 4);
        const Sums &s = perClient[f[0]];
        EXPECT_EQ(f[1], plain(s.hundredthsOfHours)) << f[0];
        EXPECT_EQ(f[2], plain(s.tax)) << f[0];
        EXPECT_EQ(f[3], plain(s.total)) << f[0];
        ++rows;
    }
    EXPECT_EQ(rows, perClient.size());
}
