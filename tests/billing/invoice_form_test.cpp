// The billing window over real template tables: its controls and defaults, the range guards and
// lookups, a run through the status window and the preview, the finalize question, the update
// error listing, an impossible date, and the cursors of the main window afterwards.
#include <memory>
#include <stdexcept>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/main_data.h"
#include "app/main_form.h"
#include "billing/error_form.h"
#include "billing/invoice_form.h"
#include "billing/preview_form.h"
#include "billing/preview_model.h"
#include "dbf/cursor.h"
#include "dbf/date.h"
#include "dbf/table.h"
#include "modal_answer.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "reference/setup_form.h"
#include "report_text.h"
#include "report_engine/qt/status_form.h"
#include "report_engine/base_report.h"
#include "report_engine/report_file_reader.h"
#include "template_dir.h"
#include "ui/scripted_messages.h"

using app::MainData;
using namespace std::chrono;

namespace {

const year_month_day kToday{ year(2026), month(12), day(10) };

struct Client
{
    const char *number;
    const char *name;
    int cycle;
    const char *terms;
    double slipTotal; // one complete unbilled slip of this amount, dated ten days ago
};

const Client kClients[] = {
    { "1001", "Adams Co", 1, "Net 30", 120.00 },
    { "1002", "Baker & Sons", 1, "Due on Receipt", 80.50 },
    { "1003", "Carter Ltd", 2, "Net 15", 40.00 },
};

// A data directory made as at the first start, the main window's thirteen cursors open on it,
// and three clients with one billable slip each.
struct World
{
    TemplateDir dir;
    TempDir config;
    platform::IniFile settings{ config.path() / "TARNW.INI" };
    MainData data;
    platform::ManualClock clock{ kToday, hours(9) };
    ui::ScriptedMessages messages;

