// Client labels on both stocks over real tables, read back from the report file: the lines of a
// label, where each label lands on the sheet, sheets that follow, inactive clients, and lines
// cut at the label's width.
#include <algorithm>
#include <cstdio>

#include "report_fixture.h"
#include "temp_dir.h"

namespace {

struct Stock
{
    const char *report;
    int columns;
    double columnStep, textLeft, top; // textLeft: left margin 0.15 + first label's offset
};

const Stock k5161{ "Client Labels (Avery 5161)", 2, 4.1, 0.30, 0.55 };
const Stock k5260{ "Client Labels (Avery 5260)", 3, 2.8, 0.27, 0.6 };

std::string clientName(int i)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "Client %02d", i);
    return buf;
}

} // namespace

TEST(Labels, EachClientLandsOnItsLabel)
{
    const struct
    {
        const Stock &stock;
        int clients;
        int secondSheet; // labels on the second sheet
    } cases[] = { { k5161, 25, 5 }, { k5260, 31, 1 } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stock.report);
        ReportTables t;
        for (int i = 1; i <= c.clients; ++i)
            t.client({ "N" + std::to_string(i), clientName(i) });
        t.reread();
        TempDir out;
        const std::string file = (out.path() / "TWREPORT.RPT").string();
        ASSERT_TRUE(runToFile(c.stock.report, t, wideOptions(), file));
        ASSERT_EQ(pageCount(file), 2);
        const std::vector<PrintedText> texts = printedTexts(file);
        std::vector<PrintedText> names;
        for (const PrintedText &p : texts)
            if (p.text.rfind("Client ", 0) == 0)
                names.push_back(p);
        ASSERT_EQ(int(names.size()), c.clients);
        const int perSheet = c.stock.columns * 10;
        const double firstBaseline = names[0].y - c.stock.top;
        EXPECT_GT(firstBaseline, 0.1);
        EXPECT_LE(firstBaseline, 11.0 / 60);
        int onSecond = 0;
        for (int i = 0; i < c.clients; ++i) {
            SCOPED_TRACE(i);
            const int k = i % perSheet;
            const int row = k / c.stock.columns, col = k % c.stock.columns;
            EXPECT_EQ(names[i].text, clientName(i + 1));
            EXPECT_EQ(names[i].page, i / perSheet + 1);
            EXPECT_NEAR(names[i].x, c.stock.textLeft + col * c.stock.columnStep, 1e-4);
            EXPECT_NEAR(names[i].y, c.stock.top + row + firstBaseline, 1e-4);
            onSecond += names[i].page == 2;
        }
        EXPECT_EQ(onSecond, c.secondSheet);
        // No header and no footer on a label sheet.
        for (const PrintedText &p : texts)
            EXPECT_EQ(p.text.find("Page"), std::string::npos);
    }
}

TEST(Labels, ThreeAndFourLines)
{
    ReportTables t;
    ClientRow three{ "N1", "Alpha" };
    three.sadd = "1 First St";
    three.city = "Boston";
    three.state = "MA";
    three.zip = "02101";
    ClientRow four{ "N2", "Beta" };
    four.sadd = "2 Second St";
    four.sadd2 = "Suite 200";
    four.city = "Salem";
    four.state = "OR";
    four.zip = "97301-1234";
    t.client(three);
    t.client(four);
    t.client({ "N3", "Gamma inactive", "N" });
    t.reread();
    for (bool inactives : { false, true }) {
        SCOPED_TRACE(inactives);
        TempDir out;
        const std::string file = (out.path() / "TWREPORT.RPT").string();
        reports::SelectionOptions o = wideOptions();
        o.includeInactives = inactives;
        ASSERT_TRUE(runToFile(k5161.report, t, o, file));
        const std::vector<PrintedText> texts = printedTexts(file);
        const auto label = [&](double x) {
            std::vector<PrintedText> at;
            for (const PrintedText &p : texts)
                if (std::abs(p.x - x) < 1e-4 && p.y < k5161.top + 1)
                    at.push_back(p);
            return at;
        };
        const auto a = label(0.30), b = label(0.30 + 4.1);
        std::vector<std::string> aLines, bLines;
        for (const auto &p : a)
            aLines.push_back(p.text);
        for (const auto &p : b)
            bLines.push_back(p.text);
        EXPECT_EQ(aLines, (std::vector<std::string>{ "Alpha", "1 First St", "Boston, MA 02101" }));
        EXPECT_EQ(bLines,
            (std::vector<std::string>{ "Beta", "2 Second St", "Suite 200", "Salem, OR 97301-1234" }));
        for (std::size_t i = 1; i < b.size(); ++i)
            EXPECT_NEAR(b[i].y - b[i - 1].y, 11.0 / 60, 1e-4); // 11-point lines
        const bool gammaPrinted = std::any_of(texts.begin(), texts.end(),
            [](const PrintedText &p) { return p.text == "Gamma inactive"; });
        EXPECT_EQ(gammaPrinted, inactives);
    }
}

TEST(Labels, LinesStopAtTheLabelsWidth)
{
    ReportTables t;
    ClientRow full{ "999999", std::string(30, 'W') };
    full.sadd = std::string(30, 'M');
    full.sadd2 = std::string(30, 'W');
    full.city = std::string(17, 'W');
    full.state = "WW";
    full.zip = std::string(10, '9');
    for (int i = 0; i < 3; ++i) {
        full.number = "99999" + std::to_string(i);
        t.client(full);
    }
    t.reread();
    // Liberation Serif at 11 points: W is 0.944 em = 0.1442 inch, M 0.889 em = 0.1358 inch.
    const struct
    {
        const Stock &stock;
        double room; // the label's width less its gutter
    } cases[] = { { k5161, 3.8 }, { k5260, 2.425 } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stock.report);
        TempDir out;
        const std::string file = (out.path() / "TWREPORT.RPT").string();
        ASSERT_TRUE(runToFile(c.stock.report, t, wideOptions(), file));
        for (const PrintedText &p : printedTexts(file)) {
            const double w = double(std::count(p.text.begin(), p.text.end(), 'W')) * 0.1442
                + double(std::count(p.text.begin(), p.text.end(), 'M')) * 0.1358;
            EXPECT_LE(w, c.room + 0.01) << p.text;
            EXPECT_FALSE(p.text.empty());
            // Text ends before the next label's text begins.
            EXPECT_LT(p.x + w, p.x + c.stock.columnStep - 0.1);
        }
    }
}
