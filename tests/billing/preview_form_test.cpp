// The preview window over recorded report files: buttons, labels, navigation, drawing at the
// zoom, the file's life, Save as PDF and printing on the PDF queue.
#include <memory>
#include <stdexcept>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "billing/preview_form.h"
#include "report_engine/qt/current_printer.h"
#include "report_engine/qt/qt_text_measurer.h"
#include "report_engine/qt/status_form.h"
#include "report_engine/report_file_reader.h"
#include "report_engine/report_filer.h"
#include "report_text.h"
#include "ui/scripted_messages.h"

using namespace report;

namespace {

// Writes a report of `pages` pages, each with a heading, forty numbered lines and its number.
QString writeReport(const QString &file, int pages, const std::string &title = "Tarnwick")
{
    QtTextMeasurer measurer;
    TReportFiler filer(measurer);
    filer.FileName = file.toStdString();
    filer.SetTitle(title);
    filer.OnBeforePrint = [](TBaseReport &r) {
        r.SetMarginLeft(0.75);
        r.SetMarginTop(0.75);
    };
    filer.OnPrint = [pages](TBaseReport &r) {
        for (int p = 1; p <= pages; ++p) {
            if (p > 1)
                r.StartNextPage();
            r.CursorHome();
            r.UseFont("Arial", 10);
            r.EmitLine("Statement page " + std::to_string(p));
            for (int l = 1; l <= 40; ++l)
                r.EmitLine("Line " + std::to_string(l) + " of page " + std::to_string(p));
        }
    };
    filer.RunReport();
    return file;
}

int inkedPixels(const QImage &img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128)
                ++n;
    return n;
}

// Where the PDF queue of scripts/setup-cups.sh keeps the jobs it printed.
QString cupsPdfOutDir()
{
    return qEnvironmentVariable("TARNW_PDF_DIR", "/var/spool/tarnw-pdf");
}

// Answers the next modal window of type W with `act` as soon as it is up. The watch ends with
// its answer, after 20 s, or when `owner` goes.
template <typename W> void answerNextModal(QObject *owner, std::function<void(W *)> act)
{
    auto *timer = new QTimer(owner);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, started, act] {
        auto *w = qobject_cast<W *>(QApplication::activeModalWidget());
        if ((!w || !w->isVisible()) && started->elapsed() < 20000)
            return;
        timer->stop();
        timer->deleteLater();
        if (w && w->isVisible())
            act(w);
    });
    timer->start(20);
}

// The platform's printer setup dialog: picks `printer` in its list and accepts, or cancels.
void answerPrinterSetup(QObject *owner, const QString &printer, bool accept, bool *picked)
{
    answerNextModal<QPrintDialog>(owner, [printer, accept, picked](QPrintDialog *d) {
        for (auto *box : d->findChildren<QComboBox *>()) {
            const int i = box->findText(printer);
            if (i >= 0) {
                box->setCurrentIndex(i);
                *picked = true;
            }
        }
        if (accept)
            d->accept();
        else
            d->reject();
    });
}

QStringList waitForJobs(const QString &folder, const QString &tag, int count)
{
    QStringList found;
    for (int i = 0; i < 150 && found.size() < count; ++i) {
        QTest::qWait(200);
        found = QDir(folder).entryList({ tag + QStringLiteral("*.pdf") }, QDir::Files);
    }
    return found;
}

} // namespace

class PreviewFormTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    ui::ScriptedMessages messages;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        // The window's placement is written to a settings file of the test's own.
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    }

    void toolbarCaptionAndStartLabels()
    {
        billing::TPreviewForm form(nullptr, writeReport(dir.filePath("a.rpt"), 3));
        QCOMPARE(form.windowTitle(), QStringLiteral("Tarnwick Report Viewer"));
        QCOMPARE(form.objectName(), QStringLiteral("PreviewForm"));
        const QStringList hints = { "Zoom In", "Zoom Out", "Zoom Page Width", "Show Full Page",
            "Go to First Page", "Go to Previous Page", "Go to Next Page", "Go to Last Page",
            "Print document", "Printer Setup", "Save as PDF", "Done" };
        const auto buttons = form.findChildren<QToolButton *>();
        QStringList found;
        int lastX = -1;
        form.resize(800, 600);
        form.setWindowState(Qt::WindowNoState);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (const QString &h : hints) {
            QToolButton *b = form.button(h);
            QVERIFY2(b, qPrintable(h));
            QCOMPARE(b->size(), QSize(28, 28));
            QVERIFY2(b->x() > lastX, qPrintable(h)); // left to right in this order
            lastX = b->x();
        }
        QCOMPARE(int(buttons.size()), int(hints.size()));
        QCOMPARE(form.zoomText(), QStringLiteral("100%"));
        QCOMPARE(form.pageText(), QStringLiteral("Page 1 of 3"));
        QVERIFY(form.isFileOpen());
    }

    void navigationAndZoomThroughButtons()
    {
        billing::TPreviewForm form(nullptr, writeReport(dir.filePath("b.rpt"), 4));
        form.setMessages(&messages);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        struct Step
        {
            const char *hint;
            const char *page;
        } steps[] = {
            { "Go to Next Page", "Page 2 of 4" },
            { "Go to Last Page", "Page 4 of 4" },
            { "Go to Next Page", "Page 4 of 4" },
            { "Go to Previous Page", "Page 3 of 4" },
            { "Go to First Page", "Page 1 of 4" },
            { "Go to Previous Page", "Page 1 of 4" },
        };
        for (const auto &s : steps) {
            form.button(QString::fromLatin1(s.hint))->click();
            QCOMPARE(form.pageText(), QString::fromLatin1(s.page));
        }
        form.button("Zoom In")->click();
        QCOMPARE(form.zoomText(), QStringLiteral("110.0%"));
        for (int i = 0; i < 12; ++i)
            form.button("Zoom In")->click();
        QCOMPARE(form.zoomText(), QStringLiteral("200.0%"));
        for (int i = 0; i < 25; ++i)
            form.button("Zoom Out")->click();
        QCOMPARE(form.zoomText(), QStringLiteral("10.0%"));
        form.button("Zoom Page Width")->click();
        auto *area = form.findChild<QScrollArea *>();
        QVERIFY(area->widget()->width() <= area->viewport()->width());
        QVERIFY(area->widget()->width() >= area->viewport()->width() - 2);
        form.button("Show Full Page")->click();
        QApplication::processEvents();
        QVERIFY(area->widget()->height() <= area->height() - 4);
        QVERIFY(area->widget()->width() <= area->width() - 4);
        QVERIFY(messages.shown().isEmpty());
    }

    void onePageReportStaysOnItsPage()
    {
        billing::TPreviewForm form(nullptr, writeReport(dir.filePath("one.rpt"), 1));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.button("Go to Next Page")->click();
        form.button("Go to Previous Page")->click();
        QCOMPARE(form.pageText(), QStringLiteral("Page 1 of 1"));
        QCOMPARE(form.model().currentPage(), 1);
    }

    void pagesAreDrawnAtTheScreensResolutionForEachZoom()
    {
        billing::TPreviewForm form(nullptr, writeReport(dir.filePath("c.rpt"), 2));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *page = form.findChild<QScrollArea *>()->widget();
        const double ppi = page->logicalDpiX();
        QCOMPARE(page->width(), qRound(8.5 * ppi));
        const QImage at100 = page->grab().toImage();
        const int ink100 = inkedPixels(at100);
        QVERIFY(ink100 > 500);
        form.button("Zoom In")->click(); // 110
        for (int i = 0; i < 9; ++i)
            form.button("Zoom In")->click(); // 200
        QCOMPARE(page->width(), qRound(17 * ppi));
        const QImage at200 = page->grab().toImage();
        // Drawn again at the zoom: text strokes cover about four times the pixels, not a blur.
        const int ink200 = inkedPixels(at200);
        QVERIFY2(ink200 > 2.5 * ink100 && ink200 < 6 * ink100,
            qPrintable(QString("%1 %2").arg(ink100).arg(ink200)));
        // The second page differs from the first.
        form.button("Go to Next Page")->click();
        QVERIFY(page->grab().toImage() != at200);
    }

    void upAndDownScrollByOneStepWithinLimits()
    {
        billing::TPreviewForm form(nullptr, writeReport(dir.filePath("d.rpt"), 1));
        form.setWindowState(Qt::WindowNoState);
        form.resize(700, 400);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QScrollBar *v = form.findChild<QScrollArea *>()->verticalScrollBar();
        QVERIFY(v->maximum() > 0);
        QTest::keyClick(&form, Qt::Key_Up);
        QCOMPARE(v->value(), 0);
        QTest::keyClick(&form, Qt::Key_Down);
        QCOMPARE(v->value(), v->singleStep());
        v->setValue(v->maximum());
        QTest::keyClick(&form, Qt::Key_Down);
        QCOMPARE(v->value(), v->maximum());
        QTest::keyClick(&form, Qt::Key_Up);
        QCOMPARE(v->value(), v->maximum() - v->singleStep());
    }

    void doneClosesTheFileAndLeavesTheMarkClear()
    {
        billing::setPrintedFromPreview(false);
        billing::TPreviewForm form(nullptr, writeReport(dir.filePath("e.rpt"), 2));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.isFileOpen());
        form.button("Done")->click();
        QVERIFY(!form.isVisible());
        QVERIFY(!form.isFileOpen());
        QVERIFY(!billing::printedFromPreview());
        // The file is no longer held: it can be replaced by the next run.
        QVERIFY(QFile::remove(dir.filePath("e.rpt")));
    }

    // A damaged report file: its error is told once, after the paint event, and the window
    // goes on (other pages, zoom, Done) instead of dying in the paint event.
    void damagedFileIsToldOnceAndTheWindowGoesOn_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("line"); // the text record the damage is placed at
        QTest::addColumn<int>("damagedPage");
        QTest::addColumn<QString>("error");
        QTest::newRow("stray code on page 1")
            << "code"
            << "Line 7 of page 1" << 1 << "Unexpected code found in report file.";
        QTest::newRow("stray code on page 2")
            << "code"
            << "Line 30 of page 2" << 2 << "Unexpected code found in report file.";
        QTest::newRow("cut off in page 2")
            << "cut"
            << "Line 12 of page 2" << 2 << "Unexpected end of report file.";
    }

    void damagedFileIsToldOnceAndTheWindowGoesOn()
    {
        QFETCH(QString, damage);
        QFETCH(QString, line);
        QFETCH(int, damagedPage);
        QFETCH(QString, error);
        const QString rpt = writeReport(dir.filePath("damaged.rpt"), 3);
        QFile f(rpt);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        // A text record: code 24, single Y, string (length byte, characters), single X.
        const qsizetype at = bytes.indexOf(line.toLatin1());
        QVERIFY(at > 0);
        QCOMPARE(int(bytes[at - 6]), 24);
        if (damage == "code")
            bytes[at - 6] = char(99);
        else
            bytes.truncate(at);
        QVERIFY(f.resize(0));
        QCOMPARE(f.write(bytes), bytes.size());
        f.close();

        ui::ScriptedMessages told;
        billing::TPreviewForm form(nullptr, rpt);
        form.setMessages(&told);
        form.setWindowState(Qt::WindowNoState);
        form.resize(800, 600);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *page = form.findChild<QScrollArea *>()->widget();
        for (int p = 1; p < damagedPage; ++p)
            form.button("Go to Next Page")->click();
        page->repaint();
        QTRY_COMPARE(told.shown().size(), 1);
        QCOMPARE(told.shown().first().kind, ui::MessageKind::Error);
        QCOMPARE(told.shown().first().text, error);
        // The lines before the damage are on the sheet.
        QVERIFY(inkedPixels(page->grab().toImage()) > 100);
        // Drawing the page again, at other zooms, or any other page tells nothing more.
        form.button("Zoom In")->click();
        page->repaint();
        form.button("Go to Last Page")->click();
        page->repaint();
        form.button("Go to First Page")->click();
        page->repaint();
        QTest::qWait(50);
        QCOMPARE(told.shown().size(), 1);
        QCOMPARE(form.pageText(), QStringLiteral("Page 1 of 3"));
        QVERIFY(form.isVisible());
        form.button("Done")->click();
        QVERIFY(!form.isVisible());
        QVERIFY(!form.isFileOpen());
    }

    void saveAsPdfHasTheReportsText()
    {
        const QString rpt = writeReport(dir.filePath("f.rpt"), 3);
        billing::TPreviewForm form(nullptr, rpt);
        form.setMessages(&messages);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QString pdf = dir.filePath("f.pdf");
        form.saveAsPdf(pdf);
        QVERIFY(QFile::exists(pdf));
        QCOMPARE(pdfWords(pdf), recordedWords(rpt));
        QVERIFY(messages.shown().isEmpty());
    }

    void printTwiceOnThePdfQueue()
    {
        if (QPrinterInfo::defaultPrinter().printerName() != QLatin1String("TarnwPDF"))
            QSKIP("the PDF printer queue of scripts/setup-cups.sh is not the default printer");
        const QString outDir = cupsPdfOutDir();
        if (outDir.isEmpty())
            QSKIP("the PDF queue's output folder is not known");
        const QString tag = QStringLiteral("tarnwprev%1").arg(QCoreApplication::applicationPid());
        const QString rpt = writeReport(dir.filePath("g.rpt"), 2, tag.toStdString());
        billing::setPrintedFromPreview(false);
        billing::TPreviewForm form(nullptr, rpt);
        form.setMessages(&messages);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.button("Print document")->click();
        form.button("Print document")->click();
        QVERIFY(billing::printedFromPreview());
        const QStringList found = waitForJobs(outDir, tag, 2);
        QCOMPARE(found.size(), 2);
        // Each job is the document as the printing filters handed it to the printer: its
        // text is the report file's, page for page.
        for (const QString &f : found) {
            const QString path = QDir(outDir).filePath(f);
            QCOMPARE(pdfPages(path), 2);
            QCOMPARE(pdfWords(path), recordedWords(rpt));
            QFile::remove(path);
        }
        QVERIFY(messages.shown().isEmpty());
        billing::setPrintedFromPreview(false);
    }

    void printerSetupChoiceIsWhereTheNextPrintGoes()
    {
        if (QPrinterInfo::printerInfo(QStringLiteral("TarnwPDF2")).isNull()
            || QPrinterInfo::defaultPrinterName() != QLatin1String("TarnwPDF"))
            QSKIP("the two PDF printer queues of scripts/setup-cups.sh are not defined");
        const QString outDir = cupsPdfOutDir();
        const QString secondDir = QDir(outDir).filePath(QStringLiteral("second"));
        const QString tag = QStringLiteral("tarnwsetup%1").arg(QCoreApplication::applicationPid());
        const QString rpt = writeReport(dir.filePath("h.rpt"), 1, tag.toStdString());
        QCOMPARE(report::currentPrinterName(), QStringLiteral("TarnwPDF"));
        billing::TPreviewForm form(nullptr, rpt);
        form.setMessages(&messages);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        bool picked = false;
        answerPrinterSetup(&form, QStringLiteral("TarnwPDF2"), true, &picked);
        form.button("Printer Setup")->click();
        QVERIFY(picked);
        QCOMPARE(report::currentPrinterName(), QStringLiteral("TarnwPDF2"));
        QCOMPARE(report::currentPrinterIndex(),
            int(QPrinterInfo::availablePrinterNames().indexOf(QStringLiteral("TarnwPDF2"))));

        // Cancelling the dialog keeps the printer chosen before, even with another one picked.
        picked = false;
        answerPrinterSetup(&form, QStringLiteral("TarnwPDF"), false, &picked);
        form.button("Printer Setup")->click();
        QVERIFY(picked);
        QCOMPARE(report::currentPrinterName(), QStringLiteral("TarnwPDF2"));

        form.button("Print document")->click();
        const QStringList found = waitForJobs(secondDir, tag, 1);
        report::setCurrentPrinterName({});
        QCOMPARE(found.size(), 1);
        const QString path = QDir(secondDir).filePath(found.first());
        QCOMPARE(pdfWords(path), recordedWords(rpt));
        QFile::remove(path);
        QVERIFY(QDir(outDir).entryList({ tag + QStringLiteral("*") }, QDir::Files).isEmpty());
        QCOMPARE(report::currentPrinterName(), QStringLiteral("TarnwPDF"));
        QVERIFY(messages.shown().isEmpty());
        billing::setPrintedFromPreview(false);
    }

    // A statement run in the status window while an A4 printer is current is previewed on an
    // A4 sheet, laid out to its bottom margin.
    void statementOnAnA4PrinterIsPreviewedOnA4()
    {
        if (QPrinterInfo::printerInfo(QStringLiteral("TarnwA4")).isNull())
            QSKIP("the A4 printer queue of scripts/services.sh is not defined");
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        report::setCurrentPrinterName(QStringLiteral("TarnwA4"));
        QtTextMeasurer measurer;
        TReportFiler filer(measurer);
        report::TStatusForm status;
        status.SetReport(&filer, true);
        filer.OnPrint = [](TBaseReport &r) {
            r.SetMarginLeft(0.55);
            r.SetMarginRight(0.55);
            r.CursorHome();
            r.UseFont("Times New Roman", 14);
            r.UseBold(true);
            r.EmitLine("Alder Partners LLP");
            r.UseFont("Times New Roman", 10);
            r.EmitLine("12 Quay Street, Tarnwick");
            r.AdvanceLine();
            r.EmitRightAt("Statement 1042", r.PageWidthInches() - 0.55);
            r.AdvanceLine();
            r.ClearTabStops();
            r.AddTabStop(0.55, JustifyLeft, 1.0, 2, 0, 0);
            r.AddTabStop(-32768, JustifyLeft, 4.5, 2, 0, 0);
            r.AddTabStop(-32768, JustifyRight, 0.8, 2, 0, 0);
            r.AddTabStop(-32768, JustifyRight, 0.87, 2, 0, 0);
            r.UseBold(true);
            r.EmitLine("\tDate\tDescription\tHours\tAmount");
            r.UseBold(false);
            for (int i = 1; r.LinesRemaining() > 2; ++i)
                r.EmitLine("\t12/" + std::to_string(i % 28 + 1) + "/26\tConsulting, slip "
                    + std::to_string(1000 + i) + "\t1.50\t180.00");
            r.SetMarginBottom(0.5);
            r.EmitAtBottom("Page 1", JustifyRight);
        };
        status.exec();
        report::setCurrentPrinterName({});
        QVERIFY(!status.Failed());

        QSize sheet;
        double ppi = 0;
        QObject watches;
        answerNextModal<billing::TPreviewForm>(&watches, [&](billing::TPreviewForm *p) {
            QVERIFY(QTest::qWaitForWindowExposed(p));
            const QWidget *page = p->findChild<QScrollArea *>()->widget();
            sheet = page->size();
            ppi = page->logicalDpiX();
            const QByteArray shots = qgetenv("TARNW_SHOT_DIR");
            if (!shots.isEmpty()) { // as tall as the screen allows, the whole sheet in view
                p->setWindowState(Qt::WindowNoState);
                p->setGeometry(p->screen()->availableGeometry().adjusted(0, 0, -300, 0));
                QTest::qWait(200);
                p->button("Show Full Page")->click();
                QTest::qWait(200);
                p->grab().save(QString::fromLocal8Bit(shots) + "/preview-a4-statement.png");
            }
            p->button("Done")->click();
        });
        QVERIFY(billing::previewAfterRun(status, true, true, nullptr));
        // 210 x 297 mm at the screen's resolution, to the pixel.
        QVERIFY2(qAbs(sheet.width() - 210 / 25.4 * ppi) <= 1
                && qAbs(sheet.height() - 297 / 25.4 * ppi) <= 1,
            qPrintable(QStringLiteral("%1 x %2").arg(sheet.width()).arg(sheet.height())));
        QVERIFY(QDir::setCurrent(before));
    }

    void previewAfterRun_data()
    {
        QTest::addColumn<bool>("fileBackEnd");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("fileNotCreated");
        QTest::addColumn<bool>("wanted");
        QTest::addColumn<bool>("fail");
        QTest::addColumn<QString>("shown");
        QTest::newRow("completed file run, preview asked")
            << true << false << false << true << false << "Page 1 of 2";
        QTest::newRow("preview not asked") << true << false << false << false << false << "";
        QTest::newRow("printer back end") << false << false << false << true << false << "";
        QTest::newRow("cancelled run") << true << true << false << true << false << "";
        // An older TWREPORT.RPT lies in the folder from the first row: it must not be shown.
        QTest::newRow("report file not created") << true << false << true << true << false << "";
        // The document stopped by an engine error on page 2: its cut-off report is not shown.
        QTest::newRow("failed run") << true << false << false << true << true << "";
    }

    void previewAfterRun()
    {
        QFETCH(bool, fileBackEnd);
        QFETCH(bool, cancel);
        QFETCH(bool, fileNotCreated);
        QFETCH(bool, wanted);
        QFETCH(bool, fail);
        QFETCH(QString, shown);
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QtTextMeasurer measurer;
        TReportFiler filer(measurer);
        report::TStatusForm status;
        status.SetReport(&filer, true);
        if (fileNotCreated)
            filer.FileName = dir.filePath("no such folder/TWREPORT.RPT").toStdString();
        QStringList told;
        filer.OnMessage = [&](const std::string &m) { told << QString::fromStdString(m); };
        status.OnError = [&](const QString &m) { told << m; };
        filer.OnPrint = [cancel, fail](TBaseReport &r) {
            r.EmitLine("First page");
            if (cancel)
                r.CancelReport();
            r.StartNextPage();
            r.EmitLine("Second page");
            if (fail)
                throw std::runtime_error("Record locked by another user: TWCLIENT.");
        };
        // A cancelled run waits on "Report Canceled!" for its OK button.
        QObject watches;
        answerNextModal<report::TStatusForm>(&watches, [](report::TStatusForm *s) {
            auto *ok = new QTimer(s);
            QObject::connect(ok, &QTimer::timeout, s, [s] {
                if (s->isVisible() && !s->Running() && s->CancelBtn->text() == "OK"
                    && QApplication::activeModalWidget() == s)
                    s->CancelBtn->click();
            });
            ok->start(50);
        });
        status.exec();
        QCOMPARE(status.Canceled(), cancel || fail);
        QCOMPARE(status.Failed(), fail);
        QCOMPARE(told.size(), fileNotCreated || fail ? 1 : 0);

        QString seen;
        answerNextModal<billing::TPreviewForm>(&watches, [&seen](billing::TPreviewForm *p) {
            QVERIFY(QTest::qWaitForWindowExposed(p));
            seen = p->pageText();
            p->button("Done")->click();
        });
        const bool opened = billing::previewAfterRun(status, fileBackEnd, wanted, nullptr);
        QCOMPARE(opened, !shown.isEmpty());
        QCOMPARE(seen, shown);
        QVERIFY(QDir::setCurrent(before));
    }
};

QTEST_MAIN(PreviewFormTest)
#include "preview_form_test.moc"
