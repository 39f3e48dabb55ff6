// The "Post Payments" window and the "Delete Invoice" command driven through the real main
// window over template tables: Save, Esc and the close box, the locks they leave (none), a
// statement row held by another copy, a client without statements, and the deletion's question
// and messages.
#include <functional>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "../app/main_window_setup.h"
#include "billing/post_payment_form.h"
#include "billing_data.h"
#include "dbf/errors.h"
#include "modal_answer.h"
#include "platform/clock.h"
#include <gtest/gtest.h>
#include "test_application.h"

namespace {

// Adams (000001) with statement 100 of 100.00 (due 2027-01-09), Baker (000002) without any;
// the main window on Adams's "Invoices/Payments" page.
struct World
{
    World()
    {
        BillingRows rows(setup.dir.path());
        rows.client("000001", "Adams");
        rows.client("000002", "Baker");
        SlipRow s;
        s.client = "000001";
        s.total = 100;
        s.billed = 1;
        s.invoice = 100;
        rows.slip(s);
        rows.invoice(100, "000001", 100);
        window = std::make_unique<app::TMainForm>(setup.ini, setup.messages, clock, setup.login);
        window->show();
        choose("Adams");
        setup.messages.clear();
    }

    void choose(const QString &name)
    {
        ui::Dataset &clients = window->data().clients();
        for (clients.first(); !clients.eof(); clients.next())
            if (clients.text(QStringLiteral("NAME")) == name)
                return;
        FAIL() << "no client " << name.toStdString();
    }

    void clickPostPayment()
    {
        window->findChild<QPushButton *>(QStringLiteral("PostPaymentBtn"))->click();
    }

    // INV_PAID of statement 100 and the number of its payments.
    std::pair<double, int> paid()
    {
        auto inv = dbf::Table::open(setup.dir.path(), "TWINVOIC", dbf::OpenMode::Shared);
        auto pmt = dbf::Table::open(setup.dir.path(), "TWPMT", dbf::OpenMode::Shared);
        dbf::Cursor i(*inv), p(*pmt);
        int n = 0;
        for (bool more = !p.isEmpty(); more; more = p.next())
            n += p.integer("PMT_INVOIC") == 100;
        return { i.isEmpty() ? -1 : i.number("INV_PAID"), n };
    }

