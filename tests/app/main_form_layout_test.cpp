// The main window with a client whose every field is filled to its width, with a slip, a
// statement and a payment: no grid column cuts a value its field holds, and captions sit beside
// or right above their boxes. With TARNW_SHOT_DIR set, each tab (and the Client Search dialog)
// is also saved there as a picture.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

#include "app/client_dialogs.h"
#include "app/main_form.h"
#include "main_window_setup.h"
#include "platform/ini_file.h"
#include "ui/db_grid.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>
#include "test_application.h"

namespace {

void shot(QWidget &w, const QString &name)
{
    const QString dir = qEnvironmentVariable("TARNW_SHOT_DIR");
    if (!dir.isEmpty())
        w.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// Appends one record to `table`, every character field filled to its width from `texts` (cut,
// or repeated to length), every number the given value or the largest the field holds.
void addFull(const std::filesystem::path &dir, const char *table,
    const std::map<std::string, std::string> &texts, const std::map<std::string, double> &numbers)
{
    auto t = dbf::Table::open(dir, table, dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    c.append();
    const dbf::RecordLayout &layout = c.layout();
    for (std::size_t i = 0; i < layout.fieldCount(); ++i) {
        const dbf::FieldDef &f = layout.field(i);
        switch (f.type) {
        case dbf::FieldType::Character: {
            std::string text = texts.count(f.name) ? texts.at(f.name) : "Wellington Harbour ";
            while (text.size() < f.width)
                text += text;
            c.setText(i, text.substr(0, f.width));
            break;
        }
        case dbf::FieldType::Numeric:
        case dbf::FieldType::Float:
            c.setNumber(i, numbers.count(f.name) ? numbers.at(f.name) : 12345.67);
            break;
        case dbf::FieldType::Date:
            c.setDate(i, dbf::Date(2026, 12, 28));
            break;
        case dbf::FieldType::Memo:
            c.setMemo(i, "Prefers statements by post.  Ask for Ms. Harwell-Pemberton.");
            break;
        case dbf::FieldType::Logical:
            c.setLogical(i, true);
            break;
        }
    }
    c.post();
}

// Every cell of every row of `grid` fits its column.
void expectNothingCut(ui::DbGrid *grid)
{
    ASSERT_NE(grid, nullptr);
    const QAbstractItemModel *model = grid->model();
    ASSERT_GT(model->rowCount(), 0) << grid->objectName().toStdString();
    const QFontMetrics fm = grid->fontMetrics();
    for (int column = 0; column < model->columnCount(); ++column)
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString text = model->data(model->index(row, column)).toString();
            EXPECT_LE(fm.horizontalAdvance(text) + 8, grid->columnWidth(column))
                << grid->objectName().toStdString() << " column " << column << ": "
                << text.toStdString();
        }
}

// `label` ends at most `gap` pixels before `box` begins, beside it or right above it.
void expectBeside(const QWidget *label, const QWidget *box, int gap)
{
    const QRect l(label->mapTo(label->window(), QPoint(0, 0)), label->size());
    const QRect b(box->mapTo(box->window(), QPoint(0, 0)), box->size());
    const bool beside = l.right() < b.left() && b.left() - l.right() <= gap && l.top() < b.bottom()
        && b.top() < l.bottom();
    const bool above = l.bottom() < b.top() && b.top() - l.bottom() <= gap;
    EXPECT_TRUE(beside || above) << label->objectName().toStdString() << " "
                                 << qobject_cast<const QLabel *>(label)->text().toStdString();
}

QLabel *labelTexted(QWidget &window, const QString &text)
{
    for (QLabel *l : window.findChildren<QLabel *>())
        if (l->text() == text)
            return l;
    ADD_FAILURE() << "no label " << text.toStdString();
    return nullptr;
}

} // namespace

TEST(MainFormLayoutTest, GridsShowWholeValuesAndCaptionsSitByTheirBoxes)
{
    testApplication();
    MainWindowSetup setup;
    auto &[dir, config, ini, messages, login] = setup;
    const std::filesystem::path p = dir.path();
    addFull(p, "TWCLIENT",
        { { "NUMBER", "100234" }, { "PHONE", "(555)555-0123" }, { "FAX", "(555)555-0199" },
            { "SSTATE", "WA" }, { "ACTIVE", "Y" }, { "TERMS", "Net 30" } },
        { { "B_RATEDEF", 1 }, { "B_RATESRC", 1 }, { "CYCLE", 10 } });
    addFull(p, "TWSLIP",
        { { "SL_CLIENT", "100234" }, { "SL_PROJECT", "AUDIT-2026" }, { "SL_ACT", "CONSULTING" },
            { "SL_EMPLOY", "JQW" }, { "SL_TIMEBEG", "10:00" }, { "SL_TIMEEND", "11:45" } },
        { { "SL_NUMBER", 987654321 }, { "SL_INVOICE", 123456789 }, { "SL_TOTAL", -1234567.89 },
            { "SL_HOURS", 1234.75 }, { "SL_BILLED", 1 }, { "SL_DONE", 1 } });
    addFull(p, "TWINVOIC", { { "INV_CLIENT", "100234" } },
        { { "INV_NUMBER", 123456789 }, { "INV_TOTAL", 98765432.10 }, { "INV_PAID", 98765432.10 } });
    addFull(p, "TWPMT",
        { { "PMT_CLIENT", "100234" }, { "PMT_CHECK", "CHK-000123" },
            { "PMT_DESC", "Payment on account, services of November" } },
        { { "PMT_INVOIC", 123456789 }, { "PMT_AMOUNT", 98765432.10 } });

    app::TMainForm form(ini, messages, login);
    form.resize(900, 640);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const char *tabs[] = { "main", "rates", "invoices", "notes" };
    for (int i = 0; i < 4; ++i) {
        form.pages()->setCurrentIndex(i);
        QApplication::processEvents();
        shot(form, QStringLiteral("main-window-%1").arg(QLatin1String(tabs[i])));
    }

    for (const char *name : { "SlipGrid", "InvoiceGrid", "StatementDetailGrid", "PaymentGrid" })
        expectNothingCut(form.findChild<ui::DbGrid *>(QLatin1String(name)));

    // Notes: "Client Notes:" right above the notes.
    form.pages()->setCurrentIndex(3);
    QApplication::processEvents();
    expectBeside(labelTexted(form, QStringLiteral("Client Notes:")),
        form.findChild<QPlainTextEdit *>(QStringLiteral("MemoEdit")), 12);
    // Invoices/Payments: each aging heading right above its box.
    form.pages()->setCurrentIndex(2);
    QApplication::processEvents();
    for (const char *heading : { "Current", "Over 30", "Over 60", "Total" })
        expectBeside(labelTexted(form, QLatin1String(heading)),
            form.findChild<QLineEdit *>(QLatin1String(heading)), 8);
    // Billing Rates: "Billing Terms" beside its drop-down, not touching it.
    form.pages()->setCurrentIndex(1);
    QApplication::processEvents();
    QLabel *terms = labelTexted(form, QStringLiteral("Billing &Terms"));
    auto *termsBox = form.findChild<QComboBox *>(QStringLiteral("TermsCombo"));
    expectBeside(terms, termsBox, 40);
    EXPECT_GE(termsBox->mapTo(&form, QPoint(0, 0)).x()
            - (terms->mapTo(&form, QPoint(0, 0)).x() + terms->sizeHint().width()),
        6);

    app::ClientSearchDialog search(
        form.data().dataset(app::MainData::ShadowClientTable), messages, &form);
    search.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&search));
    expectNothingCut(search.grid());
    // The dialog is as wide as its columns: phone and fax in view without scrolling.
    QApplication::processEvents();
    EXPECT_FALSE(search.grid()->horizontalScrollBar()->isVisible());
    shot(search, QStringLiteral("client-search"));
    search.close();
    form.close();
}
