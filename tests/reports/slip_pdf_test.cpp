// The slip analysis reports printed on the printer back end with every field at its full width,
// through the CUPS PDF queue of the tests when it is the default printer (else into a PDF
// file): the words read back from the PDF stay between the margins and no word runs into the
// next one on its line. With TARNW_SCREENSHOT_DIR set, each page is also saved as an image.
#include "pdf_print.h"
#include "temp_dir.h"

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
    const QString queue = pdfQueueFolder();
    const bool cups = !queue.isEmpty();
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
        const QStringList before = cups ? queueJobs(queue) : QStringList();
        ASSERT_TRUE(printReport(t, report, cups ? QString() : pdf,
            wideOptions(QDate(2026, 12, 10).toJulianDay())));
        if (cups) {
            pdf = awaitQueueDocument(queue, before, [&](const QStringList &words) {
                return words.join(' ').contains(QLatin1String(report));
            });
            ASSERT_FALSE(pdf.isEmpty()) << "no document reached the queue's folder";
        }
        ASSERT_EQ(pdfPages(pdf), 1);
        const QString words = pdfWords(pdf).join(' ');
        for (const char *w : { "Report Totals:", "Full width" })
            EXPECT_TRUE(words.contains(QLatin1String(w))) << w;
        auto lines = pdfBodyLines(pdf);
        ASSERT_GE(lines.size(), 3u);
        for (auto &[y, line] : lines) {
            std::sort(line.begin(), line.end());
            EXPECT_GE(line.front().first, 0.54);
            EXPECT_LE(line.back().second, 8.01);
            for (std::size_t i = 0; i + 1 < line.size(); ++i)
                EXPECT_LT(line[i].second, line[i + 1].first + 0.005) << "line " << y;
        }
        savePdfImages(report, pdf, 80);
    }
}