    // Whether another copy could lock the client and statement rows now.
    bool rowsFree()
    {
        try {
            auto c = dbf::Table::open(setup.dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
            auto i = dbf::Table::open(setup.dir.path(), "TWINVOIC", dbf::OpenMode::Shared);
            dbf::RecordLock a = c->lockRecord(1), b = i->lockRecord(1);
            return true;
        } catch (const dbf::RecordLocked &) {
            return false;
        }
    }

    QApplication &app = testApplication(); // before the first start's window
    MainWindowSetup setup;
    platform::ManualClock clock{ std::chrono::year_month_day(
        std::chrono::year(2026), std::chrono::month(12), std::chrono::day(10)) };
    std::unique_ptr<app::TMainForm> window;
};

TEST(PostPaymentWindow, SaveEscAndTheCloseBox)
{
    enum class End { Save, Escape, CloseBox };
    struct Case
    {
        const char *name;
        End end;
        double paid;
        int payments;
    };
    const Case cases[] = {
        { "Save", End::Save, 40, 1 },
        { "Esc", End::Escape, 0, 0 },
        { "close box", End::CloseBox, 0, 0 },
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        World w;
        bool seen = false, heldWhileOpen = false;
        QStringList status;
        answerNextModal<billing::TPostPmtForm>(
            w.window.get(),
            [&](billing::TPostPmtForm *f) {
                EXPECT_EQ(f->windowTitle(), QStringLiteral("Post Payments"));
                EXPECT_EQ(f->focusWidget(), f->ReferenceEdit);
                EXPECT_TRUE(f->SaveBtn->isDefault());
                for (const char *box :
                    { "InvoiceNumberEdit", "InvoiceTotalEdit", "AmountPaidEdit", "DueDateEdit" })
                    status << f->findChild<QLineEdit *>(QLatin1String(box))->text();
                heldWhileOpen = !w.rowsFree();
                QTest::keyClicks(f->ReferenceEdit, QStringLiteral("CHK 1001"));
                QTest::keyClicks(f->AmountEdit, QStringLiteral("40.00"));
                if (!qEnvironmentVariableIsEmpty("TARNW_SHOTS"))
                    f->grab().save(QDir(qEnvironmentVariable("TARNW_SHOTS"))
                                       .filePath(QStringLiteral("post_payments.png")));
                if (k.end == End::Save)
                    QTest::keyClick(f->ReferenceEdit, Qt::Key_Return);
                else if (k.end == End::Escape)
                    QTest::keyClick(f, Qt::Key_Escape);
                else
                    f->close();
            },
            &seen);
        w.clickPostPayment();
        EXPECT_TRUE(seen);
        EXPECT_TRUE(heldWhileOpen);
        EXPECT_EQ(status.value(0), QStringLiteral("100"));
        EXPECT_EQ(w.paid(), std::make_pair(k.paid, k.payments));
        EXPECT_TRUE(w.rowsFree());
        EXPECT_EQ(w.setup.messages.shown().size(), 0);
        EXPECT_EQ(w.window->data().dataset(app::MainData::InvoiceTable).value(
                      QStringLiteral("INV_PAID")).toDouble(),
            k.paid); // the main window's statement read again
    }
}

TEST(PostPaymentWindow, ItDoesNotOpenWithoutAStatementItCanLock)
{
    World w;
    bool seen = false;
    answerNextModal<billing::TPostPmtForm>(
        w.window.get(), [](billing::TPostPmtForm *f) { f->reject(); }, &seen);
    {
        auto other = dbf::Table::open(w.setup.dir.path(), "TWINVOIC", dbf::OpenMode::Shared);
        dbf::RecordLock held = other->lockRecord(1);
        w.clickPostPayment();
    }
    ASSERT_EQ(w.setup.messages.shown().size(), 1);
    EXPECT_TRUE(w.setup.messages.lastText().startsWith(QStringLiteral("Record locked")));
    EXPECT_TRUE(w.rowsFree());
    w.choose("Baker");
    w.setup.messages.clear();
    w.clickPostPayment();
    EXPECT_EQ(w.setup.messages.texts(), QStringList{ "There are no invoices for Baker" });
    QTest::qWait(100);
    EXPECT_FALSE(seen);
}

TEST(DeleteInvoiceCommand, QuestionAndMessages)
{
    World w;
    auto &commands = w.window->commands();
    // No: nothing changes.
    w.setup.messages.enqueue(ui::MessageAnswer::No);
    commands.start(app::Command::DeleteInvoice);
    ASSERT_EQ(w.setup.messages.shown().size(), 1);
    EXPECT_TRUE(w.setup.messages.lastText().startsWith(
        QStringLiteral("This option will delete the current invoice and reverse the posting")));
    EXPECT_EQ(w.paid().first, 0);
    // The client held by another copy.
    {
        auto other = dbf::Table::open(w.setup.dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
        dbf::RecordLock held = other->lockRecord(1);
        w.setup.messages.clear();
        w.setup.messages.enqueue(ui::MessageAnswer::Yes);
        commands.start(app::Command::DeleteInvoice);
        EXPECT_EQ(w.setup.messages.lastText(),
            QStringLiteral("The client record is locked.  Try again later."));
        EXPECT_EQ(w.paid().first, 0);
    }
    // Yes: deleted, and the page shows no statement any more.
    w.setup.messages.clear();
    w.setup.messages.enqueue(ui::MessageAnswer::Yes);
    commands.start(app::Command::DeleteInvoice);
    EXPECT_EQ(w.setup.messages.shown().size(), 1);
    EXPECT_EQ(w.paid().first, -1);
    EXPECT_TRUE(w.window->data().dataset(app::MainData::InvoiceTable).isEmpty());
    EXPECT_EQ(w.window->data().clients().text(QStringLiteral("NAME")), QStringLiteral("Adams"));
    w.setup.messages.clear();
    commands.start(app::Command::DeleteInvoice);
    EXPECT_EQ(w.setup.messages.texts(), QStringList{ "No invoices for current client" });
}

} // namespace
