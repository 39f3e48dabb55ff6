#pragma once

#include <functional>
#include <optional>

#include <QDate>
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace platform {
class Clock;
} // namespace platform

namespace ui {
class Dataset;
class Messages;
} // namespace ui

namespace timecap {

// The four values that seed the next new slip, kept for the whole program run. At program start
// the codes are empty and both dates are today.
struct SlipMemory
{
    QString staff;
    QString activity;
    QDate dateStarted;
    QDate dateEnded;
};

// A time of day as the slip stores it: "h:mm" (hour 0 to 12) and whether it is after noon.
struct SlipTime
{
    QString text;
    bool pm = false;
    bool operator==(const SlipTime &) const = default;
};

// The result of leaving a time box (normaliseTime).
struct NormalisedTime
{
    bool changed = false; // false: the box was empty, nothing happens
    bool invalid = false; // typed without a colon: the text is "12:00", focus back to the box
    QString text;
    bool setPm = false; // the hour was 13 to 24: the PM box of that time is ticked
};

// The rules of the slip window ("Time Slip Entry"), without widgets. The form forwards its
// control events to these calls and shows what they change through the slip dataset's signals
// and the timer-display callback.
//
// Datasets (all opened by the caller):
//   slips       the window's own cursor on TWSLIP; the slip being edited is its current record
//   clients     the window's own cursor on TWCLIENT; its current record is the client box's client
//   activities  TWACT, staff TWEMPLOY: only read, through readers, so they never move
//   track       TWTRACK, the NEXTSLIP counter: the rules install the slips dataset's BeforePost
//               (installSlipNumbering with the date rule) for their lifetime
//
// Timer: on or off. The form owns the 10-second QTimer; it starts and stops it when
// onTimerDisplay reports a change and calls tick() on each timeout.
class TimeSlipRules
{
public:
    enum class SaveResult { Saved, Incomplete, Billed, Failed };
    enum class Source { Client = 1, Employee = 2, Activity = 3, Flat = 4 };

    TimeSlipRules(ui::Dataset &slips, ui::Dataset &clients, const ui::Dataset &activities,
        const ui::Dataset &staff, ui::Dataset &track, ui::Messages &messages,
        const platform::Clock &clock, SlipMemory &memory);
    ~TimeSlipRules();
    TimeSlipRules(const TimeSlipRules &) = delete;
    TimeSlipRules &operator=(const TimeSlipRules &) = delete;

    // Called with true when the timer display goes on, false when it goes off.
    std::function<void(bool)> onTimerDisplay;

    // Opening in new mode (and "&New"): appends a slip with its defaults. The form then fills
    // the rate list (rateList()), in both modes.
    void openNew();
    // Opening on the slips dataset's current record: puts it into editing (which resumes a
    // stored running timer), ticks "Co&mpleted" when SL_DONE is 1 and then runs the completed
    // rule. Returns whether "Co&mpleted" is ticked. Throws the engine's error when the record is
    // locked by another user.
    bool openExisting();

    // The rate proposed for `source` and `level` (1 to 5) on the current slip: null for the flat
    // source, a level outside 1 to 5, or a missing client, staff member or activity.
    QVariant proposedRate(int source, int level) const;
    // The five rates of the chosen source as "0.00" texts (empty for the flat source, which runs
    // the flat-amount rule instead). Puts the slip into editing.
    QStringList rateList();
    // "&Activity" changed or left.
    void activityChanged();
    // "Rate So&urce" left: the flat amount when the source is flat and the total is 0 or blank.
    void applyFlatAmount();
    // "Billin&g Rate" or "Total &Hours" left, and each change of the hours (typed, from the
    // times, each tick): total = hours x rate unless flat.
    void recomputeTotal();
    // "Date St&arted" left: a blank date ended takes the date started.
    void dateStartedLeft();
    // A time box left with `typed` in it; stores the normalised time and recomputes the hours.
    // Shows the invalid-time message when there is no colon.
    NormalisedTime timeLeft(bool endTime, const QString &typed);
    // Hours from the begin and end time when both are set and the end is later (the total
    // follows). Run on leaving a time box and on entering "Total &Hours".
    void hoursFromTimes();

    bool timerOn() const { return m_timerOn; }
    // "Start Timer" / "Stop Timer".
    void timerButton();
    void startTimer();
    void stopTimer();
    void tick();
    // "Co&mpleted" clicked, now ticked or not.
    void completedClicked(bool ticked);
    // Puts the slip into editing when it is not (typing does this through auto-edit); resumes a
    // stored running timer.
    void ensureEditing();

    SaveResult save();
    // "&Cancel": discards the slip's changes; the timer display goes off. After a new slip is
    // dropped, typing no longer starts an edit (until "&New").
    void cancel();
    // Closing the window: asks about unsaved changes and saves or discards them; an unchanged
    // slip's editing is ended; the timer display goes off. (The main window's project cursor
    // losing its client restriction is the main window's part.)
    void close();

    // Pure parts of the rules, for the form and for tests.
    static NormalisedTime normaliseTime(const QString &typed);
    // Minutes since midnight of a stored time with its PM flag.
    static int minutesOf(const QString &time, bool pm);
    // The time of day (seconds since midnight) as the timer writes it: "02:05", PM.
    static SlipTime clockText(int secondsOfDay);

private:
    void setTimerDisplay(bool on);
    void applyDefaults();
    void resumeOnEditing();
    std::optional<QVariant> lookup(const ui::Dataset &table, const QString &tag, const QString &key,
        const QString &field) const;
    QVariant activityValue(const QString &field) const;
    int source() const;

    ui::Dataset &m_slips;
    ui::Dataset &m_clients;
    const ui::Dataset &m_activities;
    const ui::Dataset &m_staff;
    ui::Dataset &m_track;
    ui::Messages &m_messages;
    const platform::Clock &m_clock;
    SlipMemory &m_memory;
    bool m_timerOn = false;
    QMetaObject::Connection m_stateConnection;
    QMetaObject::Connection m_hoursConnection;
};

} // namespace timecap
