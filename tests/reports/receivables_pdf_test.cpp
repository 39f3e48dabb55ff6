// The receivables reports printed on the printer back end with every field at its full width,
// through the CUPS PDF queue of the tests when it is the default printer (else into a PDF
// file): the words read back from the PDF (pdftotext -bbox) stay between the margins, and no
// word runs into the next one on its line.
#include <QDir>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include "platform/clock.h"
#include "report_engine/qt/canvas_report.h"
#include "report_fixture.h"
#include "report_text.h"
#include "reports/report_run.h"
#include "temp_dir.h"
#include "ui/scripted_messages.h"

namespace {

// Per line of the body (by the baseline, in fiftieths of an inch) its words' left and right ends.
std::map<long, std::vector<std::pair<double, double>>> bodyWords(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), { QStringLiteral("-bbox"), pdf, QStringLiteral("-") });
    p.waitForFinished(30000);
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">"));
    std::map<long, std::vector<std::pair<double, double>>> lines;
    for (auto it = word.globalMatch(QString::fromUtf8(p.readAllStandardOutput())); it.hasNext();) {
        const auto m = it.next();
        const double y0 = m.captured(2).toDouble() / 72, y1 = m.captured(4).toDouble() / 72;
        if (y0 > 1.3 && y1 < 10.2)
            lines[std::lround(y1 * 50)].push_back(
                { m.captured(1).toDouble() / 72, m.captured(3).toDouble() / 72 });
    }
    return lines;
}

// Three clients, each with a statement, a payment and a slip, every field full.
void fill(ReportTables &t)
{
    for (int i = 1; i <= 3; ++i) {
        const std::string d(1, char('0' + i));
        ClientRow c("NNNNN" + d, "Name" + std::string(25, 'W') + d);
        c.phone = "(999)999-999" + d;
        t.client(c);
        dbf::Cursor s(t.table("TWINVOIC")), p(t.table("TWPMT")), sl(t.table("TWSLIP"));
        s.append();
        s.setNumber("INV_NUMBER", 999999990 + i);
        s.setText("INV_CLIENT", c.number);
        s.setDate("INV_DATE", dbf::Date(2026, 9, 28));
        s.setDate("INV_DUE", dbf::Date(2026, 9 + i, 28));
        for (const char *f : { "INV_TOTAL", "INV_TAXAMT" })
            s.setNumber(f, 9999999.99);
        s.setNumber("INV_PAID", 1);
        s.post();
        p.append();
        p.setText("PMT_CLIENT", c.number);
        p.setText("PMT_CHECK", std::string(9, 'W') + d);
        p.setText("PMT_DESC", std::string(39, 'W') + d);
        p.setDate("PMT_DATE", dbf::Date(2026, 11, 28));
        p.setNumber("PMT_AMOUNT", 9999999.99);
        p.setNumber("PMT_INVOIC", 999999990 + i);
        p.post();
        sl.append();
        sl.setNumber("SL_NUMBER", i);
        sl.setText("SL_CLIENT", c.number);
        sl.setText("SL_TAXABLE", i == 1 ? "Y" : "N");
        sl.setNumber("SL_TAXAMT", 999999.99);
        sl.setNumber("SL_TOTAL", 9999999.99);
        sl.setDate("SL_DATEBEG", dbf::Date(2026, 11, 28));
        sl.post();
    }
    t.reread();
}

bool print(ReportTables &t, const char *report, const QString &pdf)
{
    using namespace std::chrono;
    ui::ScriptedMessages messages;
    const platform::ManualClock clock(year_month_day(year(2026), month(12), day(10)));
    reports::SelectionOptions o = wideOptions(QDate(2026, 12, 10).toJulianDay());
    o.detailed = std::string(report).find("Summary") == std::string::npos;
    reports::ReportRun run(t.data(), o, messages, clock);
    if (!pdf.isEmpty())
        run.preparePrinter = [&](report::TReportPrinter &p) { p.SetPdfOutput(pdf); };
    return run.run({ QString::fromLatin1(report), QStringLiteral("Full width"),
                       QStringLiteral("Liberation Serif"), 1, false, true },
               nullptr)
        && messages.shown().isEmpty();
}

void check(const char *report, const QString &pdf)
{
    ASSERT_EQ(pdfPages(pdf), 1);
    auto lines = bodyWords(pdf);
    ASSERT_GE(lines.size(), 2u) << report; // the heading and at least one row
    for (auto &[y, line] : lines) {
        std::sort(line.begin(), line.end());
        EXPECT_GE(line.front().first, 0.54) << report;
        EXPECT_LE(line.back().second, 8.01) << report;
        for (std::size_t i = 0; i + 1 < line.size(); ++i)
            EXPECT_LT(line[i].second, line[i + 1].first + 0.005) << report << " line " << y;
    }
    const QString images = qEnvironmentVariable("TARNW_SCREENSHOT_DIR");
    if (!images.isEmpty())
        QProcess::execute(QStringLiteral("pdftoppm"),
            { QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"), pdf,
                QDir(images).filePath(QString::fromLatin1(report).replace(' ', '_')) });
}

} // namespace

TEST(ReceivablesPdf, FullWidthFieldsPrintApart)
{
    QProcess probe;
    probe.start(QStringLiteral("pdftotext"), { QStringLiteral("-v") });
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit)
        GTEST_SKIP() << "pdftotext is not installed";
    ReportTables t;
    fill(t);
    const QDir queue(qEnvironmentVariable("TARNW_PDF_DIR", "/var/spool/tarnw-pdf"));
    const bool cups =
        QPrinterInfo::defaultPrinterName() == QLatin1String("TarnwPDF") && queue.exists();
    for (const char *report :
        { "Aged Receivables Report - Detailed", "Aged Receivables Report - Summary",
            "Invoice Report", "Payment Report", "Sales Tax Report" }) {
        if (!cups) {
            TempDir out;
            const QString pdf = QString::fromStdString((out.path() / "out.pdf").string());
            ASSERT_TRUE(print(t, report, pdf)) << report;
            check(report, pdf);
            continue;
        }
        const auto jobs = [&] {
            return queue.entryList(
                { QStringLiteral("Tarnwick-job_*.pdf") }, QDir::Files, QDir::Time);
        };
        const QStringList before = jobs();
        ASSERT_TRUE(print(t, report, QString())) << report;
        QString found;
        for (int tries = 0; tries < 300 && found.isEmpty(); ++tries) {
            for (const QString &f : jobs())
                if (!before.contains(f)
                    && pdfWords(queue.filePath(f)).join(' ').contains(QLatin1String(report)))
                    found = queue.filePath(f);
            if (found.isEmpty())
                QThread::msleep(100);
        }
        ASSERT_FALSE(found.isEmpty()) << report << ": no document reached the queue's folder";
        check(report, found);
    }
}
