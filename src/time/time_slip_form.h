#pragma once

#include <QDialog>

#include "time/time_slip_rules.h"
#include "ui/dataset.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QToolButton;

namespace ui {
class TPlacement;
} // namespace ui

namespace timecap {

// The slip window ("Time Slip Entry"), a thin form over TimeSlipRules.
//
// The caller (the main window) gives the window its own cursors and runs it modally:
//   slips     its own TWSLIP dataset; in existing mode on the slip to edit
//   clients   its own TWCLIENT dataset in NAME order, on the main window's current client
//             (the caller ends its own edit of that client before exec, see SlipCommands)
//   activities, staff  shared datasets: the look-ups' pick lists ("Activity Listing") move them
//   projects  shared dataset, only read (through a reader)
//   track     TWTRACK (slip numbers)
// After exec the caller takes its project cursor's client restriction off.
class TTimeslipform : public QDialog
{
    Q_OBJECT
public:
    TTimeslipform(ui::Dataset &slips, ui::Dataset &clients, ui::Dataset &activities,
        ui::Dataset &staff, const ui::Dataset &projects, ui::Dataset &track, ui::Messages &messages,
        const platform::Clock &clock, SlipMemory &memory, bool existing, QWidget *parent = nullptr);
    ~TTimeslipform() override;

    TimeSlipRules &rules() { return m_rules; }
    QTimer *ticker() const { return m_ticker; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void openSlip(bool existing);
    void fillClients();
    void clientChosen(int index);
    void fillProjects();
    void showRateMenu();
    void timerDisplay(bool on);
    void updateButtons();
    void timeLeft(bool endTime);
    void saveClicked();

    ui::Dataset &m_slips;
    ui::Dataset &m_clients;
    const ui::Dataset &m_projects;
    TimeSlipRules m_rules;
    ui::TPlacement *m_placement;
    QTimer *m_ticker;
    QComboBox *m_client = nullptr;
    QComboBox *m_project = nullptr;
    QWidget *m_activity = nullptr;
    QLineEdit *m_timeBeg = nullptr;
    QLineEdit *m_timeEnd = nullptr;
    QToolButton *m_rateList = nullptr;
    QCheckBox *m_completed = nullptr;
    QLabel *m_clockPicture = nullptr;
    QPushButton *m_timer = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_new = nullptr;
    QPushButton *m_exit = nullptr;
    QList<ui::Dataset::Bookmark> m_clientRows;
    ui::Dataset::Bookmark m_homeClient; // the main window's client when the window opened
    bool m_closing = false;
};

} // namespace timecap
