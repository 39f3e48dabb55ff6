// The auto billing items of the main window's Options menu: Maintain Auto Billings opens on the
// client shown; after Generate Auto Billings the main window is back on its client, in name
// order, with the slips just generated for it in its slip list.
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include "app/main_form.h"
#include "auto_billing_data.h"
#include "main_window_setup.h"
#include "modal_answer.h"
#include "platform/clock.h"
#include "time/auto_billing_form.h"
#include "time/generate_form.h"
#include <gtest/gtest.h>
#include "test_application.h"

namespace {

TEST(AutoBillingMenu, WindowsOpenOnTheClientShownAndGeneratedSlipsAppear)
{
    testApplication();
    MainWindowSetup setup;
    addAutoActivities(setup.dir.path(), { { "FEE", "T", "N", 0 } });
    addAutoClients(setup.dir.path(),
        { { "1001", "Alpha", { autoSlot("FEE", 1, 1, 10, 10) }, 1 },
            { "1002", "Beta", { autoSlot("FEE", 1, 1, 20, 20), autoSlot("FEE", 2, 2, 20, 40) },
                1 },
            { "1003", "Gamma", { autoSlot("FEE", 1, 1, 30, 30) }, 1 } });
    const platform::ManualClock clock(std::chrono::year{ 2026 } / 12 / 10);
    app::TMainForm form(setup.ini, setup.messages, clock, setup.login);
    form.show(); // logs in
    QApplication::processEvents();
    ui::Dataset &clients = form.data().clients();
    ASSERT_TRUE(clients.findKey({ QStringLiteral("Beta") }));
    ASSERT_EQ(form.data().dataset(app::MainData::SlipTable).recordCount(), 0u);

    QString opened;
    bool seen = false;
    answerNextModal<timecap::TAutoForm>(
        &form,
        [&](timecap::TAutoForm *w) {
            opened = w->ClientCombo->currentText();
            w->CloseBtn->click();
        },
        &seen);
    form.action(QStringLiteral("MaintainAuto"))->trigger();
    EXPECT_TRUE(seen);
    EXPECT_EQ(opened, QStringLiteral("Beta"));

    seen = false;
    answerNextModal<timecap::TGenerateTSForm>(
        &form,
        [](timecap::TGenerateTSForm *w) {
            w->OKBtnClick();
            w->CancelBtn->click();
        },
        &seen);
    setup.messages.clear();
    form.action(QStringLiteral("GenerateAuto"))->trigger();
    EXPECT_TRUE(seen);
    EXPECT_EQ(setup.messages.texts(), QStringList{ "Auto Billing generation complete.  " });
    EXPECT_EQ(form.data().currentClientNumber(), QStringLiteral("1002"));
    EXPECT_EQ(clients.tag().toUpper(), QStringLiteral("NAME"));
    ui::Dataset &slips = form.data().dataset(app::MainData::SlipTable);
    EXPECT_EQ(slips.recordCount(), 2u); // Beta's two, not Alpha's or Gamma's
    EXPECT_EQ(slips.text(QStringLiteral("SL_CLIENT")), QStringLiteral("1002"));
}

} // namespace
