// The two auto billing windows driven offscreen over real tables: the definitions window's slot
// binding, rate rule, buttons and project list; the generation window's refusals, the range
// boxes, a run and an engine error with the main window's cursors and the wait cursor put back.
// With TARNW_SHOT_DIR set, both windows and a listing page in the preview are saved as pictures.
#include <chrono>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "auto_billing_data.h"
#include "billing/preview_form.h"
#include "platform/clock.h"
#include "slip_data.h"
#include "time/auto_billing_form.h"
#include "time/generate_form.h"
#include "time/slip_numbering.h"
#include "ui/db_combo_box.h"
#include "ui/db_lookup_combo.h"
#include "ui/db_number_edit.h"
#include "ui/field_format.h"
#include "ui/scripted_messages.h"

using namespace timecap;

namespace {

void shoot(QWidget &w, const char *name)
{
    const QByteArray dir = qgetenv("TARNW_SHOT_DIR");
    if (!dir.isEmpty())
        w.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name));
}

} // namespace

class AutoBillingFormTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_data = std::make_unique<DatasetDir>();
        qputenv("HOME", QByteArray::fromStdString(m_data->path().string()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_data->path().string()));
        addAutoActivities(m_data->path(), { { "FEE", "T", "Y", 8 }, { "RETAIN", "T", "N", 6 } });
        std::vector<AutoClient> clients{
            { "1001", "Alpha",
                { autoSlot("RETAIN", 3, 2, 75, 150, "AB", "ALPHA-1"), {},
                    autoSlot("FEE", 5, 0, 1234.5, 1234.5) },
                1 },
            { "1002", "Beta", { autoSlot("FEE", 1, 1, 50, 50) }, 1 },
            { "1003", "Gamma", { autoSlot("FEE", 4, 2, 30, 60) }, 1 },
        };
        for (int i = 0; i < 50; ++i)
            clients.push_back({ std::to_string(2000 + i), "Other " + std::to_string(10 + i),
                { autoSlot("FEE", 2, 1, 10, 10, "AB"), autoSlot("RETAIN", 2, 3, 20, 60, "CD") },
                1 });
        addAutoClients(m_data->path(), clients);
        for (ui::Dataset *d : { &m_clients, &m_slips, &m_activities, &m_track, &m_projects,
                 &m_staff })
            d->close();
        m_data->open(m_clients, "TWCLIENT", QStringLiteral("NAME"));
        m_data->open(m_slips, "TWSLIP", QStringLiteral("SL_CLIENT"));
        m_data->open(m_activities, "TWACT", QStringLiteral("ACTIVITY"));
        m_data->open(m_track, "TWTRACK");
        m_data->open(m_projects, "TWPROJCT", QStringLiteral("Client_Cod"));
        m_data->open(m_staff, "TWEMPLOY", QStringLiteral("EMPNUMBER"));
        installSlipNumbering(m_slips, m_track, false);
        addRow(m_projects, { { "PJ_CLIENT", "1003" }, { "PJ_CODE", "GAMMA-1" } });
        addRow(m_projects, { { "PJ_CLIENT", "1001" }, { "PJ_CODE", "ALPHA-1" } });
        addRow(m_projects, { { "PJ_CLIENT", "1001" }, { "PJ_CODE", "ALPHA-2" } });
        m_messages.clear();
    }

    void definitionsWindow()
    {
        // The main window shows Gamma; the window opens on Alpha.
        m_clients.findKey({ QStringLiteral("Alpha") });
        const ui::Dataset::Bookmark alpha = m_clients.bookmark();
        m_clients.findKey({ QStringLiteral("Gamma") });
        TAutoForm form(m_data->path().string() + "/", alpha, m_staff, m_projects, m_messages);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.ClientCombo->currentText(), QStringLiteral("Alpha"));
        QCOMPARE(form.SummaryLists[0]->item(0)->text(), QStringLiteral("RETAIN"));
        QCOMPARE(form.SummaryLists[1]->item(2)->text(), QString()); // hours 0: empty row
        QCOMPARE(form.SummaryLists[2]->item(2)->text(), ui::formatMoney(1234.5).trimmed());
        QCOMPARE(form.SummaryLists[3]->item(1)->text(), QString());

        // Slot three: every editor on its fields, the third row highlighted in all lists.
        form.chooseSlot(3);
        const QString bound[] = { form.ActivityCombo->link()->fieldName(),
            form.ProjectCombo->link()->fieldName(), form.CycleCombo->link()->fieldName(),
            form.StaffCombo->link()->fieldName(), form.HoursEdit->link()->fieldName(),
            form.RateEdit->link()->fieldName(), form.TotalEdit->link()->fieldName() };
        const char *fields[] = { "D_ACT3", "D_PROJECT3", "D_CYCLE3", "D_EMPLOY3", "D_HOURS3",
            "D_RATE3", "D_TOTAL3" };
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(bound[i], QLatin1String(fields[i]));
            QCOMPARE(form.SummaryLists[std::size_t(i)]->currentRow(), 2);
        }
        QCOMPARE(form.SlotCombo->currentText(), QStringLiteral("Auto Billing Three"));

        // Hours 2 and rate 75, the rate box left: 150; the buttons follow the edit.
        QVERIFY(form.CloseBtn->isEnabled());
        form.HoursEdit->setFocus();
        form.HoursEdit->selectAll();
        QTest::keyClicks(form.HoursEdit, QStringLiteral("2"));
        QTest::keyClick(form.HoursEdit, Qt::Key_Return);
        form.RateEdit->setFocus();
        form.RateEdit->selectAll();
        QTest::keyClicks(form.RateEdit, QStringLiteral("75"));
        QTest::keyClick(form.RateEdit, Qt::Key_Return);
        QCOMPARE(form.clients().value(QStringLiteral("D_TOTAL3")).toDouble(), 150.0);
        QVERIFY(form.SaveBtn->isEnabled());
        QVERIFY(form.CancelBtn->isEnabled());
        QVERIFY(!form.CloseBtn->isEnabled());

        // The project list: the projects of the client shown, not of the main window's.
        form.fillProjects();
        QStringList items;
        for (int i = 0; i < form.ProjectCombo->count(); ++i)
            items += form.ProjectCombo->itemText(i);
        QCOMPARE(items, (QStringList{ QString(), "ALPHA-1", "ALPHA-2" }));
        shoot(form, "auto_billing_form.png");

        // Another client: the change is stored first.
        form.chooseClient(form.ClientCombo->findText(QStringLiteral("Beta")));
        QCOMPARE(form.ClientCombo->currentText(), QStringLiteral("Beta"));
        QVERIFY(form.CloseBtn->isEnabled());
        ui::Dataset check;
        m_data->open(check, "TWCLIENT", QStringLiteral("NAME"));
        check.findKey({ QStringLiteral("Alpha") });
        QCOMPARE(check.value(QStringLiteral("D_HOURS3")).toDouble(), 2.0);
        QCOMPARE(check.value(QStringLiteral("D_RATE3")).toDouble(), 75.0);
        QCOMPARE(check.value(QStringLiteral("D_TOTAL3")).toDouble(), 150.0);
        QCOMPARE(m_clients.text(QStringLiteral("NAME")), QStringLiteral("Gamma"));
        QVERIFY(m_messages.shown().isEmpty());
    }

    void generationRefusesBadBoundsBeforeRunning()
    {
        TGenerateTSForm form(tables(), m_data->path().string() + "/", QStringLiteral("Arial"),
            m_messages, m_clock);
        QCOMPARE(form.BeginEdit->text(), QStringLiteral("Alpha"));
        QCOMPARE(form.EndEdit->text(), QStringLiteral("Other 59"));
        int picks = 0;
        form.pickClient = [&](const QString &) -> std::optional<QString> {
            ++picks;
            return std::nullopt;
        };
        const struct
        {
            const char *begin, *end, *low, *high, *message;
        } cases[] = {
            { "Alpha", "Gamma", "1O", "10", "Cycles must be whole numbers from 1 to 10." },
            { "Alpha", "Gamma", "1", "", "Cycles must be whole numbers from 1 to 10." },
            { "Alpha", "Gamma", "0", "10", "Cycles must be whole numbers from 1 to 10." },
            { "Gamma", "Alpha", "1", "10", "Ending Range must be greater than Beginning." },
        };
        for (const auto &c : cases) {
            m_messages.clear();
            form.BeginEdit->setText(QLatin1String(c.begin));
            form.EndEdit->setText(QLatin1String(c.end));
            form.CycleCombo->setCurrentText(QLatin1String(c.low));
            form.ToCycleCombo->setCurrentText(QLatin1String(c.high));
            form.OKBtnClick();
            QCOMPARE(m_messages.texts(), QStringList{ QLatin1String(c.message) });
            QCOMPARE(m_slips.recordCount(), std::size_t(0));
        }
        // The end bound refused: its pick list opened and, cancelled, the box shows the bound.
        QCOMPARE(picks, 1);
        QCOMPARE(form.EndEdit->text(), QStringLiteral("Other 59"));
        form.BeginEdit->setText(QStringLiteral("Nobody"));
        form.BeginListBtn->click();
        QCOMPARE(form.BeginEdit->text(), QStringLiteral("Alpha"));
    }

    void generationRunsAndPutsTheMainCursorsBack()
    {
        m_clients.findKey({ QStringLiteral("Gamma") });
        m_slips.setRange({ QStringLiteral("1003") }, { QStringLiteral("1003") });
        const ui::Dataset::Bookmark shown = m_clients.bookmark();
        TGenerateTSForm form(tables(), m_data->path().string() + "/", QStringLiteral("Arial"),
            m_messages, m_clock);
        form.pickClient = [](const QString &) { return std::optional<QString>(); };
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.EndEdit->setText(QStringLiteral("Gamma"));
        form.CycleCombo->setCurrentText(QStringLiteral("3"));
        form.ToCycleCombo->setCurrentText(QStringLiteral("5"));
        shoot(form, "generate_form.png");
        form.OKBtnClick();
        QCOMPARE(m_messages.texts(), QStringList{ "Auto Billing generation complete.  " });
        QCOMPARE(form.created(), 3); // Alpha slots 1 and 3, Gamma slot 1
        QVERIFY(form.CounterLabel->isHidden());
        // Generation again after another program took the counter: its message, then how far
        // the run got; nothing else changed.
        auto other = dbf::Table::open(m_data->path(), "TWTRACK", dbf::OpenMode::Shared);
        dbf::Cursor holder(*other);
        holder.first();
        holder.edit();
        m_messages.clear();
        form.OKBtnClick();
        holder.cancel();
        QCOMPARE(m_messages.shown().size(), 2);
        QVERIFY(m_messages.shown()[0].kind == ui::MessageKind::Error);
        QVERIFY(m_messages.shown()[0].text.startsWith(QStringLiteral("Record locked")));
        QCOMPARE(m_messages.shown()[1].text,
            QStringLiteral("Auto Billing generation stopped.  No slips were created."));
        QCOMPARE(form.created(), 3);
        // Every path leaves the main window's cursors and the mouse cursor as they were.
        for (int run = 0; run < 2; ++run) {
            QCOMPARE(QApplication::overrideCursor(), nullptr);
            QCOMPARE(m_clients.bookmark(), shown);
            QCOMPARE(m_clients.tag().toUpper(), QStringLiteral("NAME"));
            QVERIFY(m_slips.hasRange());
            QCOMPARE(m_slips.recordCount(), std::size_t(1)); // Gamma's new slip
            QVERIFY(!m_clients.controlsDisabled() && !m_slips.controlsDisabled());
            m_messages.clear();
            form.CycleCombo->setCurrentText(QStringLiteral("9"));
            form.ToCycleCombo->setCurrentText(QStringLiteral("9"));
            form.OKBtnClick();
            QCOMPARE(m_messages.texts(),
                QStringList{ "No Auto Billings existed within selected criteria." });
        }
    }

    void listingGoesToThePreview()
    {
        TGenerateTSForm form(tables(), m_data->path().string() + "/", QStringLiteral("Arial"),
            m_messages, m_clock);
        form.reportFile = QString::fromStdString((m_data->path() / "TWREPORT.RPT").string());
        QString shown;
        form.showListing = [&](const QString &file) { shown = file; };
        form.ListingCheck->setChecked(true);
        form.OKBtnClick();
        QCOMPARE(shown, form.reportFile);
        QVERIFY(m_messages.shown().isEmpty());
        QCOMPARE(m_slips.recordCount(), std::size_t(0)); // a listing creates nothing
        billing::TPreviewForm preview(nullptr, shown);
        preview.zoomOut();
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QCOMPARE(preview.zoomText(), QStringLiteral("90.0%"));
        QVERIFY(preview.model().pageCount() >= 2); // 104 lines
        shoot(preview, "auto_entry_listing.png");
        preview.close();
    }

private:
    GenerateTables tables() { return { m_clients, m_slips, m_activities }; }

    std::unique_ptr<DatasetDir> m_data;
    ui::Dataset m_clients, m_slips, m_activities, m_track, m_projects, m_staff;
    ui::ScriptedMessages m_messages;
    platform::ManualClock m_clock{ std::chrono::year{ 2026 } / 12 / 10 };
};

QTEST_MAIN(AutoBillingFormTest)
#include "auto_billing_form_test.moc"
