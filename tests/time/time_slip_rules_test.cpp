// The slip window's rules over real tables made from the templates, with a clock set by hand.
#include <chrono>
#include <memory>

#include <QDate>

#include "platform/clock.h"
#include "slip_data.h"
#include "time/time_slip_rules.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>

using namespace std::chrono;
using timecap::SlipMemory;
using timecap::SlipTime;
using timecap::TimeSlipRules;
using ui::MessageAnswer;
using ui::MessageKind;

namespace {

const QString kInvalidTime = QStringLiteral(
    "Invalid Time Input.  Beginning and Ending Time should be entered in the format of 12:00.  "
    "Please input the time again.");
const QString kEndSet =
    QStringLiteral("The timer is unable to be activated - Ending Time has already been set.");
const QString kNegative = QStringLiteral(
    "The elapsed time calculated by the timer is negative.  This is due to the current time "
    "being earlier than the time started.  Please adjust the beginning time and restart the "
    "timer.");
const QString kIncomplete = QStringLiteral(
    "The Form is incomplete.  An Activity must be assigned to this slip prior to saving.");
const QString kBilled = QStringLiteral(
    "This slip has already been billed and cannot be changed.  If an adjustment is desired for "
    "this client, enter another time slip.");
const QString kSaveQuestion = QStringLiteral("Do you want to save changes to this Time Slip?");

constexpr year_month_day kToday{ year(2026), month(12), day(10) };

seconds at(int hour, int minute, int second = 0)
{
    return hours(hour) + minutes(minute) + seconds(second);
}

TEST(TimeNormalisation, TypedTimesBecomeHourColonTwoDigitMinute)
{
    const struct
    {
        const char *typed;
        bool changed, invalid;
        const char *text;
        bool pm;
    } cases[] = {
        { "9:5", true, false, "9:05", false },
        { "14:30", true, false, "2:30", true },
        { "10:75", true, false, "11:00", false },
        { "13:15", true, false, "1:15", true },
        { "25:00", true, false, "0:00", false },
        { "8:60", true, false, "8:60", false },
        { "8:61", true, false, "9:00", false },
        { "24:00", true, false, "12:00", true },
        { "12:75", true, false, "1:00", true }, // the minute carries into 13, which is PM
        { "12:00", true, false, "12:00", false },
        { "1030", true, true, "12:00", false },
        { "x:15", true, false, "0:15", false },
        { "7:3x", true, false, "7:03", false },
        { "11:30pm", true, false, "11:30", false }, // only the first five characters count
        { "", false, false, "", false },
    };
    for (const auto &c : cases) {
        const auto r = TimeSlipRules::normaliseTime(QString::fromLatin1(c.typed));
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(r.changed, c.changed);
        EXPECT_EQ(r.invalid, c.invalid);
        EXPECT_EQ(r.text, QString::fromLatin1(c.text));
        EXPECT_EQ(r.setPm, c.pm);
    }
}

TEST(TimeNormalisation, ClockTextAndMinutesSinceMidnight)
{
    const struct
    {
        seconds time;
        const char *text;
        bool pm;
    } clocks[] = {
        { at(9, 5, 33), "09:05", false },
        { at(14, 5), "02:05", true },
        { at(0, 10), "12:10", false },
        { at(12, 30), "12:30", true },
        { at(23, 59, 59), "11:59", true },
    };
    for (const auto &c : clocks) {
        const SlipTime t = TimeSlipRules::clockText(int(c.time.count()));
        EXPECT_EQ(t.text, QString::fromLatin1(c.text));
        EXPECT_EQ(t.pm, c.pm) << c.text;
        // What the timer writes reads back as the minute it was written.
        EXPECT_EQ(TimeSlipRules::minutesOf(t.text, t.pm), int(c.time.count() / 60)) << c.text;
    }
    const struct
    {
        const char *time;
        bool pm;
        int minutes;
    } stored[] = { { "9:00", false, 540 }, { "5:30", true, 1050 }, { "12:15", false, 15 },
        { "12:15", true, 735 }, { "02:05", true, 845 }, { "", false, 0 } };
    for (const auto &s : stored)
        EXPECT_EQ(TimeSlipRules::minutesOf(QString::fromLatin1(s.time), s.pm), s.minutes)
            << s.time << (s.pm ? " PM" : "");
}

class TimeSlipRulesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_data.open(m_clients, "TWCLIENT", QStringLiteral("Name"));
        m_data.open(m_activities, "TWACT", QStringLiteral("Activity"));
        m_data.open(m_staff, "TWEMPLOY", QStringLiteral("EmpNumber"));
        m_data.open(m_track, "TWTRACK");
        m_data.open(m_slips, "TWSLIP", QStringLiteral("SL_Number"));
        addRow(m_clients,
            { { "NUMBER", "1001" }, { "NAME", "Alder Partners" }, { "B_RATE1", 100.0 },
                { "B_RATE2", 110.0 }, { "B_RATE3", 120.0 }, { "B_RATE4", 130.0 },
                { "B_RATE5", 140.0 }, { "B_RATESRC", 1 }, { "B_RATEDEF", 3 } });
        addRow(m_staff,
            { { "EMPNUMBER", "JQ" }, { "EMPNAME", "Jo Quill" }, { "EMPRATE1", 60.0 },
                { "EMPRATE2", 65.0 }, { "EMPRATE3", 70.0 }, { "EMPRATE4", 75.0 },
                { "EMPRATE5", 80.0 } });
        addActivity("CONSULT", "B", "N", 0, 25.0, { 90, 95, 99, 101, 103 });
        addActivity("AUDIT", "B", "Y", 8.25, 40.0, { 150, 155, 160, 165, 170 });
        addActivity("COPIES", "E", "N", 0, 12.5, { 1, 2, 3, 4, 5 });
        m_clients.findKey({ QStringLiteral("Alder Partners") });
        m_memory.dateStarted = QDate(2026, 12, 10);
        m_memory.dateEnded = QDate(2026, 12, 10);
        m_rules = std::make_unique<TimeSlipRules>(
            m_slips, m_clients, m_activities, m_staff, m_track, m_messages, m_clock, m_memory);
        m_rules->onTimerDisplay = [this](bool on) { m_display = on; };
    }

    void addActivity(const char *code, const char *type, const char *taxable, double taxRate,
        double flat, std::initializer_list<double> rates)
    {
        m_activities.insert();
        m_activities.setValue(QStringLiteral("ACTIVITY"), QString::fromLatin1(code));
        m_activities.setValue(QStringLiteral("ACTTYPE"), QString::fromLatin1(type));
        m_activities.setValue(QStringLiteral("TAXABLE"), QString::fromLatin1(taxable));
        m_activities.setValue(QStringLiteral("TAXRATE"), taxRate);
        m_activities.setValue(QStringLiteral("FLATAMOUNT"), flat);
        int n = 1;
        for (double r : rates)
            m_activities.setValue(QStringLiteral("ACTRATE%1").arg(n++), r);
        m_activities.post();
    }

    // The client's default source and level.
    void setClientDefaults(int source, int level)
    {
        m_clients.setValue(QStringLiteral("B_RATESRC"), source);
        m_clients.setValue(QStringLiteral("B_RATEDEF"), level);
        m_clients.post();
    }

    QVariant v(const char *field) const { return m_slips.value(QLatin1String(field)); }
    double d(const char *field) const { return v(field).toDouble(); }
    QString t(const char *field) const { return m_slips.text(QLatin1String(field)); }
    void set(const char *field, const QVariant &value)
    {
        m_slips.setValue(QLatin1String(field), value);
    }

    // A new slip for CONSULT by JQ.
    void newConsultSlip()
    {
        m_memory.staff = QStringLiteral("JQ");
        m_memory.activity = QStringLiteral("CONSULT");
        m_rules->openNew();
        m_rules->rateList();
    }

    int slipsOnDisk() const
    {
        ui::Dataset check;
        m_data.open(check, "TWSLIP");
        return int(check.recordCount());
    }

    DatasetDir m_data;
    ui::Dataset m_clients, m_activities, m_staff, m_track, m_slips;
    ui::ScriptedMessages m_messages;
    platform::ManualClock m_clock{ kToday, at(9, 0) };
    SlipMemory m_memory;
    std::unique_ptr<TimeSlipRules> m_rules;
    bool m_display = false;
};

