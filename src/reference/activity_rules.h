#pragma once

#include <functional>

#include <QString>

namespace ui {
class Dataset;
class Messages;
} // namespace ui

namespace reference {

// The rules of the activity window, over the main window's shared activity dataset (TWACT in
// ACTIVITY order). The activity current when the window closes stays current. Two other shared
// datasets are only read, through readers of their own so that they never move:
//   slips  TWSLIP, any order or range: asked whether any slip of any client names an activity
//   setup  TWSETUP: the company default tax rate DEFTAXRATE
//
// Record states, as the window's buttons show them:
//   browsing --typing (auto-edit on, a record shown)--> editing
//   browsing --newActivity() with a free code--> inserting (type "B", not taxable, BILLABLE 1)
//   editing/inserting --save()--> browsing        (posted)
//   editing/inserting --cancel()--> browsing      (discarded, no question)
// An engine failure on post or delete is shown in the error box with the engine's message and
// the record keeps its state.
class ActivityRules
{
public:
    // Asks for a new activity code (the code-entry dialog in activity mode); empty = cancelled.
    using AskCode = std::function<QString()>;

    ActivityRules(ui::Dataset &activities, const ui::Dataset &slips, const ui::Dataset &setup,
        ui::Messages &messages);

    // Opening the window: with no activity code shown (empty table) typing must not start an
    // edit.
    void open();

    // "&New": asks until the code is free or the user cancels; a free code inserts a new
    // activity with its defaults. True when a record was inserted.
    bool newActivity(const AskCode &askCode);
    // After the user ticked or cleared "&Taxable": a tick on an activity without a tax rate
    // (blank or 0) proposes the company default; a rate already there, or a cleared box, is
    // left alone.
    void taxableClicked();
    // "&Save": posts a pending edit or insert; true when nothing is pending or the post worked.
    bool save();
    // "&Cancel", "C&lose" and any other way of closing: discard a pending change silently.
    void cancel();
    // "&Delete": refused while any slip names the activity (auto billing slots do not count),
    // otherwise asks "Delete <description>?". True when the activity was deleted.
    bool remove();
    // "S&earch" may show its listing; false (after the message) when there is nothing to list.
    bool canSearch();

    struct ButtonStates
    {
        bool newEnabled;
        bool deleteEnabled;
        bool searchEnabled;
        bool saveEnabled;
        bool cancelEnabled;
        bool operator==(const ButtonStates &) const = default;
    };
    ButtonStates buttonStates() const;

    // Whether `code` (as stored, upper case) is the key of an activity.
    bool codeInUse(const QString &code) const;
    // Whether any slip, of any client, billed or not, names the activity `code`.
    bool usedBySlips(const QString &code) const;
    // The company default tax rate (0 when the setup record has none).
    double defaultTaxRate() const;

private:
    ui::Dataset &m_activities;
    const ui::Dataset &m_slips;
    const ui::Dataset &m_setup;
    ui::Messages &m_messages;
};

} // namespace reference
