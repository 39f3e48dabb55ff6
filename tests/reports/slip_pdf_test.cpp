// The slip analysis reports printed on the printer back end with every field at its full width,
// through the CUPS PDF queue of the tests when it is the default printer (else into a PDF
// file): the words read back from the PDF stay between the margins and no word runs into the
// next one on its line. With TARNW_SCREENSHOT_DIR set, each page is also saved as an image.
#include <QDir>
#include <QPrinterInfo>
#include <QProcess>
#include <QThread>

#include "platform/clock.h"
#include "report_engine/qt/canvas_report.h"
#include "report_fixture.h"
#include "report_text.h"
#include "reports/report_run.h"
#include "temp_dir.h"
#include "ui/scripted_messages.h"

namespace {

bool print(ReportTables &t, const char *report, const QString &pdf)
{
    using namespace std::chrono;
    ui::ScriptedMessages messages;
    const platform::ManualClock clock(year_month_day(year(2026), month(12), day(10)));
    const reports::SelectionOptions o = wideOptions(QDate(2026, 12, 10).toJulianDay());
    reports::ReportRun run(t.data(), o, messages, clock);
    if (!pdf.isEmpty())
        run.preparePrinter = [&](report::TReportPrinter &p) { p.SetPdfOutput(pdf); };
    return run.run({ QString::fromLatin1(report), QStringLiteral("Full width"),
                       QStringLiteral("Liberation Serif"), 1, false, true },
               nullptr)
        && messages.shown().isEmpty();
}

} // namespace

TEST(SlipPdf, FullWidthFieldsPrintApart)
{
    if (!pdfToolsInstalled())
        GTEST_SKIP() << "pdftotext is not installed";
    ReportTables t;
    for (int i = 1; i <= 3; ++i) {
        const std::string d(1, char('0' + i));
        t.client({ "NNNNN" + d, "Name" + std::string(25, 'W') + d });
        t.activity("WWWWWWWWW" + d, "Desc" + std::string(25, 'W') + d, "B");
        dbf::Cursor s(t.table("TWSLIP"));
        s.append();
        s.setNumber("SL_NUMBER", 99999990 + i);
        s.setText("SL_CLIENT", "NNNNN" + d);
        s.setText("SL_ACT", "WWWWWWWWW" + d);
        s.setText("SL_PROJECT", "PPPPPPPPP" + d);
        s.setText("SL_EMPLOY", "WW" + d);
        s.setDate("SL_DATEBEG", dbf::Date(2026, 11, 28));
        s.setNumber("SL_HOURS", 9999.99);
        s.setNumber("SL_RATE", 99999.99);
        s.setNumber("SL_TAXAMT", 999999.99);
        s.setNumber("SL_TOTAL", 9999999.99);
        s.setNumber("SL_EXPAMT", i == 2 ? 9999999.99 : 0);
        s.setInteger("SL_DONE", 1);
        s.post();
    }
    t.reread();
    const QDir queue(qEnvironmentVariable("TARNW_PDF_DIR", "/var/spool/tarnw-pdf"));
    const bool cups =
        QPrinterInfo::defaultPrinterName() == QLatin1String("TarnwPDF") && queue.exists();
    for (const char *report :
        { "Slip Listing by Client", "Slip Summary by Client", "Slip Listing by Activity",
            "Slip Summary by Activity", "Slip Listing by Number", "Activity Totals" }) {
        SCOPED_TRACE(report);
        TempDir out;
        std::string failure;
        ASSERT_TRUE(runToFile(report, t, wideOptions(QDate(2026, 12, 10).toJulianDay()),
            (out.path() / "TWREPORT.RPT").string(), &failure))
            << failure;
        QString pdf = QString::fromStdString((out.path() / "out.pdf").string());
        const auto jobs = [&] {
            return queue.entryList({ QStringLiteral("Tarnwick-job_*.pdf") }, QDir::Files);
        };
        const QStringList before = cups ? jobs() : QStringList();
        ASSERT_TRUE(print(t, report, cups ? QString() : pdf));
        if (cups) {
            pdf.clear();
            for (int tries = 0; tries < 300 && pdf.isEmpty(); ++tries) {
                for (const QString &f : jobs())
                    if (!before.contains(f)
                        && pdfWords(queue.filePath(f)).join(' ').contains(QLatin1String(report)))
                        pdf = queue.filePath(f);
                if (pdf.isEmpty())
                    QThread::msleep(100);
            }
            ASSERT_FALSE(pdf.isEmpty()) << "no document reached the queue's folder";
        }
        ASSERT_EQ(pdfPages(pdf), 1);
        const QString words = pdfWords(pdf).join(' ');
        for (const char *w : { "Report Totals:", "Full width" })
            EXPECT_TRUE(words.contains(QLatin1String(w))) << w;
        // Per body line (by the words' bottom, in fiftieths of an inch) the words' extents.
        std::map<long, std::vector<std::pair<double, double>>> lines;
        for (const PdfWordBox &w : pdfWordBoxList(pdf))
            if (w.y0 > 1.3 && w.y1 < 10.2)
                lines[std::lround(w.y1 * 50)].push_back({ w.x0, w.x1 });
        ASSERT_GE(lines.size(), 3u);
        for (auto &[y, line] : lines) {
            std::sort(line.begin(), line.end());
            EXPECT_GE(line.front().first, 0.54);
            EXPECT_LE(line.back().second, 8.01);
            for (std::size_t i = 0; i + 1 < line.size(); ++i)
                EXPECT_LT(line[i].second, line[i + 1].first + 0.005) << "line " << y;
        }
        const QString images = qEnvironmentVariable("TARNW_SCREENSHOT_DIR");
        if (!images.isEmpty())
            QProcess::execute(QStringLiteral("pdftoppm"),
                { QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"), pdf,
                    QDir(images).filePath(QString::fromLatin1(report).replace(' ', '_')) });
    }
}
