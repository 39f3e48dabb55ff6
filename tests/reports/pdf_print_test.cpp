// Listings and labels printed on the printer back end, with every field filled to its full
// width: into a PDF file, and through the CUPS PDF queue of the tests when it is the default
// printer. The words and their boxes are read back from the PDF (pdftotext -bbox): no value of
// a listing runs into the next printed value, and every label's text lies inside its label on
// the stock's published geometry.
#include <QPrinterInfo>

#include "billing/preview_form.h"
#include "pdf_print.h"
#include "temp_dir.h"

using namespace std::chrono;

namespace {

using Word = PdfWordBox;

// Every field at its full width, each client told apart by its number's last digit.
ClientRow fullClient(int i)
{
    const char d = char('0' + i);
    ClientRow r;
    r.number = std::string(5, 'N') + d;
    r.name = "Name" + std::string(25, 'W') + d;
    r.sadd = "Street" + std::string(23, 'M') + d;
    r.sadd2 = "Suite" + std::string(24, 'W') + d;
    r.city = "City" + std::string(12, 'W') + d;
    r.state = "WY";
    r.zip = "99999-999" + std::string(1, d);
    r.contact = "Cont" + std::string(10, 'W') + d;
    r.phone = "(999)999-999" + std::string(1, d);
    r.fax = "(888)888-888" + std::string(1, d);
    return r;
}

void fillTables(ReportTables &t)
{
    for (int i = 1; i <= 3; ++i) {
        const std::string d(1, char('0' + i));
        t.client(fullClient(i));
        t.activity("ACTIVITY0" + d, "Desc" + std::string(25, 'W') + d, i == 1 ? "B" : "E", 99.9,
            9999.99, 9999.99, "Y");
        t.staff("S0" + d, "Staff" + std::string(24, 'W') + d, "999-99-999" + d, 9999.99);
        t.project("NNNNN" + d, "PROJECT00" + d, "Project" + std::string(32, 'W') + d);
    }
    t.reread();
}

void checkListing(const std::string &report, const std::vector<Word> &words)
{
    // The cell starts of each listing's row (inches), from 0.55.
    const std::map<std::string, std::vector<double>> widths = {
        { "Client Listing", { 2.5, 0.8, 2.0, 1.2, 1.2 } },
        { "Activity Listing", { 1.0, 2.0, 0.8, 0.8, 0.8, 1.0, 1.0 } },
        { "Staff Listing", { 0.8, 2.0, 1.0, 0.8 } },
        { "Project Listing", { 1.0, 2.0, 1.0 } },
    };
    std::vector<double> starts{ 0.55 };
    for (double w : widths.at(report))
        starts.push_back(starts.back() + w);
    // Rows: words below the heading rule and above the footer; on each line, a word's box must
    // end before the next word of the line begins, and stay inside the cells' span.
    std::map<int, std::vector<Word>> lines;
    for (const Word &w : words)
        if (w.y0 > 1.6 && w.y1 < 10.2)
            lines[int(std::lround(w.y1 * 100))].push_back(w);
    ASSERT_EQ(lines.size(), 3u) << report;
    for (auto &[y, line] : lines) {
        std::sort(line.begin(), line.end(), [](const Word &a, const Word &b) { return a.x0 < b.x0; });
        for (std::size_t i = 0; i < line.size(); ++i) {
            SCOPED_TRACE(report + " " + line[i].text.toStdString());
            EXPECT_GE(line[i].x0, starts.front() - 0.01);
            EXPECT_LE(line[i].x1, starts.back() + 0.01);
            if (i + 1 < line.size()) {
                EXPECT_LT(line[i].x1, line[i + 1].x0 + 0.005);
            }
        }
    }
}

struct StockGeometry
{
    const char *report;
    int columns;
    double left, pitch, width, top, height; // Avery's published label layout, inches
};

const StockGeometry k5161{ "Client Labels (Avery 5161)", 2, 0.156, 4.188, 4.0, 0.5, 1.0 };
const StockGeometry k5260{ "Client Labels (Avery 5260)", 3, 0.1875, 2.75, 2.625, 0.5, 1.0 };

void checkLabels(const StockGeometry &s, const std::vector<Word> &words)
{
    int seen = 0;
    for (const Word &w : words) {
        SCOPED_TRACE(std::string(s.report) + " " + w.text.toStdString());
        const int col = int((w.x0 - s.left) / s.pitch);
        const int row = int((w.y0 - s.top) / s.height);
        ASSERT_GE(col, 0);
        ASSERT_LT(col, s.columns);
        ASSERT_GE(row, 0);
        const double left = s.left + col * s.pitch, top = s.top + row * s.height;
        EXPECT_GE(w.x0, left);
        EXPECT_LE(w.x1, left + s.width);
        EXPECT_GE(w.y0, top);
        EXPECT_LE(w.y1, top + s.height);
        // Client i sits on label i - 1: left to right, then down.
        const QChar last = w.text.back();
        if (last.isDigit() && w.text.startsWith(QLatin1String("Name"))) {
            EXPECT_EQ(row * s.columns + col, last.digitValue() - 1);
        }
        ++seen;
    }
    EXPECT_GE(seen, 3 * 5);
}

const char *const kReports[] = { "Client Listing", "Activity Listing", "Staff Listing",
    "Project Listing", "Client Labels (Avery 5161)", "Client Labels (Avery 5260)" };

void checkPrinted(const std::string &report, const QString &pdf)
{
    ASSERT_EQ(pdfPages(pdf), 1);
    const std::vector<Word> words = pdfWordBoxList(pdf);
    ASSERT_FALSE(words.empty());
    if (report == k5161.report)
        checkLabels(k5161, words);
    else if (report == k5260.report)
        checkLabels(k5260, words);
    else
        checkListing(report, words);
    savePdfImages(report, pdf, 60);
}

} // namespace

