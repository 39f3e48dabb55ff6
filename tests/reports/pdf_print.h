#pragma once
// Printing a report on the printer back end into a PDF (or on the current printer) and finding
// the document the tests' PDF queue wrote for it.
#include <cmath>
#include <functional>
#include <map>
#include <string>

#include <QDir>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include "platform/clock.h"
#include "report_engine/qt/canvas_report.h"
#include "report_fixture.h"
#include "report_text.h"
#include "reports/report_run.h"
#include "ui/scripted_messages.h"

// Prints `report` through the catalogue's run on the printer back end in Liberation Serif, into
// `pdf` unless empty (then on the current printer), on 10 December 2026. False when the run
// fails or shows any message.
inline bool printReport(ReportTables &t, const std::string &report, const QString &pdf,
    const reports::SelectionOptions &options = wideOptions())
{
    using namespace std::chrono;
    ui::ScriptedMessages messages;
    const platform::ManualClock clock(year_month_day(year(2026), month(12), day(10)));
    reports::ReportRun run(t.data(), options, messages, clock);
    if (!pdf.isEmpty())
        run.preparePrinter = [&](report::TReportPrinter &p) { p.SetPdfOutput(pdf); };
    reports::RunRequest request;
    request.reportName = QString::fromStdString(report);
    request.subHeading = QStringLiteral("Full width");
    request.font = QStringLiteral("Liberation Serif");
    request.printer = true;
    request.preview = false;
    const bool ok = run.run(request, nullptr);
    EXPECT_TRUE(messages.shown().isEmpty()) << messages.lastText().toStdString();
    return ok && messages.shown().isEmpty();
}

// Per line of the body (by the words' bottom, in fiftieths of an inch) its words' left and right
// ends, in inches.
inline std::map<long, std::vector<std::pair<double, double>>> pdfBodyLines(const QString &pdf)
{
    std::map<long, std::vector<std::pair<double, double>>> lines;
    for (const PdfWordBox &w : pdfWordBoxList(pdf))
        if (w.y0 > 1.3 && w.y1 < 10.2)
            lines[std::lround(w.y1 * 50)].push_back({ w.x0, w.x1 });
    return lines;
}

// The folder the tests' PDF queue writes its documents into, when that queue is the default
// printer and its folder is there; else an empty path.
inline QString pdfQueueFolder()
{
    const QString folder = qEnvironmentVariable("TARNW_PDF_DIR", "/var/spool/tarnw-pdf");
    return QPrinterInfo::defaultPrinterName() == QLatin1String("TarnwPDF") && QDir(folder).exists()
        ? folder
        : QString();
}

// The documents of the queue's folder, newest first.
inline QStringList queueJobs(const QDir &queue)
{
    return queue.entryList({ QStringLiteral("Tarnwick-job_*.pdf") }, QDir::Files, QDir::Time);
}

// The first document new in `queue` since `before` whose words `ours` accepts, waiting up to
// 30 seconds for it; empty when none arrives.
inline QString awaitQueueDocument(
    const QDir &queue, const QStringList &before, const std::function<bool(const QStringList &)> &ours)
{
    for (int tries = 0; tries < 300; ++tries) {
        for (const QString &f : queueJobs(queue))
            if (!before.contains(f) && ours(pdfWords(queue.filePath(f))))
                return queue.filePath(f);
        QThread::msleep(100);
    }
    return {};
}

// Renders the PDF's pages into TARNW_SCREENSHOT_DIR when that is set, named after the report.
inline void savePdfImages(const std::string &report, const QString &pdf, int dpi)
{
    const QString images = qEnvironmentVariable("TARNW_SCREENSHOT_DIR");
    if (images.isEmpty())
        return;
    QString base = QString::fromStdString(report);
    base.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("_"));
    QProcess::execute(QStringLiteral("pdftoppm"),
        { QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi), pdf,
            QDir(images).filePath(base) });
}
