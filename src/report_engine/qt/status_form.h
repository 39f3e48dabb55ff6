#pragma once
// TStatusForm (billing statements) and TPrintModStatus (report catalogue): the modal
// "Report Status" window a print run executes in.
//
// States: Waiting --first activation--> Running --RunReport returns--> Completed (timer closes
// the window at its first tick) or Canceled (stays open on "Report Canceled!" until OK).
// Running --an exception leaves the document (an engine error such as "Record locked...")-->
// Failed: the job is aborted, the error is shown in the error box, and the window stays open on
// "Report Canceled!" until OK. No exception leaves the window's event handlers.
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
    // and the report file settings, the sheet of the current printer (reportFileDevice())
    // included.
    void SetReport(TBaseReport *report, bool fileBackEnd);
    // Run before RunReport (the caller positions its tables) and when the window closes.
    std::function<void()> OnBeforeRun;
    std::function<void()> OnClosed;
    // Shows the text of a failure (of the run, OnBeforeRun or OnClosed) in the error box. When
    // unset, a modal QMessageBox with the caption "Error" is shown over this window; callers
    // route it through their ui::Messages service.
    std::function<void(const QString &)> OnError;

    bool Running() const { return m_running; }
    // True after a cancelled or a failed run: either way the job was aborted, and neither a
    // preview nor a finalization may follow.
    bool Canceled() const { return m_canceled; }
    // True when the run ended by an error (the error box has been shown).
    bool Failed() const { return m_failed; }
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
    // Runs `step`; returns the message of the exception it ended with, empty when it ran to its
    // end.
    static QString Failure(const std::function<void()> &step);
    // Shows the text through OnError or the error box; never throws.
    void ShowError(const QString &text);

    TBaseReport *m_report = nullptr;
    bool m_started = false;
    bool m_running = false;
    bool m_canceled = false;
    bool m_failed = false;
    bool m_jobStarted = false;
};

class TPrintModStatus : public TStatusForm
{
    Q_OBJECT
public:
    using TStatusForm::TStatusForm;
};

} // namespace report