    World()
    {
        data.state().dataDirectory = dir.path().string() + "/";
        for (int i = 0; i < MainData::kCursorCount; ++i)
            data.open(MainData::Cursor(i));
        auto clients = dbf::Table::open(dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
        auto slips = dbf::Table::open(dir.path(), "TWSLIP", dbf::OpenMode::Shared);
        dbf::Cursor c(*clients);
        dbf::Cursor s(*slips);
        int slipNumber = 1;
        for (const Client &k : kClients) {
            c.append();
            c.setText(c.fieldIndex("NUMBER"), k.number);
            c.setText(c.fieldIndex("NAME"), k.name);
            c.setNumber(c.fieldIndex("CYCLE"), k.cycle);
            c.setText(c.fieldIndex("TERMS"), k.terms);
            c.setText(c.fieldIndex("ACTIVE"), "Y");
            c.post();
            s.append();
            s.setNumber(s.fieldIndex("SL_NUMBER"), slipNumber++);
            s.setText(s.fieldIndex("SL_CLIENT"), k.number);
            s.setNumber(s.fieldIndex("SL_DONE"), 1);
            s.setNumber(s.fieldIndex("SL_BILLED"), 0);
            s.setNumber(s.fieldIndex("SL_INVOICE"), -1);
            s.setDate(s.fieldIndex("SL_DATEBEG"), dbf::Date(2026, 11, 30));
            s.setNumber(s.fieldIndex("SL_HOURS"), 1);
            s.setNumber(s.fieldIndex("SL_TOTAL"), k.slipTotal);
            s.setText(s.fieldIndex("SL_TAXABLE"), "N");
            s.post();
        }
        for (int i = 0; i < MainData::kCursorCount; ++i)
            data.dataset(MainData::Cursor(i)).first();
        data.clients().setTag(QStringLiteral("NAME"));
    }

    billing::InvoiceData invoiceData()
    {
        return { data.clients(), data.dataset(MainData::SlipTable),
            data.dataset(MainData::InvoiceTable), data.dataset(MainData::PaymentTable),
            data.dataset(MainData::SlipShadowTable), data.dataset(MainData::ProjectTable),
            data.dataset(MainData::ActivityTable1), data.dataset(MainData::EMPLOYEETABLE),
            data.dataset(MainData::SetupTable), data.dataset(MainData::TrackTable),
            data.state().dataDirectory, settings, &data.state().reportFont };
    }

    std::unique_ptr<billing::TInvoiceform> form(
        billing::InvoiceMode mode = billing::InvoiceMode::Billing)
    {
        return std::make_unique<billing::TInvoiceform>(mode, invoiceData(), messages, clock);
    }

    // INV_NUMBER and INV_CLIENT of every invoice row, in record order.
    QStringList invoiceRows() const
    {
        auto t = dbf::Table::open(dir.path(), "TWINVOIC", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        QStringList rows;
        for (bool ok = c.first(); ok; ok = c.next())
            rows << QStringLiteral("%1 %2")
                        .arg(c.number(c.fieldIndex("INV_NUMBER")))
                        .arg(QString::fromStdString(c.text(c.fieldIndex("INV_CLIENT"))).trimmed());
        return rows;
    }
    // SL_CLIENT of every billed slip, in record order.
    QStringList billedClients() const
    {
        auto t = dbf::Table::open(dir.path(), "TWSLIP", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        QStringList rows;
        for (bool ok = c.first(); ok; ok = c.next())
            if (c.number(c.fieldIndex("SL_BILLED")) == 1)
                rows << QString::fromStdString(c.text(c.fieldIndex("SL_CLIENT"))).trimmed();
        return rows;
    }
};

// Answers the status window: its OK button once the run has ended on "Report Canceled!".
void okWhenCanceled(QObject *owner)
{
    answerNextModal<report::TStatusForm>(owner, [](report::TStatusForm *s) {
        auto *ok = new QTimer(s);
        QObject::connect(ok, &QTimer::timeout, s, [s] {
            if (s->isVisible() && !s->Running() && s->CancelBtn->text() == QLatin1String("OK")
                && QApplication::activeModalWidget() == s)
                s->CancelBtn->click();
        });
        ok->start(50);
    });
}

// Answers the preview: `act` with the window up, then Done.
void inPreview(QObject *owner, std::function<void(billing::TPreviewForm *)> act, bool *seen)
{
    answerNextModal<billing::TPreviewForm>(owner,
        [act](billing::TPreviewForm *p) {
            QVERIFY(QTest::qWaitForWindowExposed(p));
            if (act)
                act(p);
            p->button(QStringLiteral("Done"))->click();
        },
        seen);
}

// With TARNW_SHOTS naming a folder, the windows a test looks at are saved there as PNG files.
void shot(QWidget *w, const char *name)
{
    const QString folder = qEnvironmentVariable("TARNW_SHOTS");
    if (!folder.isEmpty())
        w->grab().save(QDir(folder).filePath(QString::fromLatin1(name) + QStringLiteral(".png")));
}

} // namespace

class InvoiceFormTest : public QObject
{
    Q_OBJECT
    QTemporaryDir work; // current directory (the report file) and the settings folder
    QString before;

private slots:
    void initTestCase()
    {
        QVERIFY(work.isValid());
        qputenv("XDG_CONFIG_HOME", work.path().toLocal8Bit());
        before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(before); }
    void init()
    {
        QFile::remove(QStringLiteral("TWREPORT.RPT"));
        billing::setPrintedFromPreview(false);
    }

    void openingDefaults_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("caption");
        QTest::newRow("billing") << int(billing::InvoiceMode::Billing)
                                 << "Generate Billing Statements";
        QTest::newRow("proforma") << int(billing::InvoiceMode::Proforma)
                                  << "Proforma Billing Report";
    }
    void openingDefaults()
    {
        QFETCH(int, mode);
        QFETCH(QString, caption);
        World w;
        auto f = w.form(billing::InvoiceMode(mode));
        QCOMPARE(f->windowTitle(), caption);
        QCOMPARE(f->BeginEdit->text(), QStringLiteral("Adams Co"));
        QCOMPARE(f->EndEdit->text(), QStringLiteral("Carter Ltd"));
        QCOMPARE(f->CycleCombo->count(), 10);
        QCOMPARE(f->CycleCombo->itemText(0), QStringLiteral("1"));
        QCOMPARE(f->CycleCombo->itemText(9), QStringLiteral("10"));
        QCOMPARE(f->CycleCombo->currentText(), QStringLiteral("1"));
        QCOMPARE(f->ToCycleCombo->currentText(), QStringLiteral("10"));
        QCOMPARE(f->DateEdit->inputMask(), QStringLiteral("!99/99/99"));
        QCOMPARE(f->DateEdit->displayText(), QStringLiteral("  /  /  "));
        QCOMPARE(f->ToDateEdit->displayText(), QStringLiteral("  /  /  "));
        QCOMPARE(f->MinimumSpin->minimum(), 0);
        QCOMPARE(f->MinimumSpin->maximum(), 99999999);
        QCOMPARE(f->MinimumSpin->singleStep(), 10);
        QCOMPARE(f->MinimumSpin->value(), 5);
        QVERIFY(!f->PrevBalanceCheck->isChecked());
        QCOMPARE(f->PrevBalanceCheck->text(), QStringLiteral("Previous Balance &Accounts"));
        QCOMPARE(f->PrevBalanceCheck->toolTip(),
            QStringLiteral("Print billing statement for clients with previous balance only"));
        QCOMPARE(f->OKBtn->text(), QStringLiteral("&Generate "));
        QVERIFY(f->OKBtn->isDefault());
        QCOMPARE(f->CancelBtn->text(), QStringLiteral("&Cancel"));
        QCOMPARE(f->PrintSetupBtn->text(), QStringLiteral("&Printer Setup..."));
        QCOMPARE(f->FontBtn->text(), QStringLiteral("&Fonts"));
        QCOMPARE(f->FinalizeLabel->text(), QStringLiteral("Finalizing Billing for client:"));
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        QVERIFY(!f->FinalizeLabel->isVisible());
        QVERIFY(!f->FinalizeClientLabel->isVisible());
        if (mode == int(billing::InvoiceMode::Billing))
            shot(f.get(), "billing_window");
        // The minimum is 5 again at each opening, whatever it was set to before.
        f->MinimumSpin->setValue(250);
        f->CancelBtn->click();
        QVERIFY(!f->isVisible());
        f = w.form(billing::InvoiceMode(mode));
        QCOMPARE(f->MinimumSpin->value(), 5);
        // The placement is kept under its own entry.
        QFile ini(QDir(work.path()).filePath(QStringLiteral("TARNW.INI")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromLatin1(ini.readAll()).contains(QStringLiteral("InvoiceForm=")));
        QVERIFY(w.messages.shown().isEmpty());
    }

    // Fonts stores the chosen face: into INVFONT, posted at once, or into the report font.
    void fontsAreStored()
    {
        World w;
        auto f = w.form();
        QString seeded;
        f->chooseFont = [&seeded](const QString &face) -> std::optional<QString> {
            seeded = face;
            return QStringLiteral("Liberation Serif With A Very Long Face Name Indeed");
        };
        f->FontBtn->click();
        auto t = dbf::Table::open(w.dir.path(), "TWSETUP", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        QVERIFY(c.first());
        QCOMPARE(QString::fromStdString(c.text(c.fieldIndex("INVFONT"))).trimmed(),
            QStringLiteral("Liberation Serif With A Very L")); // 30 characters
        QVERIFY(!w.data.dataset(MainData::SetupTable).isEditing());

        auto p = w.form(billing::InvoiceMode::Proforma);
        p->chooseFont = [&seeded](const QString &face) -> std::optional<QString> {
            seeded = face;
            return QStringLiteral("Liberation Sans Narrow Bold");
        };
        w.data.state().reportFont = QStringLiteral("Arial");
        p->FontBtn->click();
        QCOMPARE(seeded, QStringLiteral("Arial"));
        QCOMPARE(w.data.state().reportFont, QStringLiteral("Liberation Sans Narr")); // 20
        QVERIFY(w.messages.shown().isEmpty());
    }

    void beginAfterEndIsRefused()
    {
        World w;
        auto f = w.form();
        QStringList asked;
        f->pickClient = [&asked](const QString &typed) -> std::optional<QString> {
            asked << typed;
            return std::nullopt;
        };
        f->BeginEdit->setText(QStringLiteral("Carter Ltd"));
        f->EndEdit->setText(QStringLiteral("Baker & Sons"));
        f->OKBtn->click();
        QCOMPARE(w.messages.texts(),
            QStringList{ QStringLiteral("Ending Range must be greater than Beginning.") });
        QCOMPARE(w.messages.shown().first().kind, ui::MessageKind::Warning);
        QCOMPARE(asked, QStringList{ QStringLiteral("Baker & Sons") }); // the End list opened
        QVERIFY(!QFile::exists(QStringLiteral("TWREPORT.RPT")));
        // Plain character codes: "a" sorts after "Z".
        w.messages.clear();
        asked.clear();
        f->BeginEdit->setText(QStringLiteral("adams"));
        f->EndEdit->setText(QStringLiteral("Zed"));
        QVERIFY(f->BeginEdit->text() > f->EndEdit->text());
        f->OKBtn->click();
        QCOMPARE(asked.size(), 1);
    }

    // Leaving a box looks the text up as a whole client name; a text no name begins with (exact
    // case) opens the search list, whose choice is taken and moves the focus on.
    void leavingABoxLooksTheNameUp_data()
    {
        QTest::addColumn<bool>("endBox");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("picked"); // "" cancels the list
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("listOpened");
        QTest::addColumn<QString>("focusAfter");
        QTest::newRow("begin, beginning of a name") << false << "Bak" << "" << "Baker & Sons" << 0
                                                    << "";
        QTest::newRow("begin, whole name") << false << "Carter Ltd" << "" << "Carter Ltd" << 0
                                           << "";
        QTest::newRow("begin, other case: list") << false << "bak" << "Baker & Sons"
                                                 << "Baker & Sons" << 1 << "EndEdit";
        QTest::newRow("end, no such name: list") << true << "Dunn" << "Adams Co" << "Adams Co"
                                                 << 1 << "CycleCombo";
        QTest::newRow("end, list cancelled") << true << "Dunn" << "" << "Dunn" << 1 << "";
        QTest::newRow("end, beginning of a name") << true << "Ad" << "" << "Adams Co" << 0 << "";
    }
    void leavingABoxLooksTheNameUp()
    {
        QFETCH(bool, endBox);
        QFETCH(QString, typed);
        QFETCH(QString, picked);
        QFETCH(QString, expected);
        QFETCH(int, listOpened);
        QFETCH(QString, focusAfter);
        World w;
        auto f = w.form();
        int opened = 0;
        f->pickClient = [&](const QString &) -> std::optional<QString> {
            ++opened;
            if (picked.isEmpty())
                return std::nullopt;
            return picked;
        };
        f->show();
        QVERIFY(QTest::qWaitForWindowActive(f.get()));
        QLineEdit *box = endBox ? f->EndEdit : f->BeginEdit;
        box->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(box->hasFocus());
        box->clear();
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, Qt::Key_Tab); // leaves the box
        QCOMPARE(box->text(), expected);
        QCOMPARE(opened, listOpened);
        if (!focusAfter.isEmpty())
            QCOMPARE(QApplication::focusWidget()->objectName(), focusAfter);
        QVERIFY(w.messages.shown().isEmpty());
    }

    // The real search list: NAME and NUMBER columns in name order, opened on the nearest name.
    void theSearchListShowsClientsByName()
    {
        World w;
        auto f = w.form();
        QObject watch;
        QStringList names;
        QStringList headers;
        int openedOn = -1;
        bool seen = false;
        answerNextModal<QDialog>(&watch,
            [&](QDialog *d) {
                auto *grid = d->findChild<QAbstractItemView *>();
                if (!grid) {
                    d->reject();
                    return;
                }
                QAbstractItemModel *m = grid->model();
                for (int c = 0; c < m->columnCount(); ++c)
                    headers << m->headerData(c, Qt::Horizontal).toString();
                for (int r = 0; r < m->rowCount(); ++r)
                    names << m->index(r, 0).data().toString().trimmed();
                openedOn = grid->currentIndex().row();
                grid->setCurrentIndex(m->index(1, 0));
                d->accept();
            },
            &seen);
        f->BeginEdit->setText(QStringLiteral("Bz"));
        f->BeginListBtn->click();
        QVERIFY(seen);
        QCOMPARE(headers, (QStringList{ QStringLiteral("Name"), QStringLiteral("Number") }));
        QCOMPARE(names,
            (QStringList{ QStringLiteral("Adams Co"), QStringLiteral("Baker & Sons"),
                QStringLiteral("Carter Ltd") }));
        QCOMPARE(openedOn, 2); // the first name at or after "Bz"
        QCOMPARE(f->BeginEdit->text(), QStringLiteral("Baker & Sons"));
    }

    // An impossible date: the conversion message when the status window opens, nothing printed,
    // OK ends the run without preview and without the question.
    void anImpossibleDateEndsTheRun_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("month 13") << "13/10/26" << "";
        QTest::newRow("30 February") << "" << "02/30/26";
        QTest::newRow("incomplete") << "12/1" << "";
    }
    void anImpossibleDateEndsTheRun()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        World w;
        auto f = w.form();
        f->DateEdit->setText(from);
        f->ToDateEdit->setText(to);
        QObject watch;
        okWhenCanceled(&watch);
        f->OKBtn->click();
        QCOMPARE(w.messages.shown().size(), 1);
        QCOMPARE(w.messages.shown().first().kind, ui::MessageKind::Error);
        QVERIFY(!w.messages.lastText().isEmpty());
        QVERIFY(!QFile::exists(QStringLiteral("TWREPORT.RPT")));
        QVERIFY(w.invoiceRows().isEmpty());
        QVERIFY(f->OKBtn->isEnabled());
    }