TEST(PdfPrint, ListingsAndLabelsIntoAPdfFile)
{
    if (!pdfToolsInstalled())
        GTEST_SKIP() << "pdftotext is not installed";
    ReportTables t;
    fillTables(t);
    for (const char *report : kReports) {
        SCOPED_TRACE(report);
        TempDir out;
        const QString pdf = QString::fromStdString((out.path() / "out.pdf").string());
        ASSERT_TRUE(printReport(t, report, pdf));
        checkPrinted(report, pdf);
    }
}

TEST(PdfPrint, ListingsAndLabelsThroughTheCupsPdfQueue)
{
    if (!pdfToolsInstalled())
        GTEST_SKIP() << "pdftotext is not installed";
    if (QPrinterInfo::defaultPrinterName() != QLatin1String("TarnwPDF"))
        GTEST_SKIP() << "the PDF printer queue of scripts/setup-cups.sh is not the default printer";
    const QString queue = pdfQueueFolder();
    if (queue.isEmpty())
        GTEST_SKIP() << "the PDF queue's output folder is not there";
    ReportTables t;
    fillTables(t);
    for (const char *report : kReports) {
        SCOPED_TRACE(report);
        const QStringList before = queueJobs(queue);
        ASSERT_TRUE(printReport(t, report, QString()));
        // The queue's document: a new one since the print that holds this report's text
        // (a listing's title and sub heading; a label sheet's streets, without any heading).
        const bool labels = std::string(report).find("Labels") != std::string::npos;
        const auto ours = [&](const QStringList &w) {
            const QString all = w.join(QLatin1Char(' '));
            if (labels)
                return all.contains(QLatin1String("StreetMMM")) && !w.contains(QStringLiteral("Full"));
            return all.contains(QLatin1String(report)) && all.contains(QLatin1String("Full width"));
        };
        const QString found = awaitQueueDocument(queue, before, ours);
        ASSERT_FALSE(found.isEmpty()) << "no document of this job reached the queue's folder";
        checkPrinted(report, found);
    }
}
