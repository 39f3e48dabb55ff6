#include "reports/report_run.h"

#include <optional>


#include <QDate>

#include "billing/preview_form.h"
#include "platform/clock.h"
#include "report_engine/qt/canvas_report.h"
#include "report_engine/qt/current_printer.h"
#include "report_engine/qt/qt_text_measurer.h"
#include "report_engine/qt/status_form.h"
#include "report_engine/report_filer.h"
#include "reports/report_format.h"
#include "reports/report_job.h"
#include "ui/action.h"
#include "ui/cursor_scope.h"
#include "ui/date_text.h"
#include "ui/messages.h"

namespace reports {

ReportRun::ReportRun(ReportData data, const SelectionOptions &options, ui::Messages &messages,
    const platform::Clock &clock)
    : m_data(data)
    , m_options(options)
    , m_messages(messages)
    , m_clock(clock)
{
}

bool ReportRun::run(const RunRequest &request, QWidget *parent)
{
    m_canceled = false;
    m_failure.clear();
    const ReportDef *def = findReport(request.reportName.trimmed().left(50).toStdString());
    if (!def)
        return false;

    const QDate today = ui::toQDate(m_clock.today());
    ReportContext context{ m_data, m_options };
    context.texts = { latin1(request.reportName.trimmed().left(50)), latin1(request.subHeading),
        latin1(request.font), dateText(today) };
    context.today = today.toJulianDay();

    // Displays held and the payments detached from their statements for the run; every cursor
    // is put back on every way out of this function (scopes end in reverse order).
    std::optional<BorrowedCursors> borrowed;
    if (!ui::runAction(m_messages, [&] { borrowed.emplace(m_data); }))
        return false;

    const bool fileBackEnd = !request.printer || request.preview;
    report::QtTextMeasurer measurer;
    std::unique_ptr<report::TBaseReport> backEnd;
    if (fileBackEnd) {
        backEnd = std::make_unique<report::TReportFiler>(measurer, report::reportFileDevice());
    } else {
        auto printer = std::make_unique<report::TReportPrinter>();
        printer->SelectPrinterIndex(report::currentPrinterIndex());
        if (preparePrinter)
            preparePrinter(*printer);
        backEnd = std::move(printer);
    }
    backEnd->SetCopies(std::max(1, request.copies));

    ReportJob job(*def, context);
    report::TPrintModStatus status(parent);
    status.SetReport(backEnd.get(), fileBackEnd);
    if (auto *filer = dynamic_cast<report::TReportFiler *>(backEnd.get()))
        filer->FileName = fileName.toStdString();
    backEnd->OnMessage = [this](const std::string &m) {
        m_messages.error(QString::fromLatin1(m.c_str()));
    };
    status.OnError = [this](const QString &m) {
        m_failure = m;
        m_messages.error(m);
    };
    job.wire(*backEnd);
    if (showStatus)
        showStatus(status);
    else
        status.exec();

    m_canceled = status.Canceled() || status.Failed();
    if (!job.failure().empty()) {
        m_failure = QString::fromLatin1(job.failure().c_str());
        m_messages.error(m_failure);
    }
    borrowed->restore();
    if (m_canceled || !m_failure.isEmpty() || !status.JobStarted())
        return false;

    if (fileBackEnd && (request.preview || request.printer)) {
        billing::TPreviewForm preview(parent, fileName);
        preview.setMessages(&m_messages);
        if (request.printer)
            preview.printDocument();
        if (request.preview) {
            if (showPreview)
                showPreview(preview);
            else
                preview.exec();
        }
    }
    return true;
}

} // namespace reports