TEST_F(TimeSlipRulesTest, NewSlipTakesTheDefaultsAndTheSlipMemory)
{
    m_memory.dateStarted = QDate(2026, 11, 2);
    m_memory.dateEnded = QDate(2026, 11, 3);
    newConsultSlip();
    EXPECT_EQ(m_slips.state(), ui::Dataset::State::Insert);
    EXPECT_EQ(t("SL_EMPLOY"), QStringLiteral("JQ"));
    EXPECT_EQ(t("SL_ACT"), QStringLiteral("CONSULT"));
    EXPECT_EQ(v("SL_DATEBEG").toDate(), QDate(2026, 11, 2));
    EXPECT_EQ(v("SL_DATEEND").toDate(), QDate(2026, 11, 3));
    EXPECT_EQ(d("SL_HOURS"), 0.0);
    EXPECT_EQ(d("SL_TOTAL"), 0.0);
    EXPECT_EQ(d("SL_DONE"), 0.0);
    EXPECT_EQ(d("SL_TIMERON"), 0.0);
    EXPECT_EQ(d("SL_RATESRC"), 1.0);
    EXPECT_EQ(d("SL_RATELVL"), 3.0);
    EXPECT_EQ(d("SL_INVOICE"), -1.0);
    EXPECT_EQ(t("SL_BEGISPM"), QStringLiteral("N"));
    EXPECT_EQ(t("SL_ENDISPM"), QStringLiteral("N"));
    EXPECT_EQ(d("SL_RATE"), 120.0);
    EXPECT_TRUE(v("SL_BILLED").isNull());
    EXPECT_TRUE(t("SL_TAXABLE").isEmpty());
    EXPECT_TRUE(t("SL_TIMEBEG").isEmpty());
}

