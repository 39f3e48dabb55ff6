#pragma once
// TStatusForm (billing statements) and TPrintModStatus (report catalogue): the modal
// "Report Status" window a print run executes in.
//
// States: Waiting --first activation--> Running --RunReport returns--> Completed (timer closes
// the window at its first tick) or Canceled (stays open on "Report Canceled!" until OK).
#include <functional>

#include <QDialog>

#include "report_engine/base_report.h"

class QLabel;
class QPushButton;
class QTimer;

namespace report {

class TStatusForm : public QDialog
{
    Q_OBJECT
public:
    explicit TStatusForm(QWidget *parent = nullptr);
    ~TStatusForm() override;

    // The back end to run, with the window's job settings; fileBackEnd picks the status format
    // and the report file settings.
    void SetReport(TBaseReport *report, bool fileBackEnd);
    // Run before RunReport (the caller positions its tables) and when the window closes.
    std::function<void()> OnBeforeRun;
    std::function<void()> OnClosed;

    bool Running() const { return m_running; }
    bool Canceled() const { return m_canceled; }
    // False when the run ended before its job began (no printer, report file not created).
    bool JobStarted() const { return m_jobStarted; }

    QLabel *StatusLabel;
    QPushButton *CancelBtn;
    QTimer *Timer;

protected:
    void showEvent(QShowEvent *e) override;
    void done(int r) override;

private:
    void Run();
    void ButtonClicked();

    TBaseReport *m_report = nullptr;
    bool m_started = false;
    bool m_running = false;
    bool m_canceled = false;
    bool m_jobStarted = false;
};

class TPrintModStatus : public TStatusForm
{
    Q_OBJECT
public:
    using TStatusForm::TStatusForm;
};

} // namespace report
