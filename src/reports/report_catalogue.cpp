#include "reports/report_catalogue.h"

#include <array>

namespace reports {

namespace {

using L = Layout;
using F = FirstPositioning;
using D = DetailedFlag;

constexpr std::array kReports = {
    ReportDef{ "Client Labels (Avery 5161)", L::Labels, true, false, D::Keep, F::Client, false },
    ReportDef{ "Client Labels (Avery 5260)", L::Labels, true, false, D::Keep, F::Client, false },
    ReportDef{ "Client Listing", L::ClientListing, true, true, D::Keep, F::Client, true },
    ReportDef{ "Activity Listing", L::ActivityListing, true, true, D::Keep, F::Activity, true },
    ReportDef{ "Staff Listing", L::StaffListing, true, true, D::Keep, F::Staff, true },
    ReportDef{ "Project Listing", L::ProjectListing, true, true, D::Keep, F::Project, true },
    ReportDef{ "Aged Receivables Report - Detailed", L::AgedReceivables, false, true, D::On,
        F::Client, true },
    ReportDef{ "Aged Receivables Report - Summary", L::AgedReceivables, false, true, D::Off,
        F::Client, false },
    ReportDef{ "Invoice Report", L::InvoiceReport, true, true, D::Keep, F::Client, true },
    ReportDef{ "Sales Tax Report", L::SalesTaxReport, true, true, D::Keep, F::QualifyingSlip,
        true },
    ReportDef{ "Payment Report", L::PaymentReport, true, true, D::Keep, F::Client, true },
    ReportDef{ "Slip Listing by Client", L::SlipsByClient, false, true, D::On, F::Client, true },
    ReportDef{ "Slip Summary by Client", L::SlipsByClient, false, true, D::Off, F::Client, true },
    ReportDef{ "Slip Listing by Activity", L::SlipsByActivity, false, true, D::On, F::Activity,
        true },
    ReportDef{ "Slip Summary by Activity", L::SlipsByActivity, false, true, D::Off, F::Activity,
        true },
    ReportDef{ "Slip Listing by Number", L::SlipsByNumber, false, true, D::Keep,
        F::QualifyingSlip, true },
    ReportDef{ "Activity Totals", L::ActivityTotals, true, true, D::Keep, F::Activity, true },
    ReportDef{ "Project Budget to Actual", L::ProjectBudget, false, true, D::Keep, F::Client,
        true },
    ReportDef{ "Time Entry Worksheet", L::Worksheet, true, false, D::Keep, F::None, false },
};

constexpr std::array<std::string_view, 5> kSlipAnalysis = { "Slip Listing by Client",
    "Slip Listing by Activity", "Slip Listing by Number", "Slip Summary by Client",
    "Slip Summary by Activity" };
constexpr std::array<std::string_view, 8> kClientReports = { "Aged Receivables Report - Detailed",
    "Aged Receivables Report - Summary", "Client Listing", "Client Labels (Avery 5161)",
    "Client Labels (Avery 5260)", "Invoice Report", "Payment Report", "Sales Tax Report" };
constexpr std::array<std::string_view, 2> kProjectReports = { "Project Listing",
    "Project Budget to Actual" };
constexpr std::array<std::string_view, 4> kMiscReports = { "Activity Listing", "Activity Totals",
    "Staff Listing", "Time Entry Worksheet" };

const std::array<Category, 4> kCategories = {
    Category{ "Slip Analysis Reports", kSlipAnalysis },
    Category{ "Client Reports & Labels", kClientReports },
    Category{ "Project Analysis Reports", kProjectReports },
    Category{ "Miscellaneous Reports", kMiscReports },
};

} // namespace

std::span<const Category> categories()
{
    return kCategories;
}

const ReportDef *findReport(std::string_view name)
{
    for (const ReportDef &def : kReports)
        if (def.name == name)
            return &def;
    return nullptr;
}

GroupState groupsFor(std::string_view report)
{
    GroupState s;
    const ReportDef *def = findReport(report);
    if (!def)
        return s;
    switch (def->layout) {
    case L::Labels:
    case L::ClientListing:
    case L::AgedReceivables:
        s.enabled = ClientRangeGroup | ClientCycleGroup;
        break;
    case L::ActivityListing:
        s.enabled = ActivityRangeGroup;
        break;
    case L::StaffListing:
        s.enabled = StaffRangeGroup;
        break;
    case L::ProjectListing:
        s.enabled = ProjectRangeGroup;
        break;
    case L::ActivityTotals:
        s.enabled = ActivityRangeGroup | ProjectRangeGroup | StaffRangeGroup | TimeSlipsGroup
            | SlipStatusGroup;
        break;
    case L::InvoiceReport:
    case L::PaymentReport:
        s.enabled = ClientRangeGroup | ClientCycleGroup | TimeSlipsGroup;
        s.dateRangeCaption = true;
        s.expenseHidden = true;
        break;
    default:
        break;
    }
    return s;
}

bool takesOptions(std::string_view report)
{
    const ReportDef *def = findReport(report);
    return !def || def->layout != L::Worksheet;
}

} // namespace reports
