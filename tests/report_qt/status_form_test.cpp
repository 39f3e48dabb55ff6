// The "Report Status" window: a completed run closes it by itself; a cancel during page 3 leaves
// it open on "Report Canceled!" with an OK button and no footer on page 3.
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "report_engine/qt/status_form.h"
#include "report_engine/report_file_reader.h"
#include "report_engine/report_filer.h"

using namespace report;

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
};

QTEST_MAIN(StatusFormTest)
#include "status_form_test.moc"
