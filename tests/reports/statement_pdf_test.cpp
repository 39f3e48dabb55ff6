// Statements replayed from the report file into a PDF: the invoice form with shading and boxes
// and the professional-service form without boxes print every recorded word on the same pages.
// TARNW_KEEP_PDF=<dir> keeps the PDFs to look at.
#include <QDir>
#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

#include "report_engine/qt/file_printer.h"
#include "report_text.h"
#include "statement_support.h"

using namespace statement_test;

namespace {

TEST(StatementPdf, BothFormsPrintWhatWasRecorded)
{
    struct Case
    {
        const char *name;
        Values setup;
    };
    const std::vector<Case> cases = {
        { "invoice-form",
            { { "PRINTGRAPH", "Y" }, { "PRINTSHADE", "Y" }, { "PRINTBOX", "Y" },
                { "SUBPROJ", "Y" }, { "SUBACT", "Y" } } },
        { "no-boxes",
            { { "PRINTGRAPH", "N" }, { "PRINTSHADE", "Y" }, { "PRINTBOX", "N" },
                { "PRINTHOURS", "N" }, { "PRINTRATE", "N" } } },
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        StatementData d;
        d.setSetup(k.setup);
        d.setSetup({ { "COMPNAME", "Hollis & Grant, Attorneys" }, { "COMPADD1", "200 Elm Street" },
            { "COMPCITY", "Dallas" }, { "COMPST", "TX" }, { "COMPZIP", "75201" },
            { "COMPPH", "(214) 555-0100" },
            { "INVMESS1", "Thank you for your business.  Payment is due within the terms "
                          "shown; please write the statement number on your check." } });
        d.addActivity(QStringLiteral("RESEARCH"), QStringLiteral("Legal research"), 8.25);
        d.addActivity(QStringLiteral("DRAFT"), QStringLiteral("Drafting"));
        d.addClient(QStringLiteral("1001"), QStringLiteral("Alder & Sons"),
            { { "CONTACT", "Ann Alder" }, { "MISC1", "[PO]A-7731" } });
        d.addProject(QStringLiteral("1001"), QStringLiteral("LEASE"), QStringLiteral("Lease review"));
        d.addSlip({ .client = QStringLiteral("1001"), .activity = QStringLiteral("RESEARCH"),
            .project = QStringLiteral("LEASE"), .hours = 2.5, .rate = 180, .total = 450,
            .tax = 37.13, .taxable = true,
            .description = QStringLiteral("Research on the renewal clause of the warehouse "
                                          "lease and the landlord's notice obligations.") });
        d.addSlip({ .client = QStringLiteral("1001"), .activity = QStringLiteral("DRAFT"),
            .project = QStringLiteral("LEASE"), .hours = 1.25, .rate = 180, .total = 225 });
        d.addInvoice(QStringLiteral("1001"), 7, 300, 100);
        const Printed printed = d.runBilling();

        const QString rpt = QString::fromStdString(d.reportFile());
        report::TFilePrinter printer;
        printer.FileName = rpt;
        printer.PdfOutput = QString::fromStdString((d.dir.path() / "statement.pdf").string());
        ASSERT_TRUE(printer.Print());
        EXPECT_EQ(pdfPages(printer.PdfOutput), printed.pages);
        const QStringList fromPdf = pdfWords(printer.PdfOutput);
        const QStringList recorded = recordedWords(rpt);
        EXPECT_EQ(QSet<QString>(fromPdf.begin(), fromPdf.end()),
            QSet<QString>(recorded.begin(), recorded.end()));
        EXPECT_TRUE(fromPdf.contains(QStringLiteral("Alder")));

        const QByteArray keep = qgetenv("TARNW_KEEP_PDF");
        if (!keep.isEmpty()) {
            const QString target =
                QDir(QString::fromLocal8Bit(keep)).filePath(QStringLiteral("statement-%1.pdf")
                                                                .arg(QLatin1String(k.name)));
            QFile::remove(target);
            QFile::copy(printer.PdfOutput, target);
        }
    }
}

} // namespace
