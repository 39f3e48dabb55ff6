#include "time/time_slip_rules.h"

#include <exception>

#include "platform/clock.h"
#include "time/slip_numbering.h"
#include "ui/dataset.h"
#include "ui/messages.h"

namespace timecap {

namespace {

const QString kAct = QStringLiteral("SL_ACT");
const QString kEmploy = QStringLiteral("SL_EMPLOY");
const QString kDateBeg = QStringLiteral("SL_DATEBEG");
const QString kDateEnd = QStringLiteral("SL_DATEEND");
const QString kTimeBeg = QStringLiteral("SL_TIMEBEG");
const QString kTimeEnd = QStringLiteral("SL_TIMEEND");
const QString kBegPm = QStringLiteral("SL_BEGISPM");
const QString kEndPm = QStringLiteral("SL_ENDISPM");
const QString kHours = QStringLiteral("SL_HOURS");
const QString kRateSrc = QStringLiteral("SL_RATESRC");
const QString kRateLvl = QStringLiteral("SL_RATELVL");
const QString kRate = QStringLiteral("SL_RATE");
const QString kTotal = QStringLiteral("SL_TOTAL");
const QString kTaxable = QStringLiteral("SL_TAXABLE");
const QString kTaxAmt = QStringLiteral("SL_TAXAMT");
const QString kExpAmt = QStringLiteral("SL_EXPAMT");
const QString kDone = QStringLiteral("SL_DONE");
const QString kTimerOn = QStringLiteral("SL_TIMERON");
const QString kBilled = QStringLiteral("SL_BILLED");
const QString kInvoice = QStringLiteral("SL_INVOICE");
const QString kClient = QStringLiteral("SL_CLIENT");

const QString kYes = QStringLiteral("Y");
const QString kNo = QStringLiteral("N");

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
const QString kBilledText = QStringLiteral(
    "This slip has already been billed and cannot be changed.  If an adjustment is desired for "
    "this client, enter another time slip.");
const QString kSaveQuestion = QStringLiteral("Do you want to save changes to this Time Slip?");

// The number formed by the leading digits of `text` (0 when it does not start with a digit).
int leadingNumber(QStringView text)
{
    int value = 0;
    for (const QChar c : text) {
        if (!c.isDigit())
            break;
        value = value * 10 + c.digitValue();
    }
    return value;
}

struct HourMinute
{
    int hour = 0;
    int minute = 0;
    bool hasColon = false;
};

HourMinute splitTime(const QString &time)
{
    const QString text = time.left(5);
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return { leadingNumber(text), 0, false };
    return { leadingNumber(QStringView(text).left(colon)),
        leadingNumber(QStringView(text).mid(colon + 1, 2)), true };
}

} // namespace

TimeSlipRules::TimeSlipRules(ui::Dataset &slips, ui::Dataset &clients,
    const ui::Dataset &activities, const ui::Dataset &staff, ui::Dataset &track,
    ui::Messages &messages, const platform::Clock &clock, SlipMemory &memory)
    : m_slips(slips)
    , m_clients(clients)
    , m_activities(activities)
    , m_staff(staff)
    , m_track(track)
    , m_messages(messages)
    , m_clock(clock)
    , m_memory(memory)
{
    installSlipNumbering(m_slips, m_track, true);
    m_stateConnection =
        QObject::connect(&m_slips, &ui::Dataset::stateChanged, [this](ui::Dataset::State state) {
            if (state == ui::Dataset::State::Edit || state == ui::Dataset::State::Insert)
                resumeOnEditing();
        });
    // The total follows the hours whichever way they change (typed, from the times, the timer),
    // so a slip is never saved with hours and a total that does not match them.
    m_hoursConnection = QObject::connect(&m_slips, &ui::Dataset::fieldChanged, [this](int field) {
        if (field == m_slips.fieldIndex(kHours))
            recomputeTotal();
    });
}

TimeSlipRules::~TimeSlipRules()
{
    QObject::disconnect(m_stateConnection);
    QObject::disconnect(m_hoursConnection);
    m_slips.BeforePost = nullptr; // it refers to the counter table of this window
}

// ---- pure parts ---------------------------------------------------------------------------

NormalisedTime TimeSlipRules::normaliseTime(const QString &typed)
{
    NormalisedTime result;
    const QString text = typed.trimmed().left(5);
    if (text.isEmpty())
        return result;
    result.changed = true;
    HourMinute t = splitTime(text);
    if (!t.hasColon) {
        result.invalid = true;
        result.text = QStringLiteral("12:00");
        return result;
    }
    if (t.minute > 60) {
        t.minute = 0;
        ++t.hour;
    }
    if (t.hour > 12) {
        if (t.hour <= 24) {
            t.hour -= 12;
            result.setPm = true;
        } else {
            t.hour = 0;
        }
    }
    result.text = (QString::number(t.hour) + QLatin1Char(':')
        + QStringLiteral("%1").arg(t.minute, 2, 10, QLatin1Char('0')))
                      .left(5);
    return result;
}

int TimeSlipRules::minutesOf(const QString &time, bool pm)
{
    HourMinute t = splitTime(time);
    if (pm && t.hour < 12)
        t.hour += 12;
    else if (!pm && t.hour == 12)
        t.hour = 0;
    return t.hour * 60 + t.minute;
}

SlipTime TimeSlipRules::clockText(int secondsOfDay)
{
    const int hour = secondsOfDay / 3600;
    const int minute = secondsOfDay / 60 % 60;
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return { QStringLiteral("%1:%2")
                 .arg(hour12, 2, 10, QLatin1Char('0'))
                 .arg(minute, 2, 10, QLatin1Char('0')),
        hour >= 12 };
}

// ---- look-ups -----------------------------------------------------------------------------

std::optional<QVariant> TimeSlipRules::lookup(
    const ui::Dataset &table, const QString &tag, const QString &key, const QString &field) const
{
    if (!table.isOpen() || key.isEmpty())
        return std::nullopt;
    auto reader = table.cursor()->reader();
    reader->cancelRange();
    reader->setTag(tag);
    if (!reader->findKey({ key }))
        return std::nullopt;
    const int index = table.fieldIndex(field);
    if (index < 0)
        return std::nullopt;
    return reader->value(std::size_t(index));
}

QVariant TimeSlipRules::activityValue(const QString &field) const
{
    return lookup(m_activities, QStringLiteral("Activity"), m_slips.text(kAct), field)
        .value_or(QVariant());
}

int TimeSlipRules::source() const
{
    return m_slips.value(kRateSrc).toInt();
}

QVariant TimeSlipRules::proposedRate(int source, int level) const
{
    if (level < 1 || level > 5)
        return {};
    const QString n = QString::number(level);
    switch (source) {
    case int(Source::Client):
        if (!m_clients.isOpen() || m_clients.isEmpty())
            return {};
        return m_clients.value(QStringLiteral("B_RATE") + n);
    case int(Source::Employee):
        return lookup(m_staff, QStringLiteral("EmpNumber"), m_slips.text(kEmploy),
            QStringLiteral("EMPRATE") + n)
            .value_or(QVariant());
    case int(Source::Activity):
        return lookup(m_activities, QStringLiteral("Activity"), m_slips.text(kAct),
            QStringLiteral("ACTRATE") + n)
            .value_or(QVariant());
    default:
        return {};
    }
}

// ---- opening ------------------------------------------------------------------------------

void TimeSlipRules::openNew()
{
    setTimerDisplay(false);
    m_slips.setAutoEdit(true);
    m_slips.insert();
    applyDefaults();
}

void TimeSlipRules::applyDefaults()
{
    m_slips.setValue(kEmploy, m_memory.staff);
    m_slips.setValue(kAct, m_memory.activity);
    m_slips.setValue(kDateBeg, m_memory.dateStarted);
    m_slips.setValue(kDateEnd, m_memory.dateEnded);
    m_slips.setValue(kHours, 0);
    m_slips.setValue(kTotal, 0);
    m_slips.setValue(kDone, 0);
    m_slips.setValue(kTimerOn, 0);
    const bool haveClient = m_clients.isOpen() && !m_clients.isEmpty();
    const QVariant src = haveClient ? m_clients.value(QStringLiteral("B_RATESRC")) : QVariant();
    const QVariant lvl = haveClient ? m_clients.value(QStringLiteral("B_RATEDEF")) : QVariant();
    m_slips.setValue(kRateSrc, src);
    m_slips.setValue(kRateLvl, lvl);
    m_slips.setValue(kInvoice, -1);
    m_slips.setValue(kBegPm, kNo);
    m_slips.setValue(kEndPm, kNo);
    const QVariant rate = proposedRate(src.toInt(), lvl.toInt());
    if (!rate.isNull())
        m_slips.setValue(kRate, rate);
}

bool TimeSlipRules::openExisting()
{
    setTimerDisplay(false);
    m_slips.setAutoEdit(true);
    m_slips.edit(); // may resume a stored running timer
    const bool done = m_slips.value(kDone).toInt() == 1;
    if (done)
        completedClicked(true);
    return done;
}

void TimeSlipRules::ensureEditing()
{
    if (!m_slips.isEditing())
        m_slips.edit();
}

void TimeSlipRules::resumeOnEditing()
{
    if (m_slips.value(kTimerOn).toInt() != 1)
        return;
    m_slips.setValue(kTimerOn, 0);
    startTimer();
}

// ---- rates and totals ---------------------------------------------------------------------

QStringList TimeSlipRules::rateList()
{
    ensureEditing();
    const int src = source();
    if (src == int(Source::Flat)) {
        applyFlatAmount();
        return {};
    }
    QStringList list;
    if (src == int(Source::Client) && (!m_clients.isOpen() || m_clients.isEmpty()))
        return list;
    for (int n = 1; n <= 5; ++n) {
        const QVariant rate = proposedRate(src, n);
        if (src != int(Source::Client) && n == 1) {
            // A staff member or activity that does not exist has no rates to offer.
            const bool exists = src == int(Source::Employee)
                ? lookup(m_staff, QStringLiteral("EmpNumber"), m_slips.text(kEmploy),
                    QStringLiteral("EMPNUMBER"))
                      .has_value()
                : lookup(m_activities, QStringLiteral("Activity"), m_slips.text(kAct),
                    QStringLiteral("ACTIVITY"))
                      .has_value();
            if (!exists)
                return list;
        }
        if (src < 1 || src > 3)
            return list;
        list << QString::number(rate.toDouble(), 'f', 2);
    }
    return list;
}

void TimeSlipRules::applyFlatAmount()
{
    if (source() != int(Source::Flat))
        return;
    const QVariant total = m_slips.value(kTotal);
    if (!total.isNull() && total.toDouble() != 0.0)
        return;
    const QVariant flat = activityValue(QStringLiteral("FLATAMOUNT"));
    if (!flat.isNull())
        m_slips.setValue(kTotal, flat);
}

void TimeSlipRules::activityChanged()
{
    const bool known = lookup(
        m_activities, QStringLiteral("Activity"), m_slips.text(kAct), QStringLiteral("ACTIVITY"))
                           .has_value();
    if (m_slips.isEditing() && known) {
        m_slips.setValue(kTaxable, activityValue(QStringLiteral("TAXABLE")));
        if (source() == int(Source::Flat))
            m_slips.setValue(kTotal, activityValue(QStringLiteral("FLATAMOUNT")));
        const int level = m_slips.value(kRateLvl).toInt();
        if (level > 0 && source() == int(Source::Activity)) {
            rateList();
            const QVariant rate = proposedRate(int(Source::Activity), level);
            m_slips.setValue(kRate, rate);
        }
    }
    recomputeTotal();
}

void TimeSlipRules::recomputeTotal()
{
    if (!m_slips.isEditing() || source() == int(Source::Flat))
        return;
    const double total = m_slips.value(kHours).toDouble() * m_slips.value(kRate).toDouble();
    m_slips.setValue(kTotal, total);
}

// ---- dates and times ----------------------------------------------------------------------

void TimeSlipRules::dateStartedLeft()
{
    if (m_slips.value(kDateEnd).toDate().isValid())
        return;
    const QDate started = m_slips.value(kDateBeg).toDate();
    if (started.isValid())
        m_slips.setValue(kDateEnd, started);
}

NormalisedTime TimeSlipRules::timeLeft(bool endTime, const QString &typed)
{
    const NormalisedTime result = normaliseTime(typed);
    if (!result.changed)
        return result;
    if (result.invalid)
        m_messages.information(kInvalidTime);
    m_slips.setValue(endTime ? kTimeEnd : kTimeBeg, result.text);
    if (result.setPm)
        m_slips.setValue(endTime ? kEndPm : kBegPm, kYes);
    hoursFromTimes();
    return result;
}

void TimeSlipRules::hoursFromTimes()
{
    const QString begin = m_slips.text(kTimeBeg);
    const QString end = m_slips.text(kTimeEnd);
    if (begin.isEmpty() || end.isEmpty())
        return;
    const int from = minutesOf(begin, m_slips.text(kBegPm) == kYes);
    const int to = minutesOf(end, m_slips.text(kEndPm) == kYes);
    const double hours = double(to - from) / 60.0;
    // Unchanged hours are left alone, so that a total typed since stays as typed.
    const QVariant stored = m_slips.value(kHours);
    if (from < to && (stored.isNull() || stored.toDouble() != hours))
        m_slips.setValue(kHours, hours);
}

// ---- timer --------------------------------------------------------------------------------

void TimeSlipRules::setTimerDisplay(bool on)
{
    if (m_timerOn == on)
        return;
    m_timerOn = on;
    if (onTimerDisplay)
        onTimerDisplay(on);
}

void TimeSlipRules::timerButton()
{
    if (m_timerOn || m_slips.value(kTimerOn).toInt() == 1)
        stopTimer();
    else
        startTimer();
}

void TimeSlipRules::startTimer()
{
    ensureEditing();
    if (m_slips.text(kTimeBeg).isEmpty()) {
        const SlipTime now = clockText(int(m_clock.timeOfDay().count()));
        m_slips.setValue(kTimeBeg, now.text);
        if (now.pm)
            m_slips.setValue(kBegPm, kYes);
    }
    if (!m_slips.text(kTimeEnd).isEmpty()) {
        m_messages.information(kEndSet);
        m_slips.setValue(kTimerOn, 0);
        setTimerDisplay(false);
        return;
    }
    m_slips.setValue(kTimerOn, 1);
    setTimerDisplay(true);
    tick();
}

void TimeSlipRules::tick()
{
    if (!m_timerOn || !m_slips.isEditing())
        return;
    const int begin = minutesOf(m_slips.text(kTimeBeg), m_slips.text(kBegPm) == kYes);
    const int now = int(m_clock.timeOfDay().count() / 60);
    if (now < begin) {
        m_slips.setValue(kTimerOn, 0);
        setTimerDisplay(false);
        m_messages.information(kNegative);
        return;
    }
    m_slips.setValue(kHours, double(now - begin) / 60.0);
    recomputeTotal();
}

void TimeSlipRules::stopTimer()
{
    ensureEditing();
    m_slips.setValue(kTimerOn, 0);
    setTimerDisplay(false);
    if (m_slips.text(kTimeEnd).isEmpty()) {
        const SlipTime now = clockText(int(m_clock.timeOfDay().count()));
        m_slips.setValue(kTimeEnd, now.text);
        if (now.pm)
            m_slips.setValue(kEndPm, kYes);
    }
}

void TimeSlipRules::completedClicked(bool ticked)
{
    ensureEditing();
    if (!ticked) {
        m_slips.setValue(kDone, 0);
        return;
    }
    if (m_timerOn)
        stopTimer();
    m_slips.setValue(kDone, 1);
    if (!m_slips.value(kDateEnd).toDate().isValid()) {
        const auto today = m_clock.today();
        m_slips.setValue(kDateEnd,
            QDate(int(today.year()), int(unsigned(today.month())), int(unsigned(today.day()))));
    }
    if (m_slips.text(kTimeEnd).isEmpty()) {
        const SlipTime now = clockText(int(m_clock.timeOfDay().count()));
        m_slips.setValue(kTimeEnd, now.text);
        if (now.pm)
            m_slips.setValue(kEndPm, kYes);
    }
}

// ---- save, cancel, close ------------------------------------------------------------------

TimeSlipRules::SaveResult TimeSlipRules::save()
{
    m_memory.staff = m_slips.text(kEmploy);
    m_memory.activity = m_slips.text(kAct);
    if (!m_slips.isEditing())
        return SaveResult::Saved;
    if (m_clients.isOpen() && !m_clients.isEmpty())
        m_slips.setValue(kClient, m_clients.value(QStringLiteral("NUMBER")));
    if (m_slips.text(kAct).isEmpty()) {
        m_messages.information(kIncomplete);
        return SaveResult::Incomplete;
    }
    SaveResult result = SaveResult::Saved;
    if (m_slips.value(kBilled).toInt() == 1) {
        m_messages.warning(kBilledText);
        m_slips.cancel();
        result = SaveResult::Billed;
    } else {
        try {
            if (m_slips.text(kTaxable) == kYes) {
                const double taxRate = activityValue(QStringLiteral("TAXRATE")).toDouble();
                m_slips.setValue(kTaxAmt, m_slips.value(kTotal).toDouble() * (taxRate / 100.0));
            }
            if (activityValue(QStringLiteral("ACTTYPE")).toString() == QStringLiteral("E"))
                m_slips.setValue(kExpAmt, m_slips.value(kTotal));
            m_slips.post(); // numbers a new slip first
        } catch (const ui::AbortAction &) {
            return SaveResult::Failed;
        } catch (const std::exception &e) {
            m_messages.error(QString::fromLocal8Bit(e.what()));
            return SaveResult::Failed;
        }
    }
    m_memory.dateStarted = m_slips.value(kDateBeg).toDate();
    m_memory.dateEnded = m_slips.value(kDateEnd).toDate();
    setTimerDisplay(false);
    return result;
}

void TimeSlipRules::cancel()
{
    setTimerDisplay(false);
    const bool wasNew = m_slips.state() == ui::Dataset::State::Insert;
    if (m_slips.isEditing())
        m_slips.cancel();
    // A dropped new slip leaves the cursor on some other slip, perhaps of another client: typing
    // must not start editing that one. "&New" or opening again allows it.
    if (wasNew)
        m_slips.setAutoEdit(false);
}

void TimeSlipRules::close()
{
    if (m_slips.isEditing() && m_slips.isModified()) {
        const ui::MessageAnswer answer =
            m_messages.show(ui::MessageKind::Information, kSaveQuestion, ui::MessageButtons::YesNo);
        if (answer == ui::MessageAnswer::Yes)
            save();
    }
    setTimerDisplay(false);
    if (m_slips.isEditing())
        m_slips.cancel();
}

} // namespace timecap
