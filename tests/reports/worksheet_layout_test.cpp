// "Time Entry Worksheet" read back from the report file: the company's trimmed name in the
// title, fitted to the band, the four slip boxes with their labels where the form puts them,
// and the whole form kept on a sheet smaller than letter by drawing it smaller.
#include <algorithm>

#include "report_fixture.h"
#include "reports/worksheet_layout.h"
#include "temp_dir.h"

namespace {

void setCompanyName(ReportTables &t, const std::string &name)
{
    dbf::Cursor c(t.table("TWSETUP"));
    if (c.first())
        c.edit();
    else
        c.append();
    c.setText("COMPNAME", name);
    c.post();
    t.reread();
}

struct Segment
{
    double x1, y1, x2, y2;
};

// Runs the worksheet into `file` on a sheet of the given size; returns its lines.
std::vector<Segment> runWorksheet(ReportTables &t, const std::string &file, double width,
    double height)
{
    const reports::SelectionOptions options = wideOptions();
    reports::ReportContext context{ t.data(), options };
    context.texts = { "Time Entry Worksheet", "", "Liberation Serif", "12/10/2026" };
    reports::ReportJob job(*reports::findReport("Time Entry Worksheet"), context);
    report::QtTextMeasurer measurer;
    report::DeviceInfo sheet;
    sheet.sheetWidth = width;
    sheet.sheetHeight = height;
    report::TReportFiler filer(measurer, sheet);
    filer.FileName = file;
    filer.SetLineHeightMethod(report::LineHeightMethod::lhmFont);
    job.wire(filer);
    filer.RunReport();
    EXPECT_FALSE(filer.Aborted()) << job.failure();

    report::ReportFileReader reader;
    reader.open(file);
    std::vector<Segment> out;
    report::Record r;
    for (int n = 1; reader.gotoPage(n); ++n) {
        double x = 0, y = 0;
        while (reader.next(r))
            if (r.code == report::rpt::MoveTo || r.code == report::rpt::LineTo) {
                if (r.code == report::rpt::LineTo)
                    out.push_back({ x, y, r.num(0), r.num(1) });
                x = r.num(0);
                y = r.num(1);
            }
    }
    return out;
}

} // namespace

// The title's text and the height of the font it is drawn in (inches).
std::pair<std::string, double> title(const std::string &file)
{
    report::ReportFileReader reader;
    reader.open(file);
    reader.gotoPage(1);
    report::Record r;
    double height = 0;
    while (reader.next(r)) {
        if (r.code == report::rpt::FontHeight)
            height = r.num(0);
        if (r.code == report::rpt::CenterText && r.text.find("Worksheet") != std::string::npos)
            return { r.text, height };
    }
    return {};
}

TEST(Worksheet, TitleLabelsAndBoxesOnEverySheet)
{
    const struct
    {
        const char *sheet;
        double width, height, scale;
        std::string stored, title;
    } cases[] = {
        { "letter", 8.5, 11, 1, "  Smith & Jones   ", "Smith & Jones Time & Billing Worksheet" },
        { "A4", 8.27, 11.69, 1, "", " Time & Billing Worksheet" },
        { "A5", 5.83, 8.27, (5.83 - 0.25) / 7.9, "Acme Ltd", "Acme Ltd Time & Billing Worksheet" },
        { "short and wide", 11, 8.5, (8.5 - 0.25) / 10.5, std::string(40, 'W'),
            std::string(40, 'W') + " Time & Billing Worksheet" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sheet);
        ReportTables t;
        setCompanyName(t, c.stored);
        const double s = c.scale;
        EXPECT_NEAR(reports::WorksheetLayout::scaleFor(c.width, c.height), s, 1e-9);
        TempDir out;
        const std::string file = (out.path() / "TWREPORT.RPT").string();
        const std::vector<Segment> lines = runWorksheet(t, file, c.width, c.height);
        EXPECT_EQ(pageCount(file), 1);

        // The trimmed name in the title, centred on the band; in the band's 20 points when it
        // fits (whole device pixels), smaller when it would run off the band.
        const auto [text, height] = title(file);
        EXPECT_EQ(text, c.title);
        report::QtTextMeasurer measurer;
        report::FontSpec font;
        font.name = "Liberation Serif";
        font.heightPx = int(std::lround(height * 96));
        EXPECT_LE(measurer.width(font, text) / 96, 7.4 * s);
        EXPECT_EQ(height < 19.0 / 72 * s, c.stored.size() == 40);

        // Fourteen labels in each of the four boxes, "Client:" at each box's top left.
        const std::vector<PrintedText> texts = printedTexts(file);
        std::vector<std::pair<double, double>> clients;
        int labels = 0;
        for (const PrintedText &p : texts) {
            labels += p.text.find("Worksheet") == std::string::npos && p.text != " ";
            if (p.text == "Client:")
                clients.push_back({ std::round(p.x / s * 100) / 100, std::round(p.y / s * 100) / 100 });
            EXPECT_LT(p.x, c.width - 0.25);
            EXPECT_LT(p.y, c.height - 0.25);
        }
        EXPECT_EQ(labels, 4 * 14);
        std::sort(clients.begin(), clients.end());
        EXPECT_EQ(clients,
            (std::vector<std::pair<double, double>>{ { 0.57, 1.1 }, { 0.57, 5.8 }, { 4.27, 1.1 },
                { 4.27, 5.8 } }));

        // The band's four edges, the boxes' 3 + 3 edges and 16 writing lines, all on the sheet
        // with a quarter inch to spare; the boxes reach 7.9 x 10.5 scaled.
        EXPECT_EQ(lines.size(), 26u);
        double right = 0, bottom = 0;
        for (const Segment &l : lines) {
            right = std::max({ right, l.x1, l.x2 });
            bottom = std::max({ bottom, l.y1, l.y2 });
        }
        EXPECT_NEAR(right, 7.9 * s, 1e-4);
        EXPECT_NEAR(bottom, 10.5 * s, 1e-4);
        EXPECT_LE(right, c.width - 0.25 + 1e-6);
        EXPECT_LE(bottom, c.height - 0.25 + 1e-6);
    }
}
