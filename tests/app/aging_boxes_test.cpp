// The "Receivables Aging:" and "Unbilled Activity" boxes of the main window: filled whenever a
// client is shown and by "&Calculate Aging", and in agreement, client by client, with sums made
// straight from the table files.
#include <map>
#include <random>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "../billing/billing_data.h"
#include "app/main_form.h"
#include "main_window_setup.h"
#include "platform/clock.h"
#include <gtest/gtest.h>
#include "test_application.h"

namespace {

const dbf::Date kToday(2026, 12, 10);

void addInvoice(BillingRows &rows, double number, const std::string &client, double total,
    double paid, dbf::Date due)
{
    dbf::Cursor c(rows.table("TWINVOIC"));
    c.append();
    c.setNumber("INV_NUMBER", number);
    c.setText("INV_CLIENT", client);
    c.setNumber("INV_TOTAL", total);
    c.setNumber("INV_PAID", paid);
    c.setDate("INV_DUE", due);
    c.setDate("INV_DATE", due.addDays(-30));
    c.post();
}

struct Boxes
{
    QString current, over30, over60, total, unbilled;
    bool operator==(const Boxes &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Boxes &b)
{
    return os << b.current.toStdString() << " " << b.over30.toStdString() << " "
              << b.over60.toStdString() << " " << b.total.toStdString() << " unbilled "
              << b.unbilled.toStdString();
}

class AgingBoxes : public ::testing::Test
{
protected:
    std::unique_ptr<app::TMainForm> open()
    {
        rows.flush();
        return std::make_unique<app::TMainForm>(setup.ini, setup.messages, clock, setup.login);
    }
    static Boxes boxes(const app::TMainForm &form)
    {
        const auto text = [&form](const char *name) {
            return form.findChild<QLineEdit *>(QLatin1String(name))->text();
        };
        return { text("Current"), text("Over 30"), text("Over 60"), text("Total"),
            text("UnbilledEdit") };
    }
    // Moves the main window to the client with this number.
    static void show(app::TMainForm &form, const std::string &number)
    {
        ui::Dataset &clients = form.data().clients();
        for (clients.first(); !clients.eof(); clients.next())
            if (form.data().currentClientNumber() == QString::fromStdString(number))
                return;
        FAIL() << "no client " << number;
    }

