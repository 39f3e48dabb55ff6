#include "reports/report_layout.h"

#include "reports/budget_report.h"
#include "reports/labels.h"
#include "reports/listings.h"
#include "reports/receivables_reports.h"
#include "reports/slip_reports.h"
#include "reports/worksheet_layout.h"
#include "ui/cursor_scope.h"
#include "ui/dataset.h"

namespace reports {

bool ReportLayout::printPage(report::TBaseReport &)
{
    return false;
}

void ReportLayout::print(report::TBaseReport &) { }

void ReportLayout::printHeading(report::TBaseReport &) { }

bool ReportLayout::writeCsv(std::ostream &)
{
    return false;
}

BorrowedCursors::BorrowedCursors(ReportData &data)
{
    m_scopes.emplace_back(data.clients);
    m_scopes.emplace_back(data.slips);
    m_scopes.emplace_back(data.invoices);
    m_scopes.emplace_back(data.payments, ui::CursorScope::Freeze | ui::CursorScope::DetachMaster);
    m_scopes.emplace_back(data.projects);
    m_scopes.emplace_back(data.activities);
    m_scopes.emplace_back(data.staff);
    data.invoices.setTag(QStringLiteral("INV_CLIENT"));
    data.projects.setTag(QStringLiteral("PJ_CODE"));
    data.clients.setTag(QStringLiteral("NAME"));
}

void BorrowedCursors::restore()
{
    while (!m_scopes.empty()) {
        m_scopes.back().restore();
        m_scopes.pop_back();
    }
}

bool NotYetAvailableLayout::printPage(report::TBaseReport &r)
{
    r.SetMarginTop(1.3);
    r.UseFont(m_context.texts.font, 10);
    r.CursorHome();
    r.EmitLeftAt("This report is not available yet.", kAreaLeft);
    return false;
}

std::unique_ptr<ReportLayout> makeLayout(const ReportDef &def, ReportContext &context)
{
    switch (def.layout) {
    case Layout::Labels:
        return std::make_unique<LabelLayout>(context, labelStock(def.name));
    case Layout::ClientListing:
        return std::make_unique<ClientListing>(context);
    case Layout::ActivityListing:
        return std::make_unique<ActivityListing>(context);
    case Layout::StaffListing:
        return std::make_unique<StaffListing>(context);
    case Layout::ProjectListing:
        return std::make_unique<ProjectListing>(context);
    case Layout::AgedReceivables:
        return std::make_unique<AgedReceivables>(context);
    case Layout::InvoiceReport:
        return std::make_unique<InvoiceReport>(context);
    case Layout::PaymentReport:
        return std::make_unique<PaymentReport>(context);
    case Layout::SalesTaxReport:
        return std::make_unique<SalesTaxReport>(context);
    case Layout::ProjectBudget:
        return std::make_unique<ProjectBudgetLayout>(context);
    case Layout::Worksheet:
        return std::make_unique<WorksheetLayout>(context);
    case Layout::SlipsByClient:
        return std::make_unique<SlipAnalysis>(
            context, SlipAnalysis::Grouping::Client, def.detailed != DetailedFlag::Off);
    case Layout::SlipsByActivity:
        return std::make_unique<SlipAnalysis>(
            context, SlipAnalysis::Grouping::Activity, def.detailed != DetailedFlag::Off);
    case Layout::SlipsByNumber:
        return std::make_unique<SlipAnalysis>(context, SlipAnalysis::Grouping::None, true);
    case Layout::ActivityTotals:
        return std::make_unique<ActivityTotals>(context);
    default:
        return std::make_unique<NotYetAvailableLayout>(context);
    }
}

std::string clipToWidth(report::TBaseReport &r, const std::string &text, double width)
{
    if (r.TextWidth(text) <= width)
        return text;
    // Widths grow with the length of a start of the text: find the longest start that fits.
    std::size_t lo = 0, hi = text.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi + 1) / 2;
        if (r.TextWidth(text.substr(0, mid)) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    return text.substr(0, lo);
}

} // namespace reports
