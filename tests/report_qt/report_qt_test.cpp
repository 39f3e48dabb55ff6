// The Qt back ends: a document recorded with real font metrics, replayed into a PDF by the file
// printer, printed straight by the printer back end, and the replay's failures.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "report_engine/memo_buf.h"
#include "report_engine/qt/canvas_report.h"
#include "report_engine/qt/file_printer.h"
#include "report_engine/qt/qt_text_measurer.h"
#include "report_engine/report_filer.h"
#include "report_text.h"

using namespace report;

namespace {

// A document that uses the operations the system's documents use.
void everyOperation(TBaseReport &r)
{
    for (int page = 1; page <= 2; ++page) {
        if (page > 1)
            r.StartNextPage();
        r.UseFont("Times New Roman", 14);
        r.UseBold(true);
        r.EmitCenteredAt("Tarnwick Test Statement", r.PageWidthInches() / 2);
        r.UseFont("Arial", 10);
        r.AdvanceLine();
        r.ClearTabStops();
        r.AddTabStop(-32768, JustifyLeft, 1.5, 5, BOXLINEALL, 0);
        r.AddTabStop(-32768, JustifyRight, 1.5, 5, BOXLINEALL, 20);
        r.AddTabStop(-32768, JustifyCenter, 2.0, 5, 0, 0);
        r.AddTabStop(-32768, JustifySpread, 2.45, 5, 0, 0);
        r.EmitLine("\tClient\tAmount\tStatus\tSpread across cell");
        r.EmitLine("\tSMITH\t1,234.56\tOpen\tmore surplus");
        r.UseFontColor(kWhite);
        r.ClearTabStops();
        r.AddTabStop(0.5, JustifyLeft, 7.45, 5, 0, 100);
        r.EmitLine("\tWhite on black band");
        r.UseFontColor(kBlack);
        r.PenMoveTo(0.5, r.CursorY());
        r.SetLinePen(kBlack, kPenSolid, -2, kPenModeCopy);
        r.PenLineTo(7.95, r.CursorY());
        r.SetLinePen(kBlack, kPenSolid, -1, kPenModeCopy);
        r.AdvanceLine();
        r.SetFill(rgb(230, 230, 230), kBrushSolid);
        r.DrawRoundedBox(5, 8, 7.95, 9, 0.2, 0.2);
        r.SetFill(kWhite, kBrushClear);
        r.EmitRightAt("Right edge", 7.95);
        r.AdvanceLine();
        TMemoBuf memo("  Memo paragraph with enough words to wrap over more than one line of the "
                      "memo column.\r\nSecond paragraph.");
        memo.PrintStart = 1;
        memo.PrintEnd = 4;
        r.EmitMemo(memo, 0, false);
        r.SetMarginBottom(0.5);
        r.EmitAtBottom("Page " + std::to_string(page), JustifyRight);
        r.SetMarginBottom(1);
    }
}

} // namespace

class ReportQtTest : public QObject
{
    Q_OBJECT
private slots:
    void fontsMapToMetricCompatibleFaces()
    {
        for (const char *face : { "Times New Roman", "Arial", "Courier New" }) {
            QFontInfo info(QFont(QString::fromLatin1(face)));
            QVERIFY2(info.family().startsWith(QLatin1String("Liberation")), face);
        }
    }