    QApplication &app = testApplication(); // before the first start of the setup
    MainWindowSetup setup;
    BillingRows rows{ setup.dir.path() };
    platform::ManualClock clock{ std::chrono::year_month_day{
        std::chrono::year(2026), std::chrono::month(12), std::chrono::day(10) } };
};

TEST_F(AgingBoxes, FilledWhenAClientIsShownAndRecalculatedOnRequest)
{
    // A: no invoices; unbilled slips finished or not, dated or not; billed slips do not count.
    rows.client("000001", "Alder");
    rows.slip({ .client = "000001", .total = 100.10 });
    rows.slip({ .client = "000001", .total = 20.20, .done = 0 });
    rows.slip({ .client = "000001", .total = 3.03, .date = dbf::Date() });
    rows.slip({ .client = "000001", .total = 500, .billed = 1, .invoice = 7 });
    // B: invoices due 30, 31, 60 and 61 days ago, one overpaid, one paid in full.
    rows.client("000002", "Birch");
    addInvoice(rows, 1, "000002", 100, 0, kToday.addDays(-30));
    addInvoice(rows, 2, "000002", 200, 0, kToday.addDays(-31));
    addInvoice(rows, 3, "000002", 300, 40, kToday.addDays(-60));
    addInvoice(rows, 4, "000002", 400, 0, kToday.addDays(-61));
    addInvoice(rows, 5, "000002", 100, 175.5, kToday.addDays(5));
    addInvoice(rows, 6, "000002", 999, 999, kToday.addDays(-90));
    // C: only an overpayment.
    rows.client("000003", "Cedar");
    addInvoice(rows, 8, "000003", 10, 25, kToday.addDays(-45));

    auto form = open();
    struct Case
    {
        const char *number;
        Boxes expected;
    };
    const Case cases[] = {
        { "000001", { "$0.00", "$0.00", "$0.00", "$0.00", "$123.33" } },
        { "000002", { "$24.50", "$460.00", "$400.00", "$884.50", "$0.00" } },
        { "000003", { "$0.00", "$-15.00", "$0.00", "$-15.00", "$0.00" } },
        { "000001", { "$0.00", "$0.00", "$0.00", "$0.00", "$123.33" } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.number);
        show(*form, c.number);
        EXPECT_EQ(boxes(*form), c.expected);
    }
    // With TARNW_SHOTS naming a folder, the page is saved there as a PNG file.
    if (const QString folder = qEnvironmentVariable("TARNW_SHOTS"); !folder.isEmpty()) {
        show(*form, "000002");
        form->pages()->setCurrentIndex(2);
        form->show();
        QTest::qWait(300);
        form->grab().save(QDir(folder).filePath(QStringLiteral("aging_boxes.png")));
    }

    // Another copy posts a payment and a slip: "&Calculate Aging" shows them, the grids stay.
    show(*form, "000002");
    ui::Dataset &invoices = form->data().dataset(app::MainData::InvoiceTable);
    invoices.last();
    const auto shownInvoice = invoices.bookmark();
    {
        dbf::Cursor c(rows.table("TWINVOIC"));
        for (bool more = !c.isEmpty(); more; more = c.next())
            if (c.integer("INV_NUMBER") == 4) {
                c.edit();
                c.setNumber("INV_PAID", 400);
                c.post();
            }
    }
    rows.slip({ .client = "000002", .total = 12.34, .done = 0 });
    rows.flush();
    form->findChild<QPushButton *>(QStringLiteral("CalcAgingBtn"))->click();
    EXPECT_EQ(boxes(*form), (Boxes{ "$24.50", "$460.00", "$0.00", "$484.50", "$12.34" }));
    EXPECT_EQ(invoices.bookmark(), shownInvoice);
    EXPECT_TRUE(setup.messages.shown().isEmpty())
        << setup.messages.texts().join('\n').toStdString();
}

TEST_F(AgingBoxes, EveryClientOfAPracticeAgreesWithTheTables)
{
    constexpr int kClients = 1000;
    std::mt19937_64 rng(42);
    double invoiceNumber = 0;
    for (int i = 0; i < kClients; ++i) {
        rows.client(clientNumber(i), "Client " + clientNumber(i));
        const int invoices = int(rng() % 4);
        for (int n = 0; n < invoices; ++n) {
            const double total = double(rng() % 50000) / 100;
            const double paid = rng() % 3 == 0 ? total : double(rng() % 60000) / 100;
            addInvoice(rows, ++invoiceNumber, clientNumber(i), total, paid,
                kToday.addDays(20 - std::int64_t(rng() % 120)));
        }
        const int slips = int(rng() % 4);
        for (int n = 0; n < slips; ++n)
            rows.slip({ .client = clientNumber(i),
                .total = double(rng() % 100000) / 100,
                .date = rng() % 5 == 0 ? dbf::Date() : kToday.addDays(-int(rng() % 40)),
                .done = int(rng() % 2),
                .billed = rng() % 3 == 0 ? 1 : 0 });
    }
    rows.flush();

    // The expected boxes, summed in whole cents straight from the files.
    struct Sums
    {
        std::int64_t current = 0, over30 = 0, over60 = 0, unbilled = 0;
    };
    std::map<std::string, Sums> expected;
    {
        auto t = dbf::Table::open(setup.dir.path(), "TWINVOIC", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        for (bool more = !c.isEmpty(); more; more = c.next()) {
            const std::int64_t balance = std::llround(c.number("INV_TOTAL") * 100)
                - std::llround(c.number("INV_PAID") * 100);
            const std::int64_t late = kToday.julianDay() - c.date("INV_DUE").julianDay();
            Sums &s = expected[c.text("INV_CLIENT")];
            (late > 60 ? s.over60 : late > 30 ? s.over30 : s.current) += balance;
        }
    }
    {
        auto t = dbf::Table::open(setup.dir.path(), "TWSLIP", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        for (bool more = !c.isEmpty(); more; more = c.next())
            if (c.integer("SL_BILLED") == 0)
                expected[c.text("SL_CLIENT")].unbilled += std::llround(c.number("SL_TOTAL") * 100);
    }
    const auto text = [](std::int64_t cents) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "$%s%lld.%02lld", cents < 0 ? "-" : "",
            std::llabs(cents) / 100, std::llabs(cents) % 100);
        return QString::fromLatin1(buf);
    };

    auto form = open();
    ui::Dataset &clients = form->data().clients();
    int seen = 0;
    for (clients.first(); !clients.eof(); clients.next()) {
        const std::string number = form->data().currentClientNumber().toStdString();
        const Sums s = expected[number];
        ASSERT_EQ(boxes(*form),
            (Boxes{ text(s.current), text(s.over30), text(s.over60),
                text(s.current + s.over30 + s.over60), text(s.unbilled) }))
            << "client " << number;
        ++seen;
    }
    EXPECT_EQ(seen, kClients);
}

} // namespace
