#pragma once

#include <functional>

#include <QString>

namespace ui {
class Dataset;
class Messages;
} // namespace ui

namespace reference {

// The rules of the staff window, over the shared staff dataset (TWEMPLOY in EMPNUMBER order).
// The window owns nothing of the data: the member current when it closes stays current.
//
// Record states, as the window's buttons show them:
//   browsing --typing (auto-edit on, a record shown)--> editing
//   browsing --newStaff() with a free code--> inserting
//   editing/inserting --save()--> browsing        (posted)
//   editing/inserting --cancel()/close()--> browsing   (discarded, no question)
// An engine failure on post or delete is shown in the error box with the engine's message and
// the record keeps its state.
class StaffRules
{
public:
    // Asks for a new staff code (the code-entry dialog in staff mode); empty means cancelled.
    using AskCode = std::function<QString()>;

    static constexpr const char *kSupervisorCode = "000";

    StaffRules(ui::Dataset &staff, ui::Messages &messages);

    // Opening the window: with no staff code shown (empty table) typing must not start an edit.
    void open();

    // "&New": asks until the code is free or the user cancels; a free code inserts a record
    // holding only that code. True when a record was inserted.
    bool newStaff(const AskCode &askCode);
    // "&Save": posts a pending edit or insert; true when nothing is pending or the post worked.
    bool save();
    // "C&ancel" and "&Close": discard any pending change without a question.
    void cancel();
    // "&Delete": refuses the supervisor, asks "Delete <name>?" for anyone else. Slips and auto
    // billings keep the code. True when a record was deleted.
    bool remove();
    // "S&earch" may show its listing; false (after the message) when there is nobody to list.
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

    // Whether `code` (as stored, upper case) is the key of a staff record. Does not move the
    // shared dataset.
    bool codeInUse(const QString &code) const;

private:
    ui::Dataset &m_staff;
    ui::Messages &m_messages;
};

} // namespace reference