    void recordedDocumentReplaysToPdfWithTheSameTexts()
    {
        QTemporaryDir dir;
        QtTextMeasurer measurer;
        TReportFiler filer(measurer);
        filer.FileName = dir.filePath(QStringLiteral("TWREPORT.RPT")).toStdString();
        filer.SetTitle("Tarnwick");
        filer.OnBeforePrint = [](TBaseReport &r) {
            r.SetMarginLeft(0.5);
            r.SetMarginTop(0.5);
            r.SetMarginBottom(1);
        };
        filer.OnPrint = everyOperation;
        filer.RunReport();
        const QStringList recorded = recordedWords(QString::fromStdString(filer.FileName));
        QVERIFY(recorded.contains(QStringLiteral("Statement")));

        TFilePrinter printer;
        printer.FileName = QString::fromStdString(filer.FileName);
        printer.PdfOutput = dir.filePath(QStringLiteral("replay.pdf"));
        QVERIFY(printer.Print());
        QCOMPARE(printer.PageCount(), 2);
        const QStringList fromPdf = pdfWords(printer.PdfOutput);
        QCOMPARE(fromPdf.size(), recorded.size());
        QCOMPARE(QSet<QString>(fromPdf.begin(), fromPdf.end()),
            QSet<QString>(recorded.begin(), recorded.end()));
        QCOMPARE(fromPdf.first(), QStringLiteral("Tarnwick"));
        QCOMPARE(fromPdf.last(), QStringLiteral("2"));

        const QByteArray keep = qgetenv("TARNW_KEEP_PDF"); // to look at the page by hand
        if (!keep.isEmpty())
            QFile::copy(printer.PdfOutput, QString::fromLocal8Bit(keep));

        // The preview draws the same page onto an image at any zoom.
        TFilePreview preview;
        preview.FileName = printer.FileName;
        QImage page(850, 1100, QImage::Format_RGB32);
        page.fill(Qt::gray);
        QPainter painter(&page);
        QVERIFY(preview.RenderPage(2, painter, 100, 100));
        QVERIFY(!preview.RenderPage(3, painter, 100, 100));
        painter.end();
        QCOMPARE(page.pixelColor(5, 5), QColor(Qt::white));
    }

    void printerBackEndWritesThePdfDirectly()
    {
        QTemporaryDir dir;
        TReportPrinter printer;
        printer.SetPdfOutput(dir.filePath(QStringLiteral("direct.pdf")));
        printer.SetTitle("Tarnwick report title that is longer than thirty-one");
        printer.OnBeforePrint = [](TBaseReport &r) {
            r.SetMarginLeft(0.5);
            r.SetMarginTop(0.5);
            r.SetMarginBottom(1);
        };
        printer.OnPrint = everyOperation;
        printer.RunReport();
        QCOMPARE(printer.Printer().docName(), QStringLiteral("Tarnwick report title that is l"));
        const QStringList words = pdfWords(dir.filePath(QStringLiteral("direct.pdf")));
        QVERIFY(words.contains(QStringLiteral("SMITH")));
        QCOMPARE(words.first(), QStringLiteral("Tarnwick"));
    }