TEST_F(TimeSlipRulesTest, ProposedRateAndRateListPerSourceAndLevel)
{
    const struct
    {
        int source, level;
        QVariant rate;
        QStringList list;
    } cases[] = {
        { 1, 3, 120.0, { "100.00", "110.00", "120.00", "130.00", "140.00" } },
        { 1, 5, 140.0, { "100.00", "110.00", "120.00", "130.00", "140.00" } },
        { 2, 1, 60.0, { "60.00", "65.00", "70.00", "75.00", "80.00" } },
        { 2, 4, 75.0, { "60.00", "65.00", "70.00", "75.00", "80.00" } },
        { 3, 2, 95.0, { "90.00", "95.00", "99.00", "101.00", "103.00" } },
        { 4, 2, QVariant(), {} },
        { 1, 0, QVariant(), { "100.00", "110.00", "120.00", "130.00", "140.00" } },
        { 1, 6, QVariant(), { "100.00", "110.00", "120.00", "130.00", "140.00" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "source " << c.source << " level " << c.level);
        setClientDefaults(c.source, c.level);
        newConsultSlip();
        EXPECT_EQ(v("SL_RATE").isNull(), c.rate.isNull());
        if (!c.rate.isNull()) {
            EXPECT_EQ(d("SL_RATE"), c.rate.toDouble());
        }
        EXPECT_EQ(m_rules->rateList(), c.list);
        m_rules->cancel();
    }
}

TEST_F(TimeSlipRulesTest, ChangingTheSourceKeepsTheRateUntilOneIsPicked)
{
    newConsultSlip();
    ASSERT_EQ(d("SL_RATE"), 120.0);
    set("SL_RATESRC", 2);
    EXPECT_EQ(m_rules->rateList().value(2), QStringLiteral("70.00"));
    m_rules->applyFlatAmount();
    EXPECT_EQ(d("SL_RATE"), 120.0);
    EXPECT_EQ(d("SL_RATELVL"), 3.0); // picking never changes the level
}

TEST_F(TimeSlipRulesTest, ActivityChangeUnderActivitySourceLevelTwo)
{
    setClientDefaults(3, 2);
    newConsultSlip();
    ASSERT_EQ(d("SL_RATE"), 95.0);
    set("SL_HOURS", 2.0);
    set("SL_ACT", QStringLiteral("AUDIT"));
    m_rules->activityChanged();
    EXPECT_EQ(d("SL_RATE"), 155.0);
    EXPECT_EQ(d("SL_TOTAL"), 310.0);
    EXPECT_EQ(t("SL_TAXABLE"), QStringLiteral("Y"));

    // Under the client's source the rate stays; only taxable and the total follow.
    setClientDefaults(1, 2);
    m_rules->cancel();
    newConsultSlip();
    set("SL_HOURS", 1.5);
    set("SL_ACT", QStringLiteral("AUDIT"));
    m_rules->activityChanged();
    EXPECT_EQ(d("SL_RATE"), 110.0);
    EXPECT_EQ(d("SL_TOTAL"), 165.0);
}

TEST_F(TimeSlipRulesTest, FlatAmounts)
{
    setClientDefaults(4, 1);
    newConsultSlip(); // the rate list of a flat slip runs the flat amount rule
    EXPECT_TRUE(v("SL_RATE").isNull());
    EXPECT_EQ(d("SL_TOTAL"), 25.0);

    const struct
    {
        double typedTotal;
        bool activityChange;
        double expected;
    } cases[] = {
        { 0.0, false, 25.0 }, // leaving the source group fills a zero total
        { 70.0, false, 70.0 }, // a typed total stays
        { 70.0, true, 40.0 }, // a new activity replaces it
        { 0.0, true, 40.0 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.typedTotal << (c.activityChange ? " act" : ""));
        set("SL_ACT", QStringLiteral("CONSULT"));
        set("SL_TOTAL", c.typedTotal);
        set("SL_HOURS", 3.0);
        if (c.activityChange) {
            set("SL_ACT", QStringLiteral("AUDIT"));
            m_rules->activityChanged();
        } else {
            m_rules->applyFlatAmount();
        }
        m_rules->recomputeTotal(); // never touches a flat total
        EXPECT_EQ(d("SL_TOTAL"), c.expected);
    }
}

TEST_F(TimeSlipRulesTest, TotalIsHoursTimesRate)
{
    // The product is not rounded by the rule; the money field holds it to the cent and the
    // hours field to four places.
    newConsultSlip();
    const struct
    {
        double hours, rate, total;
    } cases[] = { { 1.5, 95.0, 142.5 }, { 20.0 / 60.0, 100.0, 33.33 }, { 2.25, 80.0, 180.0 },
        { 0, 80, 0 } };
    for (const auto &c : cases) {
        set("SL_HOURS", c.hours);
        set("SL_RATE", c.rate);
        m_rules->recomputeTotal();
        EXPECT_NEAR(d("SL_TOTAL"), c.total, 1e-9);
    }
}

TEST_F(TimeSlipRulesTest, HoursFromTimesAndTheInvalidTimeMessage)
{
    const struct
    {
        const char *begin;
        bool beginPm;
        const char *end;
        bool endPm;
        double hours; // -1: unchanged from 7
        int messages;
    } cases[] = {
        { "9:00", false, "5:30", true, 8.5, 0 },
        { "10:00", false, "9:00", false, -1, 0 },
        { "9:00", false, "14:30", false, 5.5, 0 }, // 14:30 ticks PM itself
        { "11:00", true, "1:15", false, -1, 0 }, // past midnight: no hours
        { "9:00", false, "1030", false, 3.0, 1 }, // 1030 becomes 12:00, ticked PM
        { "9:00", false, "", false, -1, 0 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.begin << " - " << c.end);
        newConsultSlip();
        m_messages.clear();
        set("SL_HOURS", 7.0);
        set("SL_BEGISPM", c.beginPm ? "Y" : "N");
        set("SL_ENDISPM", c.endPm ? "Y" : "N");
        if (c.messages) // the user ticks PM for noon before typing it
            set("SL_ENDISPM", "Y");
        m_rules->timeLeft(false, QString::fromLatin1(c.begin));
        const auto r = m_rules->timeLeft(true, QString::fromLatin1(c.end));
        EXPECT_EQ(d("SL_HOURS"), c.hours < 0 ? 7.0 : c.hours);
        EXPECT_EQ(int(m_messages.shown().size()), c.messages);
        if (c.messages) {
            EXPECT_EQ(m_messages.lastText(), kInvalidTime);
            EXPECT_TRUE(r.invalid);
            EXPECT_EQ(t("SL_TIMEEND"), QStringLiteral("12:00"));
        }
        m_rules->cancel();
    }
}

TEST_F(TimeSlipRulesTest, TimerStartedAtFiveAfterTwo)
{
    newConsultSlip();
    set("SL_RATE", 100.0);
    m_clock.setToday(kToday, at(14, 5, 0));
    m_rules->timerButton();
    EXPECT_TRUE(m_display);
    EXPECT_EQ(t("SL_TIMEBEG"), QStringLiteral("02:05"));
    EXPECT_EQ(t("SL_BEGISPM"), QStringLiteral("Y"));
    EXPECT_EQ(d("SL_TIMERON"), 1.0);
    EXPECT_EQ(d("SL_HOURS"), 0.0);

    m_clock.advance(seconds(10));
    m_rules->tick();
    EXPECT_EQ(d("SL_HOURS"), 0.0);

    m_clock.setToday(kToday, at(14, 35, 0));
    m_rules->tick();
    EXPECT_EQ(d("SL_HOURS"), 0.5);
    EXPECT_EQ(d("SL_TOTAL"), 50.0);

    m_clock.setToday(kToday, at(14, 50, 0));
    m_rules->timerButton(); // stop: hours are those of the last tick
    EXPECT_FALSE(m_display);
    EXPECT_EQ(d("SL_TIMERON"), 0.0);
    EXPECT_EQ(d("SL_HOURS"), 0.5);
    EXPECT_EQ(t("SL_TIMEEND"), QStringLiteral("02:50"));
    EXPECT_EQ(t("SL_ENDISPM"), QStringLiteral("Y"));
    EXPECT_TRUE(m_messages.shown().isEmpty());

    // With the end time set the timer refuses to start.
    m_rules->timerButton();
    EXPECT_EQ(m_messages.lastText(), kEndSet);
    EXPECT_FALSE(m_display);
    EXPECT_EQ(d("SL_TIMERON"), 0.0);
}

TEST_F(TimeSlipRulesTest, SlipSavedWithARunningTimerResumesWhenReopened)
{
    newConsultSlip();
    m_clock.setToday(kToday, at(10, 0));
    m_rules->startTimer();
    m_clock.setToday(kToday, at(10, 15));
    m_rules->tick();
    ASSERT_EQ(m_rules->save(), TimeSlipRules::SaveResult::Saved);
    EXPECT_FALSE(m_display); // the display goes off, the stored flag stays
    EXPECT_EQ(d("SL_TIMERON"), 1.0);
    EXPECT_TRUE(t("SL_TIMEEND").isEmpty());
    const double number = d("SL_NUMBER");

    // Another window, an hour later.
    ui::Dataset slips, clients;
    m_data.open(slips, "TWSLIP", QStringLiteral("SL_Number"));
    m_data.open(clients, "TWCLIENT", QStringLiteral("Name"));
    ASSERT_TRUE(slips.findKey({ number }));
    TimeSlipRules reopened(
        slips, clients, m_activities, m_staff, m_track, m_messages, m_clock, m_memory);
    bool display = false;
    reopened.onTimerDisplay = [&display](bool on) { display = on; };
    m_clock.setToday(kToday, at(11, 15));
    EXPECT_FALSE(reopened.openExisting());
    EXPECT_TRUE(display);
    EXPECT_EQ(slips.value(QStringLiteral("SL_HOURS")).toDouble(), 1.25);
    EXPECT_EQ(slips.value(QStringLiteral("SL_TIMERON")).toDouble(), 1.0);
    m_clock.setToday(kToday, at(11, 30, 10));
    reopened.tick();
    EXPECT_EQ(slips.value(QStringLiteral("SL_HOURS")).toDouble(), 1.5);
    EXPECT_EQ(slips.value(QStringLiteral("SL_TOTAL")).toDouble(), 1.5 * 120.0);
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

TEST_F(TimeSlipRulesTest, TimerPassingMidnightStopsWithTheNegativeMessage)
{
    newConsultSlip();
    m_clock.setToday(kToday, at(23, 50));
    m_rules->startTimer();
    EXPECT_EQ(t("SL_TIMEBEG"), QStringLiteral("11:50"));
    m_clock.setToday(kToday, at(23, 59, 50));
    m_rules->tick();
    EXPECT_NEAR(d("SL_HOURS"), 9.0 / 60.0, 1e-12);
    m_clock.setToday(year_month_day(sys_days(kToday) + days(1)), at(0, 0, 0));
    m_rules->tick();
    EXPECT_EQ(m_messages.texts(), QStringList{ kNegative });
    EXPECT_EQ(m_messages.shown().value(0).kind, MessageKind::Information);
    EXPECT_FALSE(m_display);
    EXPECT_FALSE(m_rules->timerOn());
    EXPECT_EQ(d("SL_TIMERON"), 0.0);
    EXPECT_NEAR(d("SL_HOURS"), 9.0 / 60.0, 1e-12); // unchanged
    m_rules->tick(); // the timer is off: nothing more happens
    EXPECT_EQ(m_messages.shown().size(), 1);
}

TEST_F(TimeSlipRulesTest, CompletedStopsTheTimerAndFillsTheEnd)
{
    newConsultSlip();
    set("SL_DATEEND", QDate());
    m_clock.setToday(kToday, at(8, 0));
    m_rules->startTimer();
    m_clock.setToday(kToday, at(13, 20));
    m_rules->tick();
    m_clock.setToday(kToday, at(13, 25));
    m_rules->completedClicked(true);
    EXPECT_FALSE(m_display);
    EXPECT_EQ(d("SL_TIMERON"), 0.0);
    EXPECT_EQ(d("SL_DONE"), 1.0);
    EXPECT_EQ(t("SL_TIMEEND"), QStringLiteral("01:25"));
    EXPECT_EQ(t("SL_ENDISPM"), QStringLiteral("Y"));
    EXPECT_EQ(v("SL_DATEEND").toDate(), QDate(2026, 12, 10));
    EXPECT_NEAR(d("SL_HOURS"), 5.3333, 1e-9); // 320 minutes, to four places

    // A date ended already set stays; unticking clears the mark only.
    set("SL_DATEEND", QDate(2026, 12, 1));
    m_rules->completedClicked(false);
    EXPECT_EQ(d("SL_DONE"), 0.0);
    m_rules->completedClicked(true);
    EXPECT_EQ(v("SL_DATEEND").toDate(), QDate(2026, 12, 1));
    EXPECT_EQ(t("SL_TIMEEND"), QStringLiteral("01:25"));
}

TEST_F(TimeSlipRulesTest, SaveNumbersOnceTaxesAndRemembers)
{
    m_memory.staff = QStringLiteral("JQ");
    m_memory.activity = QStringLiteral("AUDIT");
    m_rules->openNew();
    set("SL_TOTAL", 200.0);
    set("SL_TAXABLE", "Y");
    set("SL_DATEBEG", QDate(1924, 3, 15));
    set("SL_DATEEND", QDate(2026, 12, 9));
    EXPECT_EQ(m_rules->save(), TimeSlipRules::SaveResult::Saved);
    EXPECT_EQ(d("SL_NUMBER"), 1.0);
    EXPECT_NEAR(d("SL_TAXAMT"), 16.5, 1e-9);
    EXPECT_TRUE(v("SL_EXPAMT").isNull());
    EXPECT_EQ(t("SL_CLIENT"), QStringLiteral("1001"));
    EXPECT_EQ(v("SL_DATEBEG").toDate(), QDate(2024, 3, 15));
    EXPECT_EQ(m_memory.dateStarted, QDate(2024, 3, 15));
    EXPECT_EQ(m_memory.dateEnded, QDate(2026, 12, 9));
    EXPECT_EQ(m_memory.activity, QStringLiteral("AUDIT"));

    // Saving it again keeps the number; a new slip takes the next one.
    set("SL_TOTAL", 100.0);
    EXPECT_EQ(m_rules->save(), TimeSlipRules::SaveResult::Saved);
    EXPECT_EQ(d("SL_NUMBER"), 1.0);
    EXPECT_NEAR(d("SL_TAXAMT"), 8.25, 1e-9);
    m_memory.activity = QStringLiteral("COPIES");
    m_rules->openNew();
    set("SL_TOTAL", 30.0);
    EXPECT_EQ(m_rules->save(), TimeSlipRules::SaveResult::Saved);
    EXPECT_EQ(d("SL_NUMBER"), 2.0);
    EXPECT_EQ(d("SL_EXPAMT"), 30.0); // an expense activity
    EXPECT_TRUE(v("SL_TAXAMT").isNull());
    EXPECT_EQ(slipsOnDisk(), 2);
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

TEST_F(TimeSlipRulesTest, SaveRefusals)
{
    // Without an activity: the slip stays in editing, the memory still takes the codes.
    m_memory.staff = QStringLiteral("JQ");
    m_rules->openNew();
    EXPECT_EQ(m_rules->save(), TimeSlipRules::SaveResult::Incomplete);
    EXPECT_EQ(m_messages.lastText(), kIncomplete);
    EXPECT_EQ(m_slips.state(), ui::Dataset::State::Insert);
    EXPECT_EQ(slipsOnDisk(), 0);

    // A billed slip: the warning, the changes discarded, the slip on disk as it was.
    set("SL_ACT", QStringLiteral("CONSULT"));
    set("SL_TOTAL", 80.0);
    ASSERT_EQ(m_rules->save(), TimeSlipRules::SaveResult::Saved);
    m_slips.setValue(QStringLiteral("SL_BILLED"), 1);
    m_slips.post();
    set("SL_TOTAL", 999.0);
    EXPECT_EQ(m_rules->save(), TimeSlipRules::SaveResult::Billed);
    EXPECT_EQ(m_messages.shown().last().kind, MessageKind::Warning);
    EXPECT_EQ(m_messages.lastText(), kBilled);
    EXPECT_FALSE(m_slips.isEditing());
    ui::Dataset check;
    m_data.open(check, "TWSLIP");
    EXPECT_EQ(check.value(QStringLiteral("SL_TOTAL")).toDouble(), 80.0);
}

TEST_F(TimeSlipRulesTest, ClosingAnUntouchedNewSlip)
{
    const struct
    {
        const char *activity;
        MessageAnswer answer;
        QStringList texts;
        int onDisk;
    } cases[] = {
        { "", MessageAnswer::Yes, { kSaveQuestion, kIncomplete }, 0 },
        { "", MessageAnswer::No, { kSaveQuestion }, 0 },
        { "CONSULT", MessageAnswer::No, { kSaveQuestion }, 0 },
        { "CONSULT", MessageAnswer::Yes, { kSaveQuestion }, 1 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.activity << " " << int(c.answer));
        m_messages.clear();
        m_memory.activity = QString::fromLatin1(c.activity);
        m_rules->openNew();
        m_messages.enqueue(c.answer);
        m_messages.enqueue(MessageAnswer::Ok);
        m_rules->close();
        EXPECT_EQ(m_messages.texts(), c.texts);
        EXPECT_EQ(m_messages.unscripted(), 0);
        EXPECT_EQ(m_messages.pendingAnswers(), c.texts.size() == 2 ? 0 : 1);
        m_messages.clear();
        EXPECT_FALSE(m_slips.isEditing());
        EXPECT_EQ(slipsOnDisk(), c.onDisk);
    }
    // An existing slip opened and closed without change: no question, its edit ended.
    m_messages.clear();
    m_slips.first();
    m_rules->openExisting();
    m_rules->close();
    EXPECT_TRUE(m_messages.shown().isEmpty());
    EXPECT_FALSE(m_slips.isEditing());
}

TEST_F(TimeSlipRulesTest, OpenedCompletedSlipWithoutEndGetsTodayAndNow)
{
    newConsultSlip();
    set("SL_DONE", 1);
    set("SL_DATEEND", QDate());
    ASSERT_EQ(m_rules->save(), TimeSlipRules::SaveResult::Saved);
    m_clock.setToday(kToday, at(16, 45));
    EXPECT_TRUE(m_rules->openExisting());
    EXPECT_EQ(v("SL_DATEEND").toDate(), QDate(2026, 12, 10));
    EXPECT_EQ(t("SL_TIMEEND"), QStringLiteral("04:45"));
    EXPECT_EQ(t("SL_ENDISPM"), QStringLiteral("Y"));
}

TEST_F(TimeSlipRulesTest, CancelledNewSlipLeavesOtherSlipsAlone)
{
    newConsultSlip();
    ASSERT_EQ(m_rules->save(), TimeSlipRules::SaveResult::Saved);
    EXPECT_TRUE(m_slips.canModify()); // the saved slip may be typed into again
    m_rules->openNew();
    m_rules->cancel();
    EXPECT_EQ(slipsOnDisk(), 1);
    EXPECT_FALSE(m_slips.canModify()); // the cursor stands on the earlier slip
    m_rules->openNew();
    EXPECT_TRUE(m_slips.canModify());
}

TEST_F(TimeSlipRulesTest, DateStartedFillsAnEmptyDateEnded)
{
    newConsultSlip();
    set("SL_DATEEND", QDate());
    set("SL_DATEBEG", QDate(2026, 12, 4));
    m_rules->dateStartedLeft();
    EXPECT_EQ(v("SL_DATEEND").toDate(), QDate(2026, 12, 4));
    set("SL_DATEBEG", QDate(2026, 12, 5));
    m_rules->dateStartedLeft();
    EXPECT_EQ(v("SL_DATEEND").toDate(), QDate(2026, 12, 4));
}

} // namespace
