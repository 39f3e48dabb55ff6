#pragma once
// TAutoForm, "Maintain Auto Billings": the five auto billing slots of one client at a time, a
// summary of all five in seven lists, and the editors of the chosen slot. The rules live in
// auto_billing_rules.h; this form connects the widgets to them.
#include <array>
#include <string>

#include <QDialog>

#include "time/auto_billing_rules.h"
#include "ui/dataset.h"

class QComboBox;
class QListWidget;
class QPushButton;

namespace ui {
class DbComboBox;
class DbLookupCombo;
class DbNumberEdit;
class Messages;
class TPlacement;
} // namespace ui

namespace timecap {

class TAutoForm : public QDialog
{
    Q_OBJECT
public:
    // Opens the window's own cursors on TWCLIENT (name order) and TWACT (code order) in
    // `dataDirectory` and stands on the client `current` (a position of the main window's client
    // cursor). Staff and projects are looked up through the main window's cursors.
    TAutoForm(const std::string &dataDirectory, const ui::Dataset::Bookmark &current,
        ui::Dataset &staff, const ui::Dataset &projects, ui::Messages &messages,
        QWidget *parent = nullptr);
    ~TAutoForm() override;

    AutoBillingRules &rules() { return m_rules; }
    ui::Dataset &clients() { return m_clients; }

    // The client box's rows, in name order, and choosing one (as the user does).
    void chooseClient(int row);
    // "Auto Billing to Edit:" or a click on a summary row.
    void chooseSlot(int slot);
    // Fills the project drop-down with the projects of the client shown (each time it drops).
    void fillProjects();

    QComboBox *ClientCombo;
    QComboBox *SlotCombo;
    // "Activity Code", "Hours", "Rate", "Total Amount", "Cycle", "Staff", "Project".
    std::array<QListWidget *, 7> SummaryLists{};
    ui::DbLookupCombo *ActivityCombo;
    ui::DbComboBox *ProjectCombo;
    ui::DbComboBox *CycleCombo;
    ui::DbLookupCombo *StaffCombo;
    ui::DbNumberEdit *HoursEdit;
    ui::DbNumberEdit *RateEdit;
    ui::DbNumberEdit *TotalEdit;
    QPushButton *SaveBtn;
    QPushButton *CancelBtn;
    QPushButton *CloseBtn;

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void fillClients();
    void buildSummary();
    void bindEditors();
    void updateButtons();

    ui::Dataset m_clients;
    ui::Dataset m_activities;
    AutoBillingRules m_rules;
    ui::Messages &m_messages;
    QList<ui::Dataset::Bookmark> m_clientRows;
    bool m_placed = false;
    bool m_building = false;
    ui::TPlacement *m_placement;
};

} // namespace timecap