    void printedJobArrivesThroughTheCupsPdfQueue()
    {
        // scripts/setup-cups.sh makes this queue the default printer and sends its output here.
        const QString outDir = qEnvironmentVariable("TARNW_PDF_DIR", "/var/spool/tarnw-pdf");
        if (QPrinterInfo::defaultPrinter().printerName() != QLatin1String("TarnwPDF"))
            QSKIP("the PDF printer queue of scripts/setup-cups.sh is not the default printer");
        const DeviceInfo dev = defaultPrinterDevice();
        QVERIFY(dev.printerExists);
        QVERIFY(dev.sheetWidth > 8 && dev.sheetWidth < 8.6);
        QCOMPARE(dev.deviceName, std::string("TarnwPDF"));
        const QString tag = QStringLiteral("tarnwq%1").arg(QCoreApplication::applicationPid());
        TReportPrinter printer;
        printer.SelectPrinterIndex(-1);
        printer.SetTitle(tag.toStdString());
        printer.OnPrint = [](TBaseReport &r) {
            r.SetMarginLeft(0.55);
            r.CursorHome();
            r.EmitLine("Printed through the queue");
        };
        printer.RunReport();
        QString pdf;
        for (int i = 0; i < 100 && pdf.isEmpty(); ++i) {
            QTest::qWait(200);
            const QStringList found =
                QDir(outDir).entryList({ tag + QStringLiteral("*.pdf") }, QDir::Files);
            if (!found.isEmpty())
                pdf = QDir(outDir).filePath(found.first());
        }
        QVERIFY2(!pdf.isEmpty(), "no PDF arrived from the print queue");
        // The queue keeps the job as the printing filters handed it over: the text is the
        // report's, and it starts 0.55 inch from the paper's left edge (100 pixels per inch).
        QCOMPARE(pdfWords(pdf), QStringList({ "Printed", "through", "the", "queue" }));
        QProcess render;
        const QString png = QDir(outDir).filePath(tag);
        render.start(QStringLiteral("pdftoppm"),
            { QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-png"),
                QStringLiteral("-singlefile"), pdf, png });
        QVERIFY(render.waitForFinished(30000));
        QImage page(png + QStringLiteral(".png"));
        QFile::remove(pdf);
        QFile::remove(png + QStringLiteral(".png"));
        QVERIFY(!page.isNull());
        int left = page.width();
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < page.width(); ++x)
                if (qGray(page.pixel(x, y)) < 128)
                    left = std::min(left, x);
        QVERIFY2(left >= 54 && left <= 60, qPrintable(QString::number(left)));
    }

    void replayFailuresAreReported()
    {
        QTemporaryDir dir;
        FixedWidthMeasurer m;
        TReportFiler filer(m);
        filer.FileName = dir.filePath(QStringLiteral("bad.rpt")).toStdString();
        filer.OnPrint = [](TBaseReport &r) { r.EmitLine("text"); };
        filer.RunReport();
        QFile f(QString::fromStdString(filer.FileName));
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(f.size() - 1);
        f.write("\x63", 1); // 99 where the page end belongs
        f.close();
        TFilePrinter printer;
        printer.FileName = QString::fromStdString(filer.FileName);
        printer.PdfOutput = dir.filePath(QStringLiteral("bad.pdf"));
        QStringList shown;
        printer.OnMessage = [&](const std::string &s) { shown << QString::fromStdString(s); };
        QVERIFY(!printer.Print());
        QCOMPARE(shown, QStringList{ QStringLiteral("Unexpected code found in report file.") });

        if (!QPrinterInfo::availablePrinters().isEmpty()) {
            // A printer chosen earlier and removed since is named, not replaced by another.
            TFilePrinter gone;
            gone.FileName = printer.FileName;
            gone.PrinterName = QStringLiteral("NoSuchTarnwQueue");
            shown.clear();
            gone.OnMessage = [&](const std::string &s) { shown << QString::fromStdString(s); };
            QVERIFY(!gone.Print());
            QCOMPARE(shown,
                QStringList{ QStringLiteral("Error initializing printer \"NoSuchTarnwQueue\"") });
        }

        TFilePreview missing;
        missing.FileName = dir.filePath(QStringLiteral("none.rpt"));
        try {
            missing.Open();
            QFAIL("opened a missing file");
        } catch (const ReportError &e) {
            QCOMPARE(QString::fromLatin1(e.what()),
                "Error initializing input stream \"" + missing.FileName + "\"");
        }

        if (QPrinterInfo::availablePrinters().isEmpty()) {
            TReportPrinter none;
            QStringList msgs;
            int events = 0;
            none.OnMessage = [&](const std::string &s) { msgs << QString::fromStdString(s); };
            none.OnBeforePrint = [&](TBaseReport &) { ++events; };
            none.RunReport();
            QCOMPARE(msgs,
                QStringList{ QStringLiteral("No printers are defined, aborting print job.") });
            QCOMPARE(events, 0);
        }
    }

    void widerFontsShrinkUntilTheSampleFits()
    {
        // Recorded with a measurer whose text runs narrower than the real face: the replay
        // must shrink each font so that lines keep the recorded length.
        QTemporaryDir dir;
        FixedWidthMeasurer narrow(0.3);
        TReportFiler filer(narrow);
        filer.FileName = dir.filePath(QStringLiteral("narrow.rpt")).toStdString();
        const std::string sample(rpt::kSampleText);
        filer.OnPrint = [&](TBaseReport &r) {
            r.UseFont("Arial", 12);
            r.EmitAtXY(0.5, 2, sample);
        };
        filer.RunReport();
        const double recordedWidth = narrow.width(FontSpec{ "Arial", 16, 96, 96 }, sample) / 96;
        TFilePreview preview;
        preview.FileName = QString::fromStdString(filer.FileName);
        QImage page(850, 1100, QImage::Format_RGB32);
        QPainter painter(&page);
        QVERIFY(preview.RenderPage(1, painter, 100, 100));
        painter.end();
        // Right-most dark pixel of the sample's line: within the recorded width (+ a pixel).
        int right = 0;
        for (int y = 170; y < 210; ++y)
            for (int x = 0; x < 850; ++x)
                if (qGray(page.pixel(x, y)) < 128)
                    right = std::max(right, x);
        QVERIFY(right > 100);
        QVERIFY2(right <= 50 + recordedWidth * 100 + 2,
            qPrintable(
                QStringLiteral("right %1 recorded %2").arg(right).arg(50 + recordedWidth * 100)));
    }
};

QTEST_MAIN(ReportQtTest)
#include "report_qt_test.moc"
