// The project budget report and the time entry worksheet printed on the printer back end with
// every field filled to its full width, through the CUPS PDF queue of the tests when it is the
// default printer (else into a PDF file). The words and their boxes are read back from the PDF
// (pdftotext -bbox): no value of a budget line runs into the next one or past the columns, and
// the worksheet's title stays on its band however long the company's name.
#include <QDir>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QThread>

#include "platform/clock.h"
#include "report_engine/qt/canvas_report.h"
#include "reports/report_run.h"
#include "report_fixture.h"
#include "report_text.h"
#include "temp_dir.h"
#include "ui/scripted_messages.h"

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

bool printReport(ReportTables &t, const std::string &report, const QString &pdf)
{
    ui::ScriptedMessages messages;
    const platform::ManualClock clock(year_month_day(year(2026), month(12), day(10)));
    const reports::SelectionOptions options = wideOptions();
    reports::ReportRun run(t.data(), options, messages, clock);
    if (!pdf.isEmpty())
        run.preparePrinter = [&](report::TReportPrinter &p) { p.SetPdfOutput(pdf); };
    reports::RunRequest request;
    request.reportName = QString::fromStdString(report);
    request.subHeading = QStringLiteral("Full width");
    request.font = QStringLiteral("Liberation Serif");
    request.printer = true;
    request.preview = false;
    const bool ok = run.run(request, nullptr);
    EXPECT_TRUE(messages.shown().isEmpty()) << messages.lastText().toStdString();
    return ok;
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
    const QString images = qEnvironmentVariable("TARNW_SCREENSHOT_DIR");
    if (!images.isEmpty()) {
        QString base = QString::fromStdString(report);
        base.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("_"));
        QProcess::execute(QStringLiteral("pdftoppm"),
            { QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"), pdf,
                QDir(images).filePath(base) });
    }
}

} // namespace

// Through the CUPS PDF queue when it is the default printer, else straight into a PDF file.
TEST(BudgetPdf, BudgetAndWorksheetPrintedAtFullWidth)
{
    if (!pdfToolsInstalled())
        GTEST_SKIP() << "pdftotext is not installed";
    const QDir queue(qEnvironmentVariable("TARNW_PDF_DIR", "/var/spool/tarnw-pdf"));
    const bool viaQueue =
        QPrinterInfo::defaultPrinterName() == QLatin1String("TarnwPDF") && queue.exists();
    ReportTables t;
    fillTables(t);
    for (const char *report : kReports) {
        SCOPED_TRACE(report);
        TempDir out;
        QString pdf = QString::fromStdString((out.path() / "out.pdf").string());
        const auto jobFiles = [&] {
            return queue.entryList({ QStringLiteral("Tarnwick-job_*.pdf") }, QDir::Files, QDir::Time);
        };
        const QStringList before = viaQueue ? jobFiles() : QStringList();
        ASSERT_TRUE(printReport(t, report, viaQueue ? QString() : pdf));
        if (viaQueue) {
            // This job's document: new since the print, holding this report's own words.
            const QString mark = report == std::string(kReports[0]) ? QStringLiteral("Full")
                                                                    : QStringLiteral("Ended:");
            pdf.clear();
            for (int tries = 0; tries < 300 && pdf.isEmpty(); ++tries) {
                for (const QString &f : jobFiles())
                    if (!before.contains(f) && pdfWords(queue.filePath(f)).contains(mark)) {
                        pdf = queue.filePath(f);
                        break;
                    }
                if (pdf.isEmpty())
                    QThread::msleep(100);
            }
            ASSERT_FALSE(pdf.isEmpty()) << "no document of this job reached the queue's folder";
        }
        checkPrinted(report, pdf);
    }
}
