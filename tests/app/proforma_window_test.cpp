// "Proforma Billing Report..." from the main window: the billing window in proforma mode runs
// the report to the preview in the report font chosen through "&Fonts", changes no table, asks
// nothing, and stays open for another run.
#include <set>

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "../billing/billing_data.h"
#include "app/main_form.h"
#include "billing/invoice_form.h"
#include "billing/preview_form.h"
#include "main_window_setup.h"
#include "modal_answer.h"
#include "platform/clock.h"
#include "report_engine/report_file_reader.h"
#include <gtest/gtest.h>
#include "test_application.h"

namespace {

// The font faces named by the report file's text records.
std::set<std::string> fontsOf(const std::string &file)
{
    report::ReportFileReader reader;
    reader.open(file);
    std::set<std::string> faces;
    report::Record r;
    for (int n = 1; reader.gotoPage(n); ++n)
        while (reader.next(r))
            if (r.code == report::rpt::FontName)
                faces.insert(r.text);
    return faces;
}

TEST(ProformaWindow, RunsToThePreviewAndStaysOpen)
{
    testApplication();
    QTemporaryDir work; // the report file is written to the current directory
    const QString before = QDir::currentPath();
    QDir::setCurrent(work.path());

    MainWindowSetup setup;
    BillingRows rows(setup.dir.path());
    rows.client("000001", "Alder");
    rows.slip({ .client = "000001", .total = 120 });
    rows.client("000002", "Birch");
    rows.slip({ .client = "000002", .total = 80 });
    rows.flush();
    platform::ManualClock clock(std::chrono::year_month_day{
        std::chrono::year(2026), std::chrono::month(12), std::chrono::day(10) });
    auto form = std::make_unique<app::TMainForm>(setup.ini, setup.messages, clock, setup.login);
    setup.login(form->data()); // the window is never shown: no login of its own

    QObject watch;
    QString caption, pages[2];
    bool openAfterRuns = false;
    int runs = 0;
    answerNextModal<billing::TInvoiceform>(&watch, [&](billing::TInvoiceform *f) {
        caption = f->windowTitle();
        f->chooseFont = [](const QString &) { return std::optional<QString>("Liberation Mono"); };
        f->FontBtn->click();
        for (QString &pageText : pages) {
            bool seen = false;
            answerNextModal<billing::TPreviewForm>(
                &watch,
                [&](billing::TPreviewForm *p) {
                    QVERIFY(QTest::qWaitForWindowExposed(p));
                    pageText = p->pageText();
                    if (qEnvironmentVariableIsSet("TARNW_SHOTS") && runs == 0) {
                        p->showNormal(); // no window manager under Xvfb: give the page room
                        p->resize(960, 1240);
                        QTest::qWait(300);
                        p->grab().save(QDir(qEnvironmentVariable("TARNW_SHOTS"))
                                           .filePath(QStringLiteral("proforma_preview.png")));
                    }
                    p->button(QStringLiteral("Done"))->click();
                },
                &seen);
            f->OKBtn->click();
            runs += seen;
        }
        openAfterRuns = f->isVisible();
        f->CancelBtn->click();
    });
    EXPECT_TRUE(form->commands().start(app::Command::ProformaReport))
        << setup.messages.texts().join(u'\n').toStdString();

    EXPECT_EQ(caption, QStringLiteral("Proforma Billing Report"));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(pages[0], QStringLiteral("Page 1 of 1"));
    EXPECT_EQ(pages[1], QStringLiteral("Page 1 of 1"));
    EXPECT_TRUE(openAfterRuns);
    EXPECT_TRUE(setup.messages.shown().isEmpty())
        << setup.messages.texts().join('\n').toStdString();
    // The chosen face, not the report font the program started with.
    const std::set<std::string> fonts = fontsOf("TWREPORT.RPT");
    EXPECT_EQ(fonts.count("Liberation Mono"), 1u);
    EXPECT_EQ(fonts.count("Times New Roman"), 0u);
    // Nothing billed, no invoice written.
    EXPECT_TRUE(billingFaults(setup.dir.path(), {}).empty());
    {
        auto t = dbf::Table::open(setup.dir.path(), "TWINVOIC", dbf::OpenMode::Shared);
        EXPECT_EQ(t->recordCount(), 0u);
    }
    form->close();
    EXPECT_EQ(setup.ini.readString("Settings", "ReportFont", ""), "Liberation Mono");
    QDir::setCurrent(before);
}

} // namespace
