#pragma once

#include <functional>

#include <QDialog>

#include "reference/staff_rules.h"

class QPushButton;

namespace ui {
class Dataset;
class Messages;
class TPlacement;
} // namespace ui

namespace reference {

// The staff window ("Staff"), a thin form over StaffRules and the main window's shared staff
// dataset. Buttons: NewBtn, DeleteBtn, SaveBtn, CancelBtn, CloseBtn, SearchBtn; fields named
// after their table fields (EMPNAMEEdit, EMPRATE1Edit, ...). Closing in any way discards a
// pending change and leaves the dataset on the member shown.
class TEmployeeform : public QDialog
{
    Q_OBJECT
public:
    TEmployeeform(ui::Dataset &staff, ui::Messages &messages, QWidget *parent = nullptr);

    // The code-entry dialog; by default TInputDialog in staff mode. Tests replace it.
    StaffRules::AskCode askCode;
    // The "Staff Listing" pick list over a dataset of its own; true when a member was picked
    // (the dataset then stands on it). By default the modal pick list. Tests replace it.
    std::function<bool(ui::Dataset &listing)> pickStaff;

    ui::TPlacement *placement() const { return m_placement; }
    StaffRules &rules() { return m_rules; }

    // A window destroyed without being closed still releases the record it holds.
    ~TEmployeeform() override;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void NewBtnClick();
    void DeleteBtnClick();
    void SaveBtnClick();
    void CancelBtnClick();
    void SearchBtnClick();
    void updateButtons();

    ui::Dataset &m_staff;
    ui::Messages &m_messages;
    StaffRules m_rules;
    ui::TPlacement *m_placement;
    QPushButton *m_new, *m_delete, *m_save, *m_cancel, *m_close, *m_search;
    QWidget *m_name = nullptr;
    QWidget *m_firstRate = nullptr;
    bool m_placed = false;
};

} // namespace reference