    // A completed run shows the preview; closed without printing, nothing is asked or posted.
    void noFinalizeQuestionWithoutPrint()
    {
        World w;
        auto f = w.form();
        QObject watch;
        bool previewed = false;
        QString pages;
        inPreview(&watch,
            [&pages](billing::TPreviewForm *p) {
                pages = p->pageText();
                if (qEnvironmentVariableIsSet("TARNW_SHOTS")) {
                    p->showNormal(); // no window manager under Xvfb: give the page room
                    p->resize(960, 1240);
                    QTest::qWait(200);
                    shot(p, "statement_preview_100");
                }
            },
            &previewed);
        f->OKBtn->click();
        QVERIFY(previewed);
        QCOMPARE(pages, QStringLiteral("Page 1 of 3")); // one statement a page
        QVERIFY(QFile::exists(QStringLiteral("TWREPORT.RPT")));
        QVERIFY(w.messages.shown().isEmpty());
        QVERIFY(w.invoiceRows().isEmpty());
        QVERIFY(w.billedClients().isEmpty());
    }

    // Printed from the preview (on the printer, or saved as PDF): the question; No posts
    // nothing, Yes posts the printed statements and ends with "Process complete.".
    void finalizeQuestionAfterPrint_data()
    {
        QTest::addColumn<bool>("onPrinter");
        QTest::addColumn<bool>("yes");
        QTest::newRow("saved as PDF, Yes") << false << true;
        QTest::newRow("saved as PDF, No") << false << false;
        QTest::newRow("printed, Yes") << true << true;
    }
    void finalizeQuestionAfterPrint()
    {
        QFETCH(bool, onPrinter);
        QFETCH(bool, yes);
        if (onPrinter && QPrinterInfo::defaultPrinterName() != QLatin1String("TarnwPDF"))
            QSKIP("the PDF printer queue of scripts/setup-cups.sh is not the default printer");
        World w;
        auto f = w.form();
        f->ToCycleCombo->setCurrentIndex(9);
        QObject watch;
        bool previewed = false;
        const QString pdf = QDir(work.path()).filePath(QStringLiteral("statements.pdf"));
        inPreview(&watch,
            [&](billing::TPreviewForm *p) {
                if (onPrinter)
                    p->printDocument();
                else
                    p->saveAsPdf(pdf);
            },
            &previewed);
        w.messages.enqueue(yes ? ui::MessageAnswer::Yes : ui::MessageAnswer::No);
        f->OKBtn->click();
        QVERIFY(previewed);
        QStringList expected{ QStringLiteral("Do you want to finalize this billing?") };
        if (yes)
            expected << QStringLiteral("Process complete.");
        QCOMPARE(w.messages.texts(), expected);
        QCOMPARE(w.messages.shown().first().kind, ui::MessageKind::Confirmation);
        QCOMPARE(w.messages.shown().first().buttons, ui::MessageButtons::YesNo);
        if (!yes) {
            QVERIFY(w.invoiceRows().isEmpty());
            return;
        }
        QCOMPARE(w.invoiceRows(),
            (QStringList{ QStringLiteral("1 1001"), QStringLiteral("2 1002"),
                QStringLiteral("3 1003") }));
        QCOMPARE(w.billedClients(),
            (QStringList{ QStringLiteral("1001"), QStringLiteral("1002"),
                QStringLiteral("1003") }));
        QVERIFY(!f->FinalizeLabel->isVisible());
    }

