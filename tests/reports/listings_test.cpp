// The four listings over real tables, read back from the report file: which records each range
// takes, the columns and their positions, the page filling, clipping of long values, and the
// page of a selection that finds nothing.
#include <algorithm>

#include "reports/report_format.h"
#include "reports/report_frame.h"
#include "report_fixture.h"
#include "temp_dir.h"

namespace {

std::string rptFile(const TempDir &dir)
{
    return (dir.path() / "TWREPORT.RPT").string();
}

// The rows' names in the Client column (text starting at 0.55 + the cell margin), below the
// heading row.
std::vector<std::string> clientColumn(const std::vector<PrintedText> &texts, int page = 1)
{
    std::vector<std::string> out;
    for (const PrintedText &t : texts)
        if (t.page == page && std::abs(t.x - 0.57) < 1e-4 && t.y > 1.6 && t.y < 10)
            out.push_back(t.text);
    return out;
}

} // namespace

TEST(Listings, ClientRangeCycleAndInactives)
{
    ReportTables t;
    for (const char *name : { "A", "Abbot", "B", "C", "Ca", "D" })
        t.client({ std::string("N") + name, name });
    t.client({ "IN1", "Bx inactive", "N" });
    t.client({ "CY5", "Bz cycle five", "Y", 5 });
    t.reread();
    const struct
    {
        const char *what;
        const char *begin, *end;
        bool inactives;
        int cycleFrom, cycleTo;
        std::vector<std::string> names;
    } cases[] = {
        { "End C takes C, not Ca", "B", "C", false, 1, 10, { "B", "Bz cycle five", "C" } },
        { "Begin between names", "Ab", "B", false, 1, 10, { "Abbot", "B" } },
        { "inactives asked", "B", "By", true, 1, 10, { "B", "Bx inactive" } },
        { "cycle 5 only", "", "\xff", false, 5, 5, { "Bz cycle five" } },
        { "cycle 1..4", "Bx", "Bz zz", true, 1, 4, { "Bx inactive" } },
        { "nothing", "E", "F", false, 1, 10, {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        reports::SelectionOptions o = wideOptions();
        o.clientBegin = c.begin;
        o.clientEnd = c.end;
        o.includeInactives = c.inactives;
        o.cycleFrom = c.cycleFrom;
        o.cycleTo = c.cycleTo;
        TempDir out;
        ASSERT_TRUE(runToFile("Client Listing", t, o, rptFile(out)));
        EXPECT_EQ(clientColumn(printedTexts(rptFile(out))), c.names);
        EXPECT_EQ(pageCount(rptFile(out)), 1);
    }
}

TEST(Listings, RowsOfEachListingInTheirColumns)
{
    ReportTables t;
    ClientRow acme("000042", "Acme Ltd");
    acme.contact = "Jo Smith";
    acme.phone = "555-1234   ";
    acme.fax = "555-9999";
    t.client(acme);
    t.activity("CONSULT", "Consulting", "B", 7.25, 120, 0, "Y");
    t.activity("COPIES", "Copies", "E", 0, 0, 0.1);
    t.activity("POSTAGE", "Postage", "X", 0, 0, 2.5);
    t.staff("007", "James Bond", "123-45-6789", 95.5);
    t.project("000042", "AUDIT", "Annual audit");
    t.reread();
    using reports::moneyText;
    const struct
    {
        const char *report;
        std::vector<std::pair<double, std::string>> heading; // x of the cell's text, title
        std::vector<std::pair<double, std::string>> firstRow;
    } cases[] = {
        { "Client Listing",
            { { 0.57, "Client" }, { 3.07, "Number" }, { 3.87, "Contact" }, { 5.87, "Phone" },
                { 7.07, "Fax" } },
            { { 0.57, "Acme Ltd" }, { 3.07, "000042" }, { 3.87, "Jo Smith" }, { 5.87, "555-1234" },
                { 7.07, "555-9999" } } },
        { "Activity Listing",
            { { 0.57, "Activity" }, { 1.57, "Description" }, { 3.95, "Taxable" },
                { 5.13, "Tax Rate" }, { 5.17, "Type" }, { 6.93, "Rate 1" },
                { 7.93, "Flat Amt." } },
            { { 0.57, "CONSULT" }, { 1.57, "Consulting" }, { 3.95, "Y" }, { 5.13, "    7.25" },
                { 5.17, "Billing" }, { 6.93, moneyText(120) }, { 7.93, moneyText(0) } } },
        { "Staff Listing",
            { { 0.57, "Staff" }, { 1.37, "Name" }, { 3.37, "S.S.N." }, { 5.13, "Rate 1" } },
            { { 0.57, "007" }, { 1.37, "James Bond" }, { 3.37, "123-45-6789" },
                { 5.13, moneyText(95.5) } } },
        { "Project Listing", { { 0.57, "Project" }, { 1.57, "Description" }, { 3.57, "Client" } },
            { { 0.57, "AUDIT" }, { 1.57, "Annual audit" }, { 3.57, "000042" } } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.report);
        TempDir out;
        ASSERT_TRUE(runToFile(c.report, t, wideOptions(), rptFile(out)));
        const std::vector<PrintedText> texts = printedTexts(rptFile(out));
        // Heading row, bold 14 point, then the first row: the two lines below the title rule.
        std::vector<double> lines;
        for (const PrintedText &p : texts)
            if (p.y > 1.3 && p.y < 9.5 && std::find(lines.begin(), lines.end(), p.y) == lines.end())
                lines.push_back(p.y);
        ASSERT_GE(lines.size(), 2u);
        std::sort(lines.begin(), lines.end());
        for (auto [expected, row] : { std::pair{ &c.heading, lines[0] },
                 std::pair{ &c.firstRow, lines[1] } }) {
            std::vector<std::pair<double, std::string>> got;
            for (const PrintedText &p : texts)
                if (p.y == row)
                    got.push_back({ std::round(p.x * 100) / 100, p.text });
            EXPECT_EQ(got, *expected);
        }
    }
    // Every type other than "B" lists as Expense.
    TempDir out;
    ASSERT_TRUE(runToFile("Activity Listing", t, wideOptions(), rptFile(out)));
    const auto types = textsIn(printedTexts(rptFile(out)), 1, 5.16, 5.18);
    EXPECT_EQ(types, (std::vector<std::string>{ "Type", "Billing", "Expense", "Expense" }));
}

TEST(Listings, ExactlyOnePageAndOneRowMore)
{
    // How many rows a page takes, from a long listing: the last row of page 1 leaves less than
    // a line above the area's bottom at 10 inches.
    ReportTables many;
    for (int i = 0; i < 80; ++i)
        many.client({ "C" + std::to_string(100 + i), "Client " + std::to_string(100 + i) });
    many.reread();
    TempDir out;
    ASSERT_TRUE(runToFile("Client Listing", many, wideOptions(), rptFile(out)));
    const std::vector<PrintedText> all = printedTexts(rptFile(out));
    const std::vector<std::string> first = clientColumn(all, 1);
    const std::size_t perPage = first.size();
    ASSERT_GT(perPage, 40u);
    double lastY = 0;
    for (const PrintedText &p : all)
        if (p.page == 1 && p.text == first.back())
            lastY = p.y;
    EXPECT_GT(10 - lastY, 0.0);
    EXPECT_LT(10 - lastY, 1.0 / 6 + 0.06);

    for (const std::size_t n : { perPage, perPage + 1 }) {
        SCOPED_TRACE(n);
        ReportTables t;
        for (std::size_t i = 0; i < n; ++i)
            t.client({ "C" + std::to_string(100 + i), "Client " + std::to_string(100 + i) });
        t.reread();
        TempDir o;
        ASSERT_TRUE(runToFile("Client Listing", t, wideOptions(), rptFile(o)));
        const std::vector<PrintedText> texts = printedTexts(rptFile(o));
        ASSERT_EQ(pageCount(rptFile(o)), n == perPage ? 1 : 2);
        if (n == perPage)
            continue;
        // The second page: title band, sub heading, the full heading block and the last row.
        EXPECT_EQ(clientColumn(texts, 2),
            (std::vector<std::string>{ "Client " + std::to_string(100 + n - 1) }));
        std::vector<std::string> words;
        for (const PrintedText &p : texts)
            if (p.page == 2)
                words.push_back(p.text);
        for (const char *w : { "Client Listing", "Sub Heading", "Client", "Number", "Contact", "Phone",
                 "Fax", "Page 2", "Date: 12/10/2026" })
            EXPECT_NE(std::find(words.begin(), words.end(), w), words.end()) << w;
    }
}

TEST(Listings, LongValuesAreCutWhereTheNextTextBegins)
{
    ReportTables t;
    const std::string wide(30, 'W');
    ClientRow beside("N1", wide);
    beside.contact = "Contact";
    t.client(beside);
    ClientRow alone("", wide.substr(1) + "X");
    alone.contact = alone.phone = alone.fax = "";
    t.client(alone);
    t.reread();
    TempDir out;
    ASSERT_TRUE(runToFile("Client Listing", t, wideOptions(), rptFile(out)));
    const std::vector<std::string> names = clientColumn(printedTexts(rptFile(out)));
    ASSERT_EQ(names.size(), 2u);
    // With a number beside it the name stops at the Number cell; with every other cell empty it
    // may run on to the area's right edge, so more of it prints.
    const std::string &cut = names[0];
    const std::string &longer = names[1];
    EXPECT_FALSE(cut.empty());
    EXPECT_LT(cut.size(), wide.size());
    EXPECT_EQ(wide.compare(0, cut.size(), cut), 0);
    EXPECT_GT(longer.size(), cut.size());
    // Liberation Serif W is 0.944 em: at 10 points, 0.131 inch; the name cell leaves 2.98 in.
    EXPECT_LE(double(cut.size()) * 0.131, 3.07 - 0.57 + 0.001);
}

TEST(Listings, EmptySelectionPrintsHeaderAndFooterOnly)
{
    ReportTables t;
    t.reread();
    for (const char *report : { "Client Listing", "Activity Listing", "Staff Listing",
             "Project Listing" }) {
        SCOPED_TRACE(report);
        TempDir out;
        ASSERT_TRUE(runToFile(report, t, wideOptions(), rptFile(out)));
        std::vector<std::string> words;
        for (const PrintedText &p : printedTexts(rptFile(out)))
            words.push_back(p.text);
        EXPECT_EQ(words, (std::vector<std::string>{ report, "Sub Heading", "Page 1",
                             "Date: 12/10/2026" }));
        EXPECT_EQ(pageCount(rptFile(out)), 1);
    }
}
