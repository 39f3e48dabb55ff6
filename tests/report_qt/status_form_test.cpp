// The "Report Status" window: a completed run closes it by itself; a cancel during page 3 leaves
// it open on "Report Canceled!" with an OK button and no footer on page 3; a document that fails
// ends as a failed run with its error shown once, and the window and the event loop go on.
#include <stdexcept>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "dbf/errors.h"
#include "report_engine/qt/current_printer.h"
#include "report_engine/qt/qt_text_measurer.h"
#include "report_engine/qt/status_form.h"
#include "report_engine/report_file_format.h"
#include "report_engine/report_file_reader.h"
#include "report_engine/report_filer.h"

using namespace report;

namespace {

// Once the run is over, notes what the window shows and presses its button.
struct AfterRun
{
    bool open = false;
    QString label;
    QString button;
};
void pressOkAfterRun(TStatusForm &form, AfterRun &seen)
{
    auto *poll = new QTimer(&form);
    QObject::connect(poll, &QTimer::timeout, &form, [&form, &seen, poll] {
        if (form.Running() || form.CancelBtn->text() != QLatin1String("OK")
            || QApplication::activeModalWidget() != &form)
            return;
        poll->stop();
        seen = { form.isVisible(), form.StatusLabel->text(), form.CancelBtn->text() };
        form.CancelBtn->click();
    });
    poll->start(20);
}

} // namespace

class StatusFormTest : public QObject
{
    Q_OBJECT
private slots:
    void completedRunClosesItself()
    {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        FixedWidthMeasurer m;
        TReportFiler filer(m);
        TStatusForm form;
        form.SetReport(&filer, true);
        QStringList labels;
        filer.OnPrintPage = [&](TBaseReport &r, int page) {
            labels << form.StatusLabel->text();
            r.EmitLine("line");
            return page < 3;
        };
        bool closed = false;
        form.OnClosed = [&] { closed = true; };
        QCOMPARE(form.windowTitle(), QStringLiteral("Report Status"));
        QCOMPARE(form.StatusLabel->text(), QStringLiteral("Printing Status"));
        QCOMPARE(form.exec(), int(QDialog::Accepted));
        QVERIFY(closed);
        QCOMPARE(labels, (QStringList{ "Printing page 1", "Printing page 2", "Printing page 3" }));
        QCOMPARE(form.StatusLabel->text(), QStringLiteral("\nReport Completed!"));
        ReportFileReader reader;
        reader.open("TWREPORT.RPT");
        QCOMPARE(reader.header().pageCount, 3);
        QCOMPARE(QString::fromStdString(reader.header().title), QStringLiteral("Tarnwick"));
    }

    void cancelDuringPageThreeStaysOpenUntilOk()
    {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        FixedWidthMeasurer m;
        TReportFiler filer(m);
        TPrintModStatus form;
        form.SetReport(&filer, true);
        QStringList footers;
        filer.OnPrintFooter = [&](TBaseReport &r) { footers << QString::number(r.CurrentPage()); };
        filer.OnPrintPage = [&](TBaseReport &r, int page) {
            r.EmitLine("before");
            if (page == 3)
                form.CancelBtn->click(); // noticed by the next text output
            r.EmitLine("after");
            return page < 5;
        };
        bool stillOpen = false;
        QString label, button;
        // After the run, look at the window, then press OK.
        QTimer::singleShot(300, &form, [&] {
            stillOpen = form.isVisible();
            label = form.StatusLabel->text();
            button = form.CancelBtn->text();
            form.CancelBtn->click();
        });
        QCOMPARE(form.exec(), int(QDialog::Accepted));
        QVERIFY(stillOpen);
        QCOMPARE(label, QStringLiteral("\nReport Canceled!"));
        QCOMPARE(button, QStringLiteral("OK"));
        QCOMPARE(footers, (QStringList{ "1", "2" }));
        QVERIFY(form.Canceled());
    }

