#pragma once
// The report catalogue as data: its four categories and their reports in list order, how each
// report is laid out and wired onto the report engine, and which groups of the options window
// it uses. No Qt: the catalogue window, the options window and the print run only ask it.
#include <span>
#include <string>
#include <string_view>

namespace reports {

enum class Layout {
    Labels,
    ClientListing,
    ActivityListing,
    StaffListing,
    ProjectListing,
    AgedReceivables,
    InvoiceReport,
    PaymentReport,
    SalesTaxReport,
    SlipsByClient,
    SlipsByActivity,
    SlipsByNumber,
    ActivityTotals,
    ProjectBudget,
    Worksheet,
};

// Where OnBeforePrint puts the data before the first page.
enum class FirstPositioning { None, Client, Activity, Staff, Project, QualifyingSlip };

// What the print run does with the options window's hidden Detailed flag.
enum class DetailedFlag { Keep, On, Off };

struct ReportDef
{
    std::string_view name; // also the title printed on every page
    Layout layout;
    bool pageHandler; // OnPrintPage (one page per call); false: OnPrint lays out the whole report
    bool commonHeader; // the common page header and footer; false: neither (labels, worksheet)
    DetailedFlag detailed;
    FirstPositioning first;
    bool csv; // table-shaped: "Save as CSV" writes its printed rows
};

struct Category
{
    std::string_view name;
    std::span<const std::string_view> reports;
};

std::span<const Category> categories();
// The report of that name (compared exactly), or nullptr.
const ReportDef *findReport(std::string_view name);

// Groups of the options window, as bits.
enum OptionGroup : int {
    ClientRangeGroup = 1, // with "&Include Inactives"
    ClientCycleGroup = 2,
    ActivityRangeGroup = 4,
    ProjectRangeGroup = 8,
    StaffRangeGroup = 16,
    TimeSlipsGroup = 32, // the two date pickers (and "Include Expense Slips" when shown)
    SlipStatusGroup = 64,
    AllGroups = 127,
};

struct GroupState
{
    int enabled = AllGroups;
    bool dateRangeCaption = false; // "Date Range" instead of "&Time Slips"
    bool expenseHidden = false; // "Include Expense Slips" hidden
};

// The groups a report uses; an unknown name uses them all.
GroupState groupsFor(std::string_view report);

// Whether the catalogue's "&Options" button is offered for the report.
bool takesOptions(std::string_view report);

} // namespace reports