    // "Pr&int Test Statement" after a billing run: the printer dialog first (Cancel prints
    // nothing), then the sample statement previewed from the report file; afterwards the client
    // cursor is in number order on its first client and the slip cursor on SL_CLIENT.
    void testStatementAfterABillingRun_data()
    {
        QTest::addColumn<bool>("printerChosen");
        QTest::newRow("printer dialog confirmed") << true;
        QTest::newRow("printer dialog cancelled") << false;
    }
    void testStatementAfterABillingRun()
    {
        QFETCH(bool, printerChosen);
        World w;
        {
            auto f = w.form();
            QObject watch;
            bool previewed = false;
            inPreview(&watch, {}, &previewed);
            f->OKBtn->click();
            QVERIFY(previewed);
        }
        QVERIFY(QFile::remove(QStringLiteral("TWREPORT.RPT")));
        w.data.clients().last(); // Carter Ltd
        reference::TSetupForm setup(w.data.dataset(MainData::SetupTable), w.messages);
        setup.choosePrinter = [printerChosen] { return printerChosen; };
        setup.printTestStatement = [&w, &setup] {
            billing::printTestStatement(w.invoiceData(), w.messages, w.clock, &setup);
        };
        // The options on screen, not saved: the statement is laid out with them.
        w.data.dataset(MainData::SetupTable).setValue(QStringLiteral("COMPNAME"),
            QStringLiteral("Unsaved Practice Name"));
        QObject watch;
        bool previewed = false;
        QString pages;
        inPreview(&watch, [&pages](billing::TPreviewForm *p) { pages = p->pageText(); },
            &previewed);
        auto *print = setup.findChild<QPushButton *>(QStringLiteral("PrintBtn"));
        QVERIFY(print);
        if (!printerChosen) {
            print->click();
            QVERIFY(!QFile::exists(QStringLiteral("TWREPORT.RPT")));
            QCOMPARE(w.data.clients().tag().toUpper(), QStringLiteral("NAME"));
            return;
        }
        print->click();
        QVERIFY(previewed);
        QCOMPARE(pages, QStringLiteral("Page 1 of 1"));
        QVERIFY(recordedWords(QStringLiteral("TWREPORT.RPT")).contains(QStringLiteral("Unsaved")));
        QCOMPARE(w.data.clients().tag().toUpper(), QStringLiteral("NUMBER"));
        QCOMPARE(w.data.clients().text(QStringLiteral("NUMBER")).trimmed(), QStringLiteral("1001"));
        QCOMPARE(w.data.dataset(MainData::SlipTable).tag().toUpper(), QStringLiteral("SL_CLIENT"));
        QVERIFY(w.invoiceRows().isEmpty());
        QVERIFY(w.data.dataset(MainData::SetupTable).isEditing()); // still the window's edit
        setup.findChild<QPushButton *>(QStringLiteral("CancelBtn"))->click();
    }

