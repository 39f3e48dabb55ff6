// The project budget report and the time entry worksheet printed on the printer back end with
// every field filled to its full width, through the CUPS PDF queue of the tests when it is the
// default printer (else into a PDF file). The words and their boxes are read back from the PDF
// (pdftotext -bbox): no value of a budget line runs into the next one or past the columns, and
// the worksheet's title stays on its band however long the company's name.
#include "pdf_print.h"
#include "temp_dir.h"

using namespace std::chrono;

namespace {

using Box = PdfWordBox;

// Two clients with full-width names, each with two projects whose every field is as wide as
// its column allows; the company's name fills its field.
void fillTables(ReportTables &t)
{
    for (int i = 1; i <= 2; ++i) {
        const std::string d(1, char('0' + i));
        t.client({ "NNNNN" + d, "Name" + std::string(25, 'W') + d });
        for (int k = 1; k <= 2; ++k) {
            dbf::Cursor c(t.table("TWPROJCT"));
            c.append();
            c.setText("PJ_CLIENT", "NNNNN" + d);
            c.setText("PJ_CODE", "PROJECT" + d + std::to_string(k));
            c.setText("PJ_DESC", "Desc" + std::string(35, 'W') + d);
            c.setDate("PJ_ESTDATE", dbf::Date(1950, 1, 1));
            if (k == 1)
                c.setDate("PJ_DONEDT", dbf::Date(2049, 12, 31));
            c.setNumber("PJ_ESTHOUR", 9999999.9999);
            c.setNumber("PJ_TOTHOUR", -999999.9999);
            c.setNumber("PJ_ESTCOST", -9999999999.99);
            c.setNumber("PJ_TOTCHG", 99999999999.99);
            c.post();
        }
    }
    dbf::Cursor s(t.table("TWSETUP"));
    if (s.first())
        s.edit();
    else
        s.append();
    s.setText("COMPNAME", "Company" + std::string(32, 'W') + "9");
    s.post();
    t.reread();
}

void checkBudget(const std::vector<Box> &words)
{
    // Lines below the heading's rule and above the footer: on each, a word ends before the
    // next begins, and all stay within the columns (0.55 to 8.05).
    // (a value drawn smaller to fit its cell sits on the same baseline, its box a little
    // higher: words within 0.06 inch of each other share a line).
    std::vector<Box> body;
    for (const Box &w : words)
        if (w.y0 > 1.7 && w.y1 < 10.2)
            body.push_back(w);
    std::sort(body.begin(), body.end(), [](const Box &a, const Box &b) { return a.y1 < b.y1; });
    std::vector<std::vector<Box>> lines;
    for (const Box &w : body) {
        if (lines.empty() || w.y1 - lines.back().front().y1 > 0.06)
            lines.emplace_back();
        lines.back().push_back(w);
    }
    // Two names, four projects, two client totals, the report total.
    EXPECT_EQ(lines.size(), 9u);
    for (std::vector<Box> &line : lines) {
        std::sort(line.begin(), line.end(), [](const Box &a, const Box &b) { return a.x0 < b.x0; });
        for (std::size_t i = 0; i < line.size(); ++i) {
            SCOPED_TRACE(line[i].text.toStdString());
            EXPECT_GE(line[i].x0, 0.55 - 0.01);
            EXPECT_LE(line[i].x1, 8.05 + 0.01);
            if (i + 1 < line.size()) {
                EXPECT_LT(line[i].x1, line[i + 1].x0 + 0.005) << line[i + 1].text.toStdString();
            }
        }
    }
}

void checkWorksheet(const std::vector<Box> &words)
{
    int labels = 0;
    for (const Box &w : words) {
        SCOPED_TRACE(w.text.toStdString());
        if (w.y1 < 1.0) { // the title on its band
            EXPECT_GE(w.x0, 0.5);
            EXPECT_LE(w.x1, 7.9);
        } else {
            EXPECT_LE(w.x1, 7.9);
            EXPECT_LE(w.y1, 10.5);
            labels += w.text == QLatin1String("Client:");
        }
    }
    EXPECT_EQ(labels, 4);
}

const char *const kReports[] = { "Project Budget to Actual", "Time Entry Worksheet" };

void checkPrinted(const std::string &report, const QString &pdf)
{
    ASSERT_EQ(pdfPages(pdf), 1);
    const std::vector<Box> words = pdfWordBoxList(pdf);
    ASSERT_FALSE(words.empty());
    if (report == kReports[0])
        checkBudget(words);
    else
        checkWorksheet(words);
    savePdfImages(report, pdf, 80);
}

} // namespace

// Through the CUPS PDF queue when it is the default printer, else straight into a PDF file.
TEST(BudgetPdf, BudgetAndWorksheetPrintedAtFullWidth)
{
    if (!pdfToolsInstalled())
        GTEST_SKIP() << "pdftotext is not installed";
    const QString queue = pdfQueueFolder();
    const bool viaQueue = !queue.isEmpty();
    ReportTables t;
    fillTables(t);
    for (const char *report : kReports) {
        SCOPED_TRACE(report);
        TempDir out;
        QString pdf = QString::fromStdString((out.path() / "out.pdf").string());
        const QStringList before = viaQueue ? queueJobs(queue) : QStringList();
        ASSERT_TRUE(printReport(t, report, viaQueue ? QString() : pdf));
        if (viaQueue) {
            // This job's document: new since the print, holding this report's own words.
            const QString mark = report == std::string(kReports[0]) ? QStringLiteral("Full")
                                                                    : QStringLiteral("Ended:");
            pdf = awaitQueueDocument(
                queue, before, [&](const QStringList &words) { return words.contains(mark); });
            ASSERT_FALSE(pdf.isEmpty()) << "no document of this job reached the queue's folder";
        }
        checkPrinted(report, pdf);
    }
}
