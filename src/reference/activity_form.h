#pragma once

// The activity window ("Activities").
//
// How the main window opens it, from the Activities menu item and the activities toolbar
// button, after the rights check with code "V11" (no other guard):
//
//   reference::openActivities(data.dataset(MainData::ActivityTable1),
//       data.dataset(MainData::SlipTable), data.dataset(MainData::SetupTable), messages, this);
//
// The window works on ActivityTable1 itself (the activity current when it closes stays current)
// and only reads SlipTable and SetupTable through readers of its own, so the main window's slip
// list keeps its client range and position: no client refresh is needed afterwards.

#include <functional>

#include <QDialog>

#include "reference/activity_rules.h"

class QPushButton;

namespace ui {
class Dataset;
class DbCheckBox;
class Messages;
class TPlacement;
} // namespace ui

namespace reference {

// Runs the activity window modally over the shared datasets (see above).
void openActivities(ui::Dataset &activities, const ui::Dataset &slips, const ui::Dataset &setup,
    ui::Messages &messages, QWidget *parent);

// The activity window, a thin form over ActivityRules. Buttons NewBtn, DeleteBtn, SaveBtn,
// CancelBtn, CloseBtn, SearchBtn; fields named after their table fields (ACTIVITYEdit,
// DESCEdit, TAXABLECheck, TAXRATEEdit, ACTTYPEGroup, ACTRATE1Edit, ACTRATED1Edit, ...,
// FLATAMOUNTEdit). Closing in any way discards a pending change.
class TActivityForm : public QDialog
{
    Q_OBJECT
public:
    TActivityForm(ui::Dataset &activities, const ui::Dataset &slips, const ui::Dataset &setup,
        ui::Messages &messages, QWidget *parent = nullptr);

    // The code-entry dialog; by default TInputDialog in activity mode. Tests replace it.
    ActivityRules::AskCode askCode;
    // The "Activity Listing" pick list over the window's second cursor; true when an activity
    // was picked (the listing then stands on it). By default the modal pick list.
    std::function<bool(ui::Dataset &listing)> pickActivity;

    ui::TPlacement *placement() const { return m_placement; }
    ActivityRules &rules() { return m_rules; }

    // A window destroyed without being closed still releases the record it holds.
    ~TActivityForm() override;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void NewBtnClick();
    void DeleteBtnClick();
    void SaveBtnClick();
    void CancelBtnClick();
    void SearchBtnClick();
    void TAXABLEClick();
    void updateButtons();

    ui::Dataset &m_activities;
    ui::Messages &m_messages;
    ActivityRules m_rules;
    ui::Dataset *m_listing;
    ui::TPlacement *m_placement;
    QPushButton *m_new, *m_delete, *m_save, *m_cancel, *m_close, *m_search;
    QWidget *m_desc = nullptr;
    QWidget *m_firstRate = nullptr;
    bool m_placed = false;
};

} // namespace reference