    // Through the main window's menu item: the window opens over the main window's cursors and,
    // when it closes, the main window stands on the client it showed before, with its slip and
    // statement ranges, also when an engine error stops the run half-way.
    void mainWindowCursorsComeBack_data()
    {
        QTest::addColumn<bool>("engineError");
        QTest::newRow("completed run") << false;
        QTest::newRow("engine error mid-run") << true;
    }
    void mainWindowCursorsComeBack()
    {
        QFETCH(bool, engineError);
        World w; // makes the tables and their rows; the main window opens its own cursors
        w.data.closeAll();
        TempDir config;
        platform::IniFile ini(config.path() / "TARNW.INI");
        ini.writeString("Drive", "Path", w.data.state().dataDirectory);
        ui::ScriptedMessages messages;
        app::TMainForm main(ini, messages, [](MainData &) { return true; });
        MainData &data = main.data();
        data.state().accessLevel = 9;
        QVERIFY(data.clients().findKey({ QStringLiteral("Baker & Sons") }));
        QCOMPARE(data.currentClientNumber(), QStringLiteral("1002"));
        ui::Dataset &slips = data.dataset(MainData::SlipTable);
        const QString slipTag = slips.tag();
        const QVariantList slipRange = slips.rangeLow();
        QVERIFY(slips.hasRange());
        QCOMPARE(slips.text(QStringLiteral("SL_CLIENT")).trimmed(), QStringLiteral("1002"));

        QObject watch;
        bool opened = false;
        bool previewed = false;
        answerNextModal<billing::TInvoiceform>(&watch,
            [&](billing::TInvoiceform *f) {
                QVERIFY(data.clients().controlsDisabled()); // held while the window is open
                if (engineError) {
                    const auto attach = f->attachDocument;
                    f->attachDocument = [attach](report::TBaseReport &r,
                                            const billing::RunParameters &p) {
                        attach(r, p);
                        auto calls = std::make_shared<int>(0);
                        const auto page = r.OnPrintPage;
                        r.OnPrintPage = [page, calls](report::TBaseReport &rr, int n) {
                            if (++*calls == 2)
                                throw std::runtime_error("Record locked by another user.");
                            return page(rr, n);
                        };
                    };
                    okWhenCanceled(f);
                } else {
                    inPreview(f, {}, &previewed);
                }
                f->OKBtn->click();
                f->CancelBtn->click();
            },
            &opened);
        main.action(QStringLiteral("BillingStatements"))->trigger();
        QVERIFY(opened);
        QCOMPARE(previewed, !engineError);
        if (engineError)
            QCOMPARE(messages.texts(), QStringList{ QStringLiteral("Record locked by another user.") });
        else
            QVERIFY(messages.shown().isEmpty());
        QCOMPARE(data.currentClientNumber(), QStringLiteral("1002"));
        QCOMPARE(data.clients().tag().toUpper(), QStringLiteral("NAME"));
        QCOMPARE(slips.tag(), slipTag);
        QVERIFY(slips.hasRange());
        QCOMPARE(slips.rangeLow(), slipRange);
        QCOMPARE(slips.text(QStringLiteral("SL_CLIENT")).trimmed(), QStringLiteral("1002"));
        for (int i = 0; i < MainData::kCursorCount; ++i)
            QVERIFY2(!data.dataset(MainData::Cursor(i)).controlsDisabled(),
                MainData::cursorDefs()[std::size_t(i)].name);
        QVERIFY(w.invoiceRows().isEmpty());
        main.close(); // the shutdown closes the cursors
    }