    void failingRunEndsAsAFailedRun_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("jobStarted");
        QTest::addColumn<QStringList>("footers");
        QTest::newRow("record locked on page 2")
            << "page"
            << "Record locked by another user: TWCLIENT." << true << QStringList{ "1" };
        QTest::newRow("before the job opens")
            << "before print"
            << "Record locked by another user: TWSLIP." << false << QStringList{};
        QTest::newRow("positioning the tables")
            << "before run"
            << "Table is busy: TWCLIENT is in use by another program." << false << QStringList{};
        // Without a message handler the engine's own message comes as an error.
        QTest::newRow("report file not created")
            << "file"
            << "Error initializing stream \"no such folder/TWREPORT.RPT\"" << false
            << QStringList{};
    }

    void failingRunEndsAsAFailedRun()
    {
        QFETCH(QString, where);
        QFETCH(QString, error);
        QFETCH(bool, jobStarted);
        QFETCH(QStringList, footers);
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        FixedWidthMeasurer m;
        TReportFiler filer(m);
        TStatusForm form;
        form.SetReport(&filer, true);
        if (where == "file")
            filer.FileName = "no such folder/TWREPORT.RPT";
        QStringList shown, footerPages;
        form.OnError = [&](const QString &t) { shown << t; };
        form.OnBeforeRun = [&] {
            if (where == "before run")
                throw dbf::TableBusy("TWCLIENT");
        };
        filer.OnBeforePrint = [&](TBaseReport &) {
            if (where == "before print")
                throw dbf::RecordLocked("TWSLIP");
        };
        filer.OnPrintFooter = [&](TBaseReport &r) {
            footerPages << QString::number(r.CurrentPage());
        };
        filer.OnPrint = [&](TBaseReport &r) {
            r.EmitLine("first page");
            r.StartNextPage();
            r.EmitLine("second page");
            throw dbf::RecordLocked("TWCLIENT");
        };
        bool closed = false;
        form.OnClosed = [&] { closed = true; };
        AfterRun seen;
        pressOkAfterRun(form, seen);
        form.exec();
        QCOMPARE(shown, QStringList{ error });
        QVERIFY(form.Failed());
        QVERIFY(form.Canceled());
        QCOMPARE(form.JobStarted(), jobStarted);
        QVERIFY(!form.Running());
        QVERIFY(!filer.Printing());
        QCOMPARE(footerPages, footers); // no footer on the page the error struck
        // The window waited for its OK on the cancelled text, then closed as usual.
        QVERIFY(seen.open);
        QCOMPARE(seen.label, QStringLiteral("\nReport Canceled!"));
        QCOMPARE(seen.button, QStringLiteral("OK"));
        QVERIFY(closed);
        QVERIFY(!form.isVisible());
        // The event loop is still the program's: a later timer runs.
        bool ticked = false;
        QTimer::singleShot(0, [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        // The report object is idle again and can run the next job.
        filer.OnBeforePrint = {};
        filer.OnPrint = [](TBaseReport &r) { r.EmitLine("again"); };
        filer.FileName = "TWREPORT.RPT";
        filer.RunReport();
        QCOMPARE(filer.CurrentPage(), 1);
    }

    void failureWithoutHandlerIsShownInTheErrorBox()
    {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        FixedWidthMeasurer m;
        TReportFiler filer(m);
        TStatusForm form;
        form.SetReport(&filer, true);
        filer.OnPrint = [](TBaseReport &r) {
            r.EmitLine("first page");
            throw dbf::RecordLocked("TWCLIENT");
        };
        QStringList boxes;
        auto *watch = new QTimer(&form);
        connect(watch, &QTimer::timeout, &form, [&boxes] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxes << box->windowTitle() + ": " + box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        watch->start(20);
        AfterRun seen;
        pressOkAfterRun(form, seen);
        form.exec();
        QCOMPARE(boxes, QStringList{ "Error: Record locked by another user: TWCLIENT." });
        QVERIFY(form.Failed());
        QVERIFY(seen.open);
    }

    // Putting the tables back on close may fail too: the error is shown and the window closes.
    void failureOnCloseStillCloses()
    {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        FixedWidthMeasurer m;
        TReportFiler filer(m);
        TStatusForm form;
        form.SetReport(&filer, true);
        filer.OnPrint = [](TBaseReport &r) { r.EmitLine("only page"); };
        QStringList shown;
        form.OnError = [&](const QString &t) { shown << t; };
        form.OnClosed = [] { throw dbf::RecordLocked("TWCLIENT"); };
        QCOMPARE(form.exec(), int(QDialog::Accepted));
        QVERIFY(!form.isVisible());
        QVERIFY(!form.Failed());
        QVERIFY(!form.Canceled());
        QCOMPARE(shown, QStringList{ "Record locked by another user: TWCLIENT." });
    }

    // A report file is laid out on the current printer's sheet, and still carries the device
    // names of a recording; without any printer it is Letter at 96 pixels per inch.
    void reportFileIsLaidOutOnTheCurrentPrintersSheet_data()
    {
        QTest::addColumn<QString>("printer");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<QString>("recordedName");
        QTest::newRow("A4 queue") << "TarnwA4" << 210 / 25.4 << 297 / 25.4 << "Preview";
        QTest::newRow("Letter queue") << "TarnwPDF" << 8.5 << 11.0 << "Preview";
        QTest::newRow("no printer installed") << "" << 8.5 << 11.0 << "";
    }

    void reportFileIsLaidOutOnTheCurrentPrintersSheet()
    {
        QFETCH(QString, printer);
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(QString, recordedName);
        if (printer.isEmpty() != QPrinterInfo::availablePrinterNames().isEmpty())
            QSKIP(printer.isEmpty() ? "printers are installed"
                                    : "the test queues of scripts/services.sh are not defined");
        if (!printer.isEmpty() && QPrinterInfo::printerInfo(printer).isNull())
            QSKIP("the test queues of scripts/services.sh are not defined");
        setCurrentPrinterName(printer);
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        QtTextMeasurer m;
        TReportFiler filer(m);
        TStatusForm form;
        form.SetReport(&filer, true);
        QString device;
        int lines = 0;
        filer.OnPrint = [&](TBaseReport &r) {
            r.StatusFormat = "%D|%R|%T";
            r.ShowStatus();
            device = QString::fromStdString(r.StatusLabel());
            r.CursorHome();
            r.UseFont("Times New Roman", 10);
            while (r.LinesRemaining() > 0)
                r.EmitLine("Statement line " + std::to_string(++lines));
            r.EmitAtBottom("Page 1", JustifyRight);
        };
        form.exec();
        setCurrentPrinterName({});
        QVERIFY(!form.Failed());

        ReportFileReader reader;
        reader.open("TWREPORT.RPT");
        QVERIFY(qAbs(reader.header().sheetWidth - width) < 0.01);
        QVERIFY(qAbs(reader.header().sheetHeight - height) < 0.01);
        QVERIFY(qAbs(reader.page().width - width) < 0.01);
        QVERIFY(qAbs(reader.page().height - height) < 0.01);
        QCOMPARE(QString::fromStdString(reader.header().printerName), recordedName);
        QCOMPARE(device,
            recordedName.isEmpty() ? QStringLiteral("Preview Only|Preview Only|Preview Only")
                                   : QStringLiteral("Preview|Preview|Screen"));
        // Lines fill the sheet down to its bottom margin (0.5 inch, 10-point lines of 1/6 inch),
        // and the right-justified footer ends at the sheet's width less the right margin.
        QVERIFY2(qAbs(lines - (height - 1.0) * 6) <= 1, qPrintable(QString::number(lines)));
        Record rec;
        double lastBaseline = 0, footerRight = 0;
        while (reader.next(rec)) {
            if (rec.code == rpt::LeftText)
                lastBaseline = std::max(lastBaseline, rec.num(0));
            if (rec.code == rpt::RightText)
                footerRight = rec.num(1);
        }
        QVERIFY(lastBaseline < height - 0.5 && lastBaseline > height - 0.5 - 2.0 / 6);
        QVERIFY(qAbs(footerRight - (reader.header().sheetWidth - 0.5)) < 1e-4);
    }
};

QTEST_MAIN(StatusFormTest)
#include "status_form_test.moc"
