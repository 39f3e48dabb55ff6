// The catalogue and options windows over real tables, offscreen: the pre-selected first report
// with "&Print" disabled until the user picks one, the groups every report enables, the options'
// defaults, a run from the window into the report file and the preview, the main window's
// cursors put back after a run and after an engine error half-way, and "Save as CSV" read back
// by an independent CSV reader.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "billing/preview_form.h"
#include "report_engine/qt/status_form.h"
#include "reports/report_form.h"
#include "reports/report_run.h"
#include "reports/rpt_options.h"
#include "report_fixture.h"
#include "report_text.h"
#include "temp_dir.h"
#include "ui/scripted_messages.h"

using namespace std::chrono;

namespace {

platform::ManualClock decemberTenth()
{
    return platform::ManualClock(year_month_day(year(2026), month(12), day(10)));
}

void seedClients(ReportTables &t)
{
    for (const char *name : { "Able", "Baker", "Charlie", "Delta", "Echo" })
        t.client({ std::string("N") + name[0], name });
    t.activity("ADMIN", "Administration", "B");
    t.activity("TRAVEL", "Travel", "E");
    t.staff("001", "Ann", "111-11-1111", 50);
    t.staff("009", "Zed", "999-99-9999", 70);
    t.project("NA", "P100", "First");
    t.project("NB", "P900", "Last");
    t.reread();
}

QStringList listTexts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// Where screenshots go when TARNW_SCREENSHOT_DIR is set (looked at by hand, not compared).
void screenshot(QWidget &w, const QString &name)
{
    const QString dir = qEnvironmentVariable("TARNW_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    w.show();
    QTest::qWait(50);
    w.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

} // namespace

TEST(ReportForm, FirstReportPreselectedAndPrintDisabledUntilTheUserPicks)
{
    ReportTables t;
    seedClients(t);
    ui::ScriptedMessages messages;
    const platform::ManualClock clock = decemberTenth();
    QString font = QStringLiteral("Times New Roman");
    for (bool byKeyboard : { false, true }) {
        SCOPED_TRACE(byKeyboard);
        reports::TReportForm form(t.data(), font, messages, clock);
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Report Selection"));
        EXPECT_EQ(listTexts(form.CategoryList),
            (QStringList{ "Slip Analysis Reports", "Client Reports & Labels",
                "Project Analysis Reports", "Miscellaneous Reports" }));
        EXPECT_EQ(form.CategoryList->currentRow(), 0);
        EXPECT_EQ(form.selectedReport(), QStringLiteral("Slip Listing by Client"));
        EXPECT_FALSE(form.PrintBtn->isEnabled());
        EXPECT_TRUE(form.CancelBtn->isDefault());
        EXPECT_TRUE(form.PreviewCheck->isChecked());
        EXPECT_FALSE(form.PrinterCheck->isChecked());
        EXPECT_EQ(form.CopiesSpin->value(), 1);
        EXPECT_EQ(form.SubHeadingEdit->text(), QStringLiteral("12/10/2026"));
        EXPECT_EQ(form.SubHeadingEdit->maxLength(), 80);

        // Choosing a category refills the list and pre-selects its first report.
        form.selectCategory(3);
        EXPECT_EQ(listTexts(form.ReportList),
            (QStringList{ "Activity Listing", "Activity Totals", "Staff Listing",
                "Time Entry Worksheet" }));
        EXPECT_EQ(form.selectedReport(), QStringLiteral("Activity Listing"));
        EXPECT_FALSE(form.PrintBtn->isEnabled());
        EXPECT_TRUE(form.CsvBtn->isEnabled());

        form.show();
        if (byKeyboard) {
            form.ReportList->setFocus();
            QTest::keyClick(form.ReportList, Qt::Key_End);
        } else {
            const QRect r = form.ReportList->visualItemRect(form.ReportList->item(3));
            QTest::mouseClick(form.ReportList->viewport(), Qt::LeftButton, {}, r.center());
        }
        EXPECT_EQ(form.selectedReport(), QStringLiteral("Time Entry Worksheet"));
        EXPECT_TRUE(form.PrintBtn->isEnabled());
        EXPECT_FALSE(form.OptionsBtn->isEnabled());
        EXPECT_FALSE(form.CsvBtn->isEnabled());
        form.hide();
    }
}

TEST(ReportForm, OptionsWindowGroupsPerReport)
{
    ReportTables t;
    seedClients(t);
    ui::ScriptedMessages messages;
    const platform::ManualClock clock = decemberTenth();
    QString font = QStringLiteral("Times New Roman");
    reports::TReportForm form(t.data(), font, messages, clock);
    reports::TRptOptions &o = form.options();
    EXPECT_EQ(o.windowTitle(), QStringLiteral("Report Printing Options"));

    // Defaults, filled from the tables when the window was made.
    EXPECT_EQ(o.ClientBeginEdit->text(), QStringLiteral("Able"));
    EXPECT_EQ(o.ClientEndEdit->text(), QStringLiteral("Echo"));
    EXPECT_EQ(o.ActivityBeginCombo->currentText(), QStringLiteral("ADMIN"));
    EXPECT_EQ(o.ActivityEndCombo->currentText(), QStringLiteral("TRAVEL"));
    EXPECT_EQ(o.ProjectBeginCombo->currentText(), QStringLiteral("P100"));
    EXPECT_EQ(o.ProjectEndCombo->currentText(), QStringLiteral("P900"));
    EXPECT_EQ(o.StaffBeginCombo->currentText(), QStringLiteral("001"));
    EXPECT_EQ(o.StaffEndCombo->currentText(), QStringLiteral("009"));
    EXPECT_EQ(o.CycleFromSpin->value(), 1);
    EXPECT_EQ(o.CycleToSpin->value(), 10);
    EXPECT_FALSE(o.InactiveCheck->isChecked());
    EXPECT_TRUE(o.DateFromEdit->text().isEmpty());
    EXPECT_TRUE(o.DateToEdit->text().isEmpty());
    for (QCheckBox *c : { o.ExpenseCheck, o.PendingCheck, o.CompletedCheck, o.BilledCheck,
             o.NotBilledCheck, o.DetailedCheck })
        EXPECT_TRUE(c->isChecked()) << c->objectName().toStdString();
    EXPECT_TRUE(o.DetailedCheck->isHidden());
    const QDate today(2026, 12, 10);
    EXPECT_EQ(o.options().slipStart, today.toJulianDay() - 3650);
    EXPECT_EQ(o.options().slipEnd, today.toJulianDay() + 3650);

    const std::pair<QGroupBox *, int> groups[] = { { o.ClientRangeGroup, reports::ClientRangeGroup },
        { o.ClientCycleGroup, reports::ClientCycleGroup },
        { o.ActivityRangeGroup, reports::ActivityRangeGroup },
        { o.ProjectRangeGroup, reports::ProjectRangeGroup },
        { o.StaffRangeGroup, reports::StaffRangeGroup },
        { o.TimeSlipsGroup, reports::TimeSlipsGroup },
        { o.SlipStatusGroup, reports::SlipStatusGroup } };
    for (const reports::Category &cat : reports::categories())
        for (std::string_view name : cat.reports) {
            SCOPED_TRACE(name);
            const QString report = QString::fromLatin1(name.data(), qsizetype(name.size()));
            o.prepareFor(report);
            const reports::GroupState s = reports::groupsFor(name);
            for (auto [box, bit] : groups)
                EXPECT_EQ(box->isEnabled(), (s.enabled & bit) != 0)
                    << box->objectName().toStdString();
            const bool dateRange = report == QLatin1String("Invoice Report")
                || report == QLatin1String("Payment Report");
            EXPECT_EQ(o.TimeSlipsGroup->title(),
                dateRange ? QStringLiteral("Date Range") : QStringLiteral("&Time Slips"));
            EXPECT_EQ(o.ExpenseCheck->isHidden(), dateRange);
        }
    // The Client Listing uses the client range and cycle only.
    o.prepareFor(QStringLiteral("Client Listing"));
    EXPECT_TRUE(o.ClientRangeGroup->isEnabled());
    EXPECT_TRUE(o.InactiveCheck->isEnabled());
    EXPECT_FALSE(o.TimeSlipsGroup->isEnabled());
    EXPECT_FALSE(o.StaffRangeGroup->isEnabled());
    screenshot(o, QStringLiteral("rpt_options_client_listing"));
    o.prepareFor(QStringLiteral("Invoice Report"));
    screenshot(o, QStringLiteral("rpt_options_invoice_report"));
    o.hide();
    screenshot(form, QStringLiteral("report_form"));
    form.selectCategory(1);
    form.ReportList->setCurrentRow(2);
    screenshot(form, QStringLiteral("report_form_client_listing"));
    form.hide();
}

TEST(ReportForm, BlankDatePickerTakesTodayWhenEnteredAndOkComputesTheRange)
{
    ReportTables t;
    seedClients(t);
    ui::ScriptedMessages messages;
    const platform::ManualClock clock = decemberTenth();
    QString font;
    reports::TReportForm form(t.data(), font, messages, clock);
    reports::TRptOptions &o = form.options();
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(o.DateFromEdit, &in);
    EXPECT_EQ(o.DateFromEdit->text(), QStringLiteral("12/10/2026"));
    o.DateToEdit->setText(QStringLiteral("12/31/26"));
    QApplication::sendEvent(o.DateToEdit, &in);
    EXPECT_EQ(o.DateToEdit->text(), QStringLiteral("12/31/26")); // a typed date is kept
    // Read live, but the slip range waits for OK: Cancel leaves it as it was.
    EXPECT_EQ(o.options().slipEnd, QDate(2026, 12, 10).toJulianDay() + 3650);
    o.reject();
    EXPECT_EQ(o.options().slipEnd, QDate(2026, 12, 10).toJulianDay() + 3650);
    o.findChild<QPushButton *>(QStringLiteral("OKBtn"))->click();
    EXPECT_EQ(o.options().slipStart, QDate(2026, 12, 10).toJulianDay());
    EXPECT_EQ(o.options().slipEnd, QDate(2026, 12, 31).toJulianDay());
    // Text that is no date keeps the window open.
    o.DateToEdit->setText(QStringLiteral("13/45/26"));
    o.findChild<QPushButton *>(QStringLiteral("OKBtn"))->click();
    EXPECT_EQ(messages.lastText(), QStringLiteral("13/45/26 is not a valid date."));
    EXPECT_EQ(o.options().slipEnd, QDate(2026, 12, 31).toJulianDay());
}

TEST(ReportForm, ClientBoundLookedUpAmongNames)
{
    ReportTables t;
    seedClients(t);
    ui::ScriptedMessages messages;
    const platform::ManualClock clock = decemberTenth();
    QString font;
    reports::TReportForm form(t.data(), font, messages, clock);
    reports::TRptOptions &o = form.options();
    int listed = 0;
    o.runSearchList = [&](ui::Dataset &clients) {
        ++listed;
        clients.findKey({ QStringLiteral("Delta") });
        return true;
    };
    o.ClientBeginEdit->setText(QStringLiteral("Ch"));
    o.lookUpClient(o.ClientBeginEdit);
    EXPECT_EQ(o.ClientBeginEdit->text(), QStringLiteral("Charlie"));
    EXPECT_EQ(listed, 0);
    o.ClientBeginEdit->setText(QStringLiteral("Cz"));
    o.lookUpClient(o.ClientBeginEdit);
    EXPECT_EQ(listed, 1);
    EXPECT_EQ(o.ClientBeginEdit->text(), QStringLiteral("Delta"));
}

TEST(ReportForm, RunRestoresTheMainWindowsCursorsAlsoAfterAnEngineError)
{
    ReportTables t;
    seedClients(t);
    ui::ScriptedMessages messages;
    const platform::ManualClock clock = decemberTenth();
    QString font = QStringLiteral("Liberation Serif");

    // The main window's state: client Charlie shown, client cursor on NUMBER, projects on
    // CLIENT_COD, payments following their statement.
    t.clients.setTag(QStringLiteral("NUMBER"));
    ASSERT_TRUE(t.clients.findKey({ QStringLiteral("NC") }));
    const ui::Dataset::Bookmark shown = t.clients.bookmark();

    for (bool fail : { false, true }) {
        SCOPED_TRACE(fail);
        messages.clear();
        TempDir out;
        reports::TReportForm form(t.data(), font, messages, clock);
        form.selectCategory(1);
        form.ReportList->setCurrentRow(2);
        ASSERT_EQ(form.selectedReport(), QStringLiteral("Client Listing"));
        // The engine error: the listing's walk steps onto Delta after printing three clients.
        bool failed = false;
        const QMetaObject::Connection c =
            QObject::connect(&t.clients, &ui::Dataset::afterScroll, [&] {
                if (fail && !failed && t.clients.text(QStringLiteral("NAME")) == "Delta") {
                    failed = true;
                    throw std::runtime_error("Record locked by another user.");
                }
            });
        bool previewed = false;
        form.prepareRun = [&](reports::ReportRun &run) {
            run.fileName = QString::fromStdString((out.path() / "TWREPORT.RPT").string());
            run.showPreview = [&](billing::TPreviewForm &) { previewed = true; };
            // A run that ended cancelled waits on "Report Canceled!" for OK: press it.
            run.showStatus = [](report::TStatusForm &status) {
                QTimer ok;
                QObject::connect(&ok, &QTimer::timeout, &status, [&] {
                    if (!status.Running() && status.CancelBtn->text() == QLatin1String("OK"))
                        status.CancelBtn->click();
                });
                ok.start(20);
                status.exec();
            };
        };
        form.PrintBtnClick();
        QObject::disconnect(c);

        EXPECT_EQ(t.clients.bookmark(), shown);
        EXPECT_EQ(t.clients.text(QStringLiteral("NAME")), QStringLiteral("Charlie"));
        EXPECT_EQ(t.clients.tag().toUpper(), QStringLiteral("NUMBER"));
        EXPECT_EQ(t.projects.tag().toUpper(), QStringLiteral("CLIENT_COD"));
        EXPECT_EQ(t.payments.master(), &t.invoices);
        EXPECT_FALSE(t.clients.controlsDisabled());
        EXPECT_FALSE(t.payments.controlsDisabled());
        EXPECT_EQ(failed, fail);
        if (!fail) {
            EXPECT_TRUE(previewed);
            EXPECT_TRUE(messages.shown().isEmpty());
            const auto texts =
                printedTexts((out.path() / "TWREPORT.RPT").string());
            EXPECT_EQ(textsIn(texts, 1, 0.569, 0.571),
                (std::vector<std::string>{ "Client", "Able", "Baker", "Charlie", "Delta", "Echo" }));
        } else {
            EXPECT_FALSE(previewed);
            EXPECT_EQ(messages.texts(), QStringList{ "Record locked by another user." });
        }
    }
}

TEST(ReportForm, SaveAsCsvReadBackByAnIndependentReader)
{
    QProcess probe;
    probe.start(QStringLiteral("python3"), { QStringLiteral("-c"), QStringLiteral("import csv") });
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
        GTEST_SKIP() << "python3 with its csv module is not available";

    ReportTables t;
    ClientRow a{ "000001", "Smith, Jones & Co" };
    a.contact = "Ann \"Nan\" Lee";
    ClientRow b{ "000002", "M\xfcller Caf\xe9" }; // Latin-1 as the tables keep it
    b.contact = "Ren\xe9";
    b.fax = "";
    t.client(a);
    t.client(b);
    t.reread();
    ui::ScriptedMessages messages;
    const platform::ManualClock clock = decemberTenth();
    QString font = QStringLiteral("Liberation Serif");
    reports::TReportForm form(t.data(), font, messages, clock);
    form.selectCategory(1);
    form.ReportList->setCurrentRow(2);
    TempDir out;
    const QString csv = QString::fromStdString((out.path() / "clients.csv").string());
    ASSERT_TRUE(form.saveCsv(csv));

    // What the listing printed, row by row.
    const std::string rpt = (out.path() / "TWREPORT.RPT").string();
    ASSERT_TRUE(runToFile("Client Listing", t, form.options().options(), rpt));
    std::map<double, QStringList> printedRows;
    for (const PrintedText &p : printedTexts(rpt))
        if (p.y > 1.3 && p.y < 9.5)
            printedRows[p.y] << QString::fromLatin1(p.text.c_str());

    QProcess py;
    py.start(QStringLiteral("python3"),
        { QStringLiteral("-c"),
            QStringLiteral("import csv,sys\n"
                           "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                           "    for row in csv.reader(f):\n"
                           "        sys.stdout.write('\\x1f'.join(row) + '\\n')\n"),
            csv });
    ASSERT_TRUE(py.waitForFinished(30000));
    ASSERT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(py.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QList<QStringList> read;
    for (const QString &l : lines)
        read << l.split(QChar(0x1f));
    QList<QStringList> printed;
    for (const auto &[y, row] : printedRows)
        printed << row;
    ASSERT_EQ(read.size(), 3);
    // Names in byte order: M\xfcller before Smith. The printed row leaves the empty fax out;
    // the file keeps its column, empty.
    printed[1] << QString();
    EXPECT_EQ(read, printed);
    EXPECT_EQ(read[1][0], QStringLiteral("M\u00fcller Caf\u00e9"));
    EXPECT_EQ(read[2][0], QStringLiteral("Smith, Jones & Co"));
    EXPECT_EQ(read[2][2], QStringLiteral("Ann \"Nan\" Lee"));
}

TEST(ReportForm, PreviewAndPrinterRunOnceIntoTheFileThatIsPrintedAndPreviewed)
{
    if (QPrinterInfo::defaultPrinterName() != QLatin1String("TarnwPDF"))
        GTEST_SKIP() << "the PDF printer queue of scripts/setup-cups.sh is not the default printer";
    const QDir queue(qEnvironmentVariable("TARNW_PDF_DIR", "/var/spool/tarnw-pdf"));
    ReportTables t;
    seedClients(t);
    ui::ScriptedMessages messages;
    const platform::ManualClock clock = decemberTenth();
    QString font = QStringLiteral("Liberation Serif");
    reports::TReportForm form(t.data(), font, messages, clock);
    form.selectCategory(1);
    form.ReportList->setCurrentRow(2);
    form.PrinterCheck->setChecked(true);
    form.SubHeadingEdit->setText(QStringLiteral("Printed and previewed"));
    TempDir out;
    const QString file = QString::fromStdString((out.path() / "TWREPORT.RPT").string());
    // An older report file that the preview must not show.
    {
        reports::SelectionOptions none = wideOptions();
        none.clientBegin = "Z";
        ASSERT_TRUE(runToFile("Staff Listing", t, none, file.toStdString()));
    }
    const QStringList before = queue.entryList({ QStringLiteral("Tarnwick-job_*.pdf") });
    QString previewedPage;
    form.prepareRun = [&](reports::ReportRun &run) {
        run.fileName = file;
        run.showPreview = [&](billing::TPreviewForm &p) {
            p.show();
            previewedPage = p.pageText();
            p.close();
        };
    };
    form.PrintBtnClick();
    EXPECT_TRUE(messages.shown().isEmpty()) << messages.lastText().toStdString();
    EXPECT_EQ(previewedPage, QStringLiteral("Page 1 of 1"));
    const auto texts = printedTexts(file.toStdString());
    EXPECT_EQ(textsIn(texts, 1, 0.569, 0.571),
        (std::vector<std::string>{ "Client", "Able", "Baker", "Charlie", "Delta", "Echo" }));
    // The same file reached the printer queue.
    bool printed = false;
    for (int tries = 0; tries < 300 && !printed; ++tries) {
        for (const QString &f : queue.entryList({ QStringLiteral("Tarnwick-job_*.pdf") }))
            if (!before.contains(f)
                && pdfWords(queue.filePath(f)).join(QLatin1Char(' ')).contains(
                    QLatin1String("Printed and previewed")))
                printed = true;
        if (!printed)
            QTest::qWait(100);
    }
    EXPECT_TRUE(printed);
}