    // The copies chosen in the print dialog go with the run's report file; Cancel in the status
    // window ends the run without preview and without the question.
    void copiesAndCancel_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("three copies, completed") << false;
        QTest::newRow("cancelled on the second statement") << true;
    }
    void copiesAndCancel()
    {
        QFETCH(bool, cancel);
        World w;
        auto f = w.form();
        f->choosePrinter = [] { return std::optional<int>(3); };
        f->PrintSetupBtn->click();
        if (cancel) {
            const auto attach = f->attachDocument;
            f->attachDocument = [attach](report::TBaseReport &r, const billing::RunParameters &p) {
                attach(r, p);
                auto calls = std::make_shared<int>(0);
                const auto page = r.OnPrintPage;
                r.OnPrintPage = [page, calls](report::TBaseReport &rr, int n) {
                    if (++*calls == 2)
                        rr.CancelReport(); // the status window's Cancel
                    return page(rr, n);
                };
            };
        }
        QObject watch;
        bool previewed = false;
        inPreview(&watch, [](billing::TPreviewForm *p) { p->saveAsPdf(QStringLiteral("c.pdf")); },
            &previewed);
        if (cancel)
            okWhenCanceled(&watch);
        w.messages.enqueue(ui::MessageAnswer::No);
        f->OKBtn->click();
        if (cancel) {
            QVERIFY(!previewed);
            QVERIFY(w.messages.shown().isEmpty());
            return;
        }
        QVERIFY(previewed);
        report::ReportFileReader reader;
        reader.open("TWREPORT.RPT");
        QCOMPARE(reader.header().copies, 3);
        QCOMPARE(w.messages.texts(),
            QStringList{ QStringLiteral("Do you want to finalize this billing?") });
    }

