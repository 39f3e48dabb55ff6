#pragma once
// The catalogue's print run ("&Print"): the chosen report's layout wired onto the printer back
// end or the report file back end, run inside the "Report Status" window, then the preview.
//
//   ReportRun run(data, optionsWindow.options(), messages);
//   run.run({ name, subHeading, font, copies, preview, printer }, this);
//
// Every main-window cursor the run touches is put back as it stood (tag, range, master link,
// frozen display, position) when run() returns, whether the run completed, was cancelled or
// stopped on an engine error.
//
// With both "Preview Screen" and "Printer" on, the layout runs once, into the report file on the
// chosen printer's sheet; that file is printed on the chosen printer through the preview's own
// print path and then previewed, so the preview shows this run's own pages.
#include <functional>

#include <QString>

#include "reports/report_layout.h"

class QWidget;

namespace billing {
class TPreviewForm;
}
namespace platform {
class Clock;
}
namespace report {
class TReportPrinter;
class TStatusForm;
} // namespace report
namespace ui {
class Messages;
}

namespace reports {

struct RunRequest
{
    QString reportName;
    QString subHeading;
    QString font = QStringLiteral("Times New Roman");
    int copies = 1;
    bool preview = true;
    bool printer = false;
};

class ReportRun
{
public:
    ReportRun(ReportData data, const SelectionOptions &options, ui::Messages &messages,
        const platform::Clock &clock);

    // Runs the report; true when it ran to its end (not cancelled, no failure).
    bool run(const RunRequest &request, QWidget *parent);

    // The report file of the file back end.
    QString fileName = QStringLiteral("TWREPORT.RPT");
    // Hooks: shows the preview window (default: modally); prepares the printer back end before
    // its job (the tests print into a PDF file); runs the status window (default: modally).
    std::function<void(billing::TPreviewForm &)> showPreview;
    std::function<void(report::TReportPrinter &)> preparePrinter;
    std::function<void(report::TStatusForm &)> showStatus;

    bool canceled() const { return m_canceled; }
    // The engine's message when a failure stopped the run (also shown in the error box).
    const QString &failure() const { return m_failure; }

private:
    ReportData m_data;
    const SelectionOptions &m_options;
    ui::Messages &m_messages;
    const platform::Clock &m_clock;
    bool m_canceled = false;
    QString m_failure;
};

} // namespace reports
