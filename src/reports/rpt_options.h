#pragma once
// TRptOptions, "Report Printing Options": the selection options of the catalogue's reports.
// Created with the catalogue (ranges filled from the tables at that moment) and freed with it,
// so the options persist across the prints of one visit. The layouts read the fields live at
// print time (options()); only the slip date range waits for OK.
#include <functional>
#include <optional>

#include <QDate>
#include <QDialog>
#include <QLineEdit>

#include "reports/report_catalogue.h"
#include "reports/selection_rules.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QSpinBox;
class QToolButton;

namespace platform {
class Clock;
}
namespace ui {
class Dataset;
class Messages;
} // namespace ui

namespace reports {

struct ReportData;

// A date picker that may stay blank; entering it while blank fills in today's date.
class DatePicker : public QLineEdit
{
    Q_OBJECT
public:
    DatePicker(const platform::Clock &clock, QWidget *parent = nullptr);
    // The typed date; nullopt when blank. *valid is false for text that is no date.
    std::optional<QDate> date(bool *valid = nullptr) const;

protected:
    void focusInEvent(QFocusEvent *e) override;

private:
    const platform::Clock &m_clock;
};

class TRptOptions : public QDialog
{
    Q_OBJECT
public:
    TRptOptions(ReportData &tables, ui::Messages &messages, const platform::Clock &clock,
        QWidget *parent = nullptr);

    // The options as the fields stand now, with the slip date range of the last OK (or of the
    // window's creation).
    const SelectionOptions &options();
    // Enables the groups the report uses, greys the others, captions the date group.
    void prepareFor(const QString &reportName);
    void setDetailed(bool on);
    bool detailed() const;
    // The slip date range from the pickers (blank: today -/+ 3650 days).
    void computeSlipDates();

    // Leaving a client bound: the typed text looked up among client names.
    void lookUpClient(QLineEdit *edit);
    // The "Search" list of clients; true when one was chosen into the edit.
    bool pickClient(QLineEdit *edit);

    QLineEdit *ClientBeginEdit;
    QLineEdit *ClientEndEdit;
    QToolButton *ClientBeginBtn;
    QToolButton *ClientEndBtn;
    QCheckBox *InactiveCheck;
    QSpinBox *CycleFromSpin;
    QSpinBox *CycleToSpin;
    QComboBox *ActivityBeginCombo;
    QComboBox *ActivityEndCombo;
    QComboBox *ProjectBeginCombo;
    QComboBox *ProjectEndCombo;
    QComboBox *StaffBeginCombo;
    QComboBox *StaffEndCombo;
    DatePicker *DateFromEdit;
    DatePicker *DateToEdit;
    QCheckBox *ExpenseCheck;
    QCheckBox *PendingCheck;
    QCheckBox *CompletedCheck;
    QCheckBox *BilledCheck;
    QCheckBox *NotBilledCheck;
    QCheckBox *DetailedCheck;
    QGroupBox *ClientRangeGroup;
    QGroupBox *ClientCycleGroup;
    QGroupBox *ActivityRangeGroup;
    QGroupBox *ProjectRangeGroup;
    QGroupBox *StaffRangeGroup;
    QGroupBox *TimeSlipsGroup;
    QGroupBox *SlipStatusGroup;

    // A picked client name moves focus on to End after Begin; the search list asks this.
    std::function<bool(ui::Dataset &)> runSearchList;

protected:
    void showEvent(QShowEvent *e) override;
    void done(int r) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillDefaults();
    void OKBtnClick();

    ReportData &m_data;
    ui::Messages &m_messages;
    const platform::Clock &m_clock;
    SelectionOptions m_options;
    DayRange m_slipDates{ 0, 0 };
    bool m_placed = false;
};

} // namespace reports