    // A client held by another copy while finalizing is listed once; the others are posted.
    void aLockedClientIsListed()
    {
        World w;
        auto f = w.form();
        auto clients = dbf::Table::open(w.dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
        dbf::Cursor holder(*clients);
        QObject watch;
        bool previewed = false;
        inPreview(&watch,
            [&](billing::TPreviewForm *p) {
                p->saveAsPdf(QDir(work.path()).filePath(QStringLiteral("locked.pdf")));
                // Another copy starts editing Baker & Sons while the preview is open.
                for (bool ok = holder.first(); ok; ok = holder.next())
                    if (QString::fromStdString(holder.text(holder.fieldIndex("NAME"))).trimmed()
                        == QLatin1String("Baker & Sons"))
                        break;
                holder.edit();
            },
            &previewed);
        QStringList listed;
        QStringList explanation;
        bool errorsShown = false;
        answerNextModal<billing::TErrorForm>(&watch,
            [&](billing::TErrorForm *e) {
                QCOMPARE(e->windowTitle(), QStringLiteral("Update Error Listing"));
                listed = e->lines();
                for (auto *label : e->findChildren<QLabel *>())
                    explanation << label->text();
                shot(e, "update_error_listing");
                e->OKBtn->click();
            },
            &errorsShown);
        w.messages.enqueue(ui::MessageAnswer::Yes);
        f->OKBtn->click();
        QVERIFY(previewed);
        QVERIFY(errorsShown);
        QCOMPARE(listed,
            QStringList{ QStringLiteral("Bill not finalized for Baker & Sons.  Record was locked.") });
        QCOMPARE(explanation, billing::TErrorForm::explanation());
        QCOMPARE(w.messages.lastText(), QStringLiteral("Process complete."));
        // Each posted client keeps the number printed for it; Baker's number stays unused.
        QCOMPARE(w.billedClients(), (QStringList{ QStringLiteral("1001"), QStringLiteral("1003") }));
        QCOMPARE(w.invoiceRows(),
            (QStringList{ QStringLiteral("1 1001"), QStringLiteral("3 1003") }));
        holder.cancel();
    }
};

QTEST_MAIN(InvoiceFormTest)
#include "invoice_form_test.moc"
