// The receivables reports printed on the printer back end with every field at its full width,
// through the CUPS PDF queue of the tests when it is the default printer (else into a PDF
// file): the words read back from the PDF (pdftotext -bbox) stay between the margins, and no
// word runs into the next one on its line.
#include "pdf_print.h"
#include "temp_dir.h"

namespace {

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
    reports::SelectionOptions o = wideOptions(QDate(2026, 12, 10).toJulianDay());
    o.detailed = std::string(report).find("Summary") == std::string::npos;
    return printReport(t, report, pdf, o);
}

void check(const char *report, const QString &pdf)
{
    ASSERT_EQ(pdfPages(pdf), 1);
    auto lines = pdfBodyLines(pdf);
    ASSERT_GE(lines.size(), 2u) << report; // the heading and at least one row
    for (auto &[y, line] : lines) {
        std::sort(line.begin(), line.end());
        EXPECT_GE(line.front().first, 0.54) << report;
        EXPECT_LE(line.back().second, 8.01) << report;
        for (std::size_t i = 0; i + 1 < line.size(); ++i)
            EXPECT_LT(line[i].second, line[i + 1].first + 0.005) << report << " line " << y;
    }
    savePdfImages(report, pdf, 80);
}

} // namespace

TEST(ReceivablesPdf, FullWidthFieldsPrintApart)
{
    if (!pdfToolsInstalled())
        GTEST_SKIP() << "pdftotext is not installed";
    ReportTables t;
    fill(t);
    const QString queue = pdfQueueFolder();
    const bool cups = !queue.isEmpty();
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
        const QStringList before = queueJobs(queue);
        ASSERT_TRUE(print(t, report, QString())) << report;
        const QString found = awaitQueueDocument(queue, before, [&](const QStringList &words) {
            return words.join(' ').contains(QLatin1String(report));
        });
        ASSERT_FALSE(found.isEmpty()) << report << ": no document reached the queue's folder";
        check(report, found);
    }
}
