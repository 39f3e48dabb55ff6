// The slip window driven offscreen over template tables with a hand-set clock. With
// TARNW_SHOT_DIR set, the window with a running timer and with a completed slip is also saved
// there as pictures.
#include <chrono>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "form_controls.h"
#include "platform/clock.h"
#include "slip_data.h"
#include "time/slip_commands.h"
#include "time/time_slip_form.h"
#include "ui/db_number_edit.h"
#include "ui/db_radio_group.h"
#include "ui/locate_dialog.h"
#include "ui/scripted_messages.h"

using namespace std::chrono;
using timecap::SlipMemory;
using timecap::TTimeslipform;

namespace {

void shoot(QWidget &form, const char *name)
{
    const QByteArray dir = qgetenv("TARNW_SHOT_DIR");
    if (dir.isEmpty())
        return;
    form.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name));
}

} // namespace

class TimeSlipFormTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_data = std::make_unique<DatasetDir>();
        qputenv("HOME", QByteArray::fromStdString(m_data->path().string()));
        for (ui::Dataset *d :
            { &m_clients, &m_activities, &m_staff, &m_projects, &m_track, &m_slips })
            d->close();
        m_data->open(m_clients, "TWCLIENT", QStringLiteral("Name"));
        m_data->open(m_activities, "TWACT", QStringLiteral("Activity"));
        m_data->open(m_staff, "TWEMPLOY", QStringLiteral("EmpNumber"));
        m_data->open(m_projects, "TWPROJCT", QStringLiteral("Client_Cod"));
        m_data->open(m_track, "TWTRACK");
        m_data->open(m_slips, "TWSLIP", QStringLiteral("SL_Number"));
        addRow(m_clients,
            { { "NUMBER", "1001" }, { "NAME", "Alder Partners" }, { "B_RATE1", 100.0 },
                { "B_RATE2", 120.0 }, { "B_RATESRC", 1 }, { "B_RATEDEF", 2 } });
        addRow(m_clients, { { "NUMBER", "1002" }, { "NAME", "Birch & Co" } });
        addRow(m_activities,
            { { "ACTIVITY", "CONSULT" }, { "DESC", "Consulting" }, { "ACTTYPE", "B" },
                { "TAXABLE", "N" } });
        addRow(m_projects, { { "PJ_CLIENT", "1001" }, { "PJ_CODE", "AUDIT26" } });
        addRow(m_projects, { { "PJ_CLIENT", "1002" }, { "PJ_CODE", "OTHER" } });
        m_clients.findKey({ QStringLiteral("Alder Partners") });
        m_memory = { QStringLiteral("JQ"), QStringLiteral("CONSULT"), QDate(2026, 12, 10),
            QDate(2026, 12, 10) };
        m_messages.clear();
    }

    void newSlipWithRunningTimerThenCompleted()
    {
        m_clock.setToday(year_month_day{ year(2026), month(12), day(10) }, hours(14) + minutes(5));
        TTimeslipform form(m_slips, m_clients, m_activities, m_staff, m_projects, m_track,
            m_messages, m_clock, m_memory, false);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), QStringLiteral("Time Slip Entry"));
        auto *save = child<QPushButton>(form, "SaveBtn");
        auto *newBtn = child<QPushButton>(form, "NewBtn");
        auto *exitBtn = child<QPushButton>(form, "ExitBtn");
        auto *timer = child<QPushButton>(form, "TimerBtn");
        QVERIFY(save->isEnabled());
        QVERIFY(!newBtn->isEnabled());
        QVERIFY(!exitBtn->isEnabled());
        QVERIFY(timer->isEnabled());
        QCOMPARE(child<QLineEdit>(form, "SL_RATEEdit")->text(), QStringLiteral("$120.00"));
        auto *project = child<QComboBox>(form, "SL_PROJECTCombo");
        QCOMPARE(project->count(), 2);
        QCOMPARE(project->itemText(1), QStringLiteral("AUDIT26"));

        QTest::mouseClick(timer, Qt::LeftButton);
        QCOMPARE(timer->text(), QStringLiteral("Stop Timer"));
        QVERIFY(child<QLabel>(form, "ClockPicture")->isVisible());
        QVERIFY(form.ticker()->isActive());
        QCOMPARE(child<QLineEdit>(form, "SL_TIMEBEGEdit")->text(), QStringLiteral("02:05"));
        QVERIFY(child<QCheckBox>(form, "SL_BEGISPMCheck")->isChecked());
        m_clock.advance(minutes(45));
        QCOMPARE(form.ticker()->interval(), 10000);
        form.rules().tick(); // what each timeout of the ticker runs
        QCOMPARE(m_slips.value(QStringLiteral("SL_HOURS")).toDouble(), 0.75);
        QCOMPARE(m_slips.value(QStringLiteral("SL_TOTAL")).toDouble(), 90.0);
        shoot(form, "time-slip-running.png");

        m_clock.advance(minutes(15));
        child<QCheckBox>(form, "CompletedCheck")->click();
        QCOMPARE(timer->text(), QStringLiteral("Start Timer"));
        QVERIFY(!form.ticker()->isActive());
        QCOMPARE(child<QLineEdit>(form, "SL_TIMEENDEdit")->text(), QStringLiteral("03:05"));
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(!save->isEnabled());
        QVERIFY(newBtn->isEnabled());
        QVERIFY(exitBtn->isEnabled());
        QVERIFY(!timer->isEnabled());
        QCOMPARE(m_slips.value(QStringLiteral("SL_NUMBER")).toDouble(), 1.0);
        QCOMPARE(m_slips.value(QStringLiteral("SL_DONE")).toInt(), 1);
        shoot(form, "time-slip-completed.png");
        QVERIFY(m_messages.shown().isEmpty());
        QTest::mouseClick(exitBtn, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QVERIFY(m_messages.shown().isEmpty());
    }

    void invalidTimeAndTheCloseQuestion()
    {
        TTimeslipform form(m_slips, m_clients, m_activities, m_staff, m_projects, m_track,
            m_messages, m_clock, m_memory, false);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto *begin = child<QLineEdit>(form, "SL_TIMEBEGEdit");
        begin->setFocus();
        QTest::keyClicks(begin, QStringLiteral("1030"));
        child<QLineEdit>(form, "SL_HOURSEdit")->setFocus();
        QCOMPARE(m_messages.texts().value(0),
            QStringLiteral("Invalid Time Input.  Beginning and Ending Time should be entered in "
                           "the format of 12:00.  Please input the time again."));
        QCOMPARE(begin->text(), QStringLiteral("12:00"));
        // Another client in the client box: its projects, and its number on save.
        auto *clientBox = child<QComboBox>(form, "ClientCombo");
        QCOMPARE(clientBox->currentText(), QStringLiteral("Alder Partners"));
        clientBox->setCurrentIndex(1);
        emit clientBox->activated(1);
        auto *project = child<QComboBox>(form, "SL_PROJECTCombo");
        QCOMPARE(project->count(), 2);
        QCOMPARE(project->itemText(1), QStringLiteral("OTHER"));
        QCOMPARE(m_clients.text(QStringLiteral("NUMBER")), QStringLiteral("1002"));

        m_messages.clear();
        m_messages.enqueue(ui::MessageAnswer::No);
        form.reject();
        QCOMPARE(m_messages.texts(),
            QStringList{ QStringLiteral("Do you want to save changes to this Time Slip?") });
        QVERIFY(!m_slips.isEditing());
        QCOMPARE(m_slips.recordCount(), std::size_t(0));
    }

    void searchFindsOnlyTheCurrentClientsSlips()
    {
        ui::Dataset list;
        m_data->open(list, "TWSLIP", QStringLiteral("SL_Client"));
        addRow(list, { { "SL_NUMBER", 1.0 }, { "SL_CLIENT", "1002" }, { "SL_PROJECT", "OTHER" } });
        addRow(
            list, { { "SL_NUMBER", 2.0 }, { "SL_CLIENT", "1001" }, { "SL_PROJECT", "AUDIT26" } });
        addRow(list, { { "SL_NUMBER", 3.0 }, { "SL_CLIENT", "1001" }, { "SL_PROJECT", "OTHER" } });
        addRow(
            list, { { "SL_NUMBER", 4.0 }, { "SL_CLIENT", "1001" }, { "SL_PROJECT", "AUDIT26" } });
        list.setRange({ QStringLiteral("1001") }, { QStringLiteral("1001") });
        list.first();
        timecap::SlipCommands commands(m_clients, list, m_messages);
        auto dialog = commands.makeSearchDialog(nullptr);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Locate Time Slip"));
        dialog->setRequest({ QStringLiteral("SL_PROJECT"), QStringLiteral("OTHER"),
            ui::LocateSearchType::ExactMatch, false });
        QTest::mouseClick(dialog->firstButton(), Qt::LeftButton);
        QCOMPARE(list.value(QStringLiteral("SL_NUMBER")).toDouble(), 3.0);
        // The other client's OTHER slip is not in the list: Next finds nothing more.
        QTest::mouseClick(dialog->nextButton(), Qt::LeftButton);
        QCOMPARE(list.value(QStringLiteral("SL_NUMBER")).toDouble(), 3.0);
        QCOMPARE(m_messages.texts().size(), 1);
        dialog->setRequest({ QStringLiteral("SL_PROJECT"), QStringLiteral("AUDIT26"),
            ui::LocateSearchType::ExactMatch, false });
        QTest::mouseClick(dialog->nextButton(), Qt::LeftButton);
        QCOMPARE(list.value(QStringLiteral("SL_NUMBER")).toDouble(), 4.0);
    }

    // The rules read the rate source just chosen in the radio group, not the one before it.
    void rateSourceClickedIsTheSourceTheRulesRead()
    {
        m_activities.findKey({ QStringLiteral("CONSULT") });
        m_activities.setValue(QStringLiteral("FLATAMOUNT"), 250.0);
        m_activities.post();
        auto form = newSlipWindow();
        QVERIFY(showActive(*form));
        auto *group = child<ui::DbRadioGroup>(*form, "SL_RATESRCGroup");
        QTest::mouseClick(group->button(3), Qt::LeftButton); // "Flat"
        QCOMPARE(m_slips.value(QStringLiteral("SL_RATESRC")).toInt(), 4);
        QCOMPARE(m_slips.value(QStringLiteral("SL_TOTAL")).toDouble(), 250.0);
        // Back to "Client": the flat amount is not put in again.
        m_slips.setValue(QStringLiteral("SL_TOTAL"), 0.0);
        QTest::mouseClick(group->button(0), Qt::LeftButton);
        QCOMPARE(m_slips.value(QStringLiteral("SL_RATESRC")).toInt(), 1);
        QCOMPARE(m_slips.value(QStringLiteral("SL_TOTAL")).toDouble(), 0.0);
        QVERIFY(m_messages.shown().isEmpty());
    }

    // Hours from the times, a PM box ticked afterwards and the hours box entered; the total
    // follows the hours each time, so a slip saved at once is priced.
    void hoursFromTheTimesCarryTheTotal()
    {
        auto form = newSlipWindow();
        QVERIFY(showActive(*form));
        auto *begin = child<QLineEdit>(*form, "SL_TIMEBEGEdit");
        auto *end = child<QLineEdit>(*form, "SL_TIMEENDEdit");
        auto *hours = child<QLineEdit>(*form, "SL_HOURSEdit");
        auto *dateBeg = child<QLineEdit>(*form, "SL_DATEBEGEdit");
        const struct
        {
            const char *begin, *end;
            bool tickEndPm;
            double hours, total;
        } cases[] = {
            { "1:00", "3:30", false, 2.5, 300.0 }, // rate 120: the client's rate 2
            { "9:00", "5:30", true, 8.5, 1020.0 }, // 5:30 AM is earlier; PM ticked afterwards
        };
        for (const auto &c : cases) {
            for (auto [box, text] : { std::pair{ begin, c.begin }, { end, c.end } }) {
                box->setFocus();
                box->selectAll();
                QTest::keyClicks(box, QLatin1String(text));
            }
            dateBeg->setFocus(); // leaving the end time runs the hours rule
            if (c.tickEndPm) {
                QCOMPARE(m_slips.value(QStringLiteral("SL_HOURS")).toDouble(), 2.5);
                child<QCheckBox>(*form, "SL_ENDISPMCheck")->click();
                hours->setFocus(); // entering the hours box recomputes them
            }
            QCOMPARE(m_slips.value(QStringLiteral("SL_HOURS")).toDouble(), c.hours);
            QCOMPARE(m_slips.value(QStringLiteral("SL_TOTAL")).toDouble(), c.total);
        }
        // Entering the hours box again with the times unchanged keeps a total typed since.
        dateBeg->setFocus();
        m_slips.setValue(QStringLiteral("SL_TOTAL"), 999.0);
        hours->setFocus();
        QCOMPARE(m_slips.value(QStringLiteral("SL_TOTAL")).toDouble(), 999.0);
        m_slips.setValue(QStringLiteral("SL_TOTAL"), 1020.0);
        QTest::mouseClick(child<QPushButton>(*form, "SaveBtn"), Qt::LeftButton);
        QCOMPARE(m_slips.value(QStringLiteral("SL_HOURS")).toDouble(), 8.5);
        QCOMPARE(m_slips.value(QStringLiteral("SL_TOTAL")).toDouble(), 1020.0);
        QVERIFY(m_messages.shown().isEmpty());
    }

    // "&New" starts again from the main window's client after another was chosen in the box.
    void newGoesBackToTheMainWindowsClient()
    {
        auto form = newSlipWindow();
        QVERIFY(showActive(*form));
        auto *clientBox = child<QComboBox>(*form, "ClientCombo");
        clientBox->setCurrentIndex(1);
        emit clientBox->activated(1);
        QTest::mouseClick(child<QPushButton>(*form, "SaveBtn"), Qt::LeftButton);
        QCOMPARE(m_slips.text(QStringLiteral("SL_CLIENT")), QStringLiteral("1002"));
        QTest::mouseClick(child<QPushButton>(*form, "NewBtn"), Qt::LeftButton);
        QCOMPARE(clientBox->currentText(), QStringLiteral("Alder Partners"));
        QCOMPARE(m_clients.text(QStringLiteral("NUMBER")), QStringLiteral("1001"));
        QCOMPARE(child<QComboBox>(*form, "SL_PROJECTCombo")->itemText(1), QStringLiteral("AUDIT26"));
        QCOMPARE(m_slips.value(QStringLiteral("SL_RATE")).toDouble(), 120.0);
        QTest::mouseClick(child<QPushButton>(*form, "SaveBtn"), Qt::LeftButton);
        QCOMPARE(m_slips.text(QStringLiteral("SL_CLIENT")), QStringLiteral("1001"));
        QVERIFY(m_messages.shown().isEmpty());
    }

    // A letter typed into a number box is refused with a message, never dropped in silence.
    void numberBoxRefusesALetterWithAMessage()
    {
        auto form = newSlipWindow();
        QVERIFY(showActive(*form));
        auto *hours = child<QLineEdit>(*form, "SL_HOURSEdit");
        hours->setFocus();
        hours->selectAll();
        QTest::keyClicks(hours, QStringLiteral("4o"));
        QCOMPARE(m_messages.texts(), QStringList{ ui::DbNumberEdit::refusedText(QStringLiteral("4o")) });
        QCOMPARE(hours->text(), QStringLiteral("4"));
        m_messages.clear();
        QTest::keyClicks(hours, QStringLiteral(".5x"));
        QCOMPARE(m_messages.texts(), QStringList{ ui::DbNumberEdit::refusedText(QStringLiteral("4.5x")) });
        child<QLineEdit>(*form, "SL_DATEBEGEdit")->setFocus();
        QCOMPARE(m_slips.value(QStringLiteral("SL_HOURS")).toDouble(), 4.5);
    }

private:
    // A slip window in new mode over the test's tables.
    std::unique_ptr<TTimeslipform> newSlipWindow()
    {
        return std::make_unique<TTimeslipform>(m_slips, m_clients, m_activities, m_staff,
            m_projects, m_track, m_messages, m_clock, m_memory, false);
    }
    // Shows the window and makes it active, so that the focus moves as a user's would.
    static bool showActive(QWidget &form)
    {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            return false;
        form.activateWindow();
        return QTest::qWaitForWindowActive(&form);
    }

    std::unique_ptr<DatasetDir> m_data;
    ui::Dataset m_clients, m_activities, m_staff, m_projects, m_track, m_slips;
    ui::ScriptedMessages m_messages;
    platform::ManualClock m_clock;
    SlipMemory m_memory;
};

QTEST_MAIN(TimeSlipFormTest)
#include "time_slip_form_test.moc"
