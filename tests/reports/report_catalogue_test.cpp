// The catalogue as data: categories and reports in list order, each report's wiring, and the
// groups of the options window every report enables.
#include "reports/report_catalogue.h"
#include <gtest/gtest.h>

using namespace reports;

TEST(ReportCatalogue, CategoriesAndReportsInListOrder)
{
    const auto cats = categories();
    ASSERT_EQ(cats.size(), 4u);
    const std::vector<std::vector<std::string_view>> expected = {
        { "Slip Listing by Client", "Slip Listing by Activity", "Slip Listing by Number",
            "Slip Summary by Client", "Slip Summary by Activity" },
        { "Aged Receivables Report - Detailed", "Aged Receivables Report - Summary",
            "Client Listing", "Client Labels (Avery 5161)", "Client Labels (Avery 5260)",
            "Invoice Report", "Payment Report", "Sales Tax Report" },
        { "Project Listing", "Project Budget to Actual" },
        { "Activity Listing", "Activity Totals", "Staff Listing", "Time Entry Worksheet" },
    };
    const char *names[] = { "Slip Analysis Reports", "Client Reports & Labels",
        "Project Analysis Reports", "Miscellaneous Reports" };
    for (std::size_t i = 0; i < cats.size(); ++i) {
        EXPECT_EQ(cats[i].name, names[i]);
        EXPECT_EQ(std::vector<std::string_view>(cats[i].reports.begin(), cats[i].reports.end()),
            expected[i]);
        for (std::string_view r : cats[i].reports)
            EXPECT_NE(findReport(r), nullptr) << r;
    }
    EXPECT_EQ(findReport("Client listing"), nullptr);
}

TEST(ReportCatalogue, GroupsEnabledPerReport)
{
    constexpr int client = ClientRangeGroup | ClientCycleGroup;
    const struct
    {
        const char *report;
        int enabled;
        bool dateRange;
    } cases[] = {
        { "Client Labels (Avery 5161)", client, false },
        { "Client Labels (Avery 5260)", client, false },
        { "Client Listing", client, false },
        { "Aged Receivables Report - Detailed", client, false },
        { "Aged Receivables Report - Summary", client, false },
        { "Activity Listing", ActivityRangeGroup, false },
        { "Staff Listing", StaffRangeGroup, false },
        { "Project Listing", ProjectRangeGroup, false },
        { "Activity Totals",
            ActivityRangeGroup | ProjectRangeGroup | StaffRangeGroup | TimeSlipsGroup
                | SlipStatusGroup,
            false },
        { "Invoice Report", client | TimeSlipsGroup, true },
        { "Payment Report", client | TimeSlipsGroup, true },
        { "Sales Tax Report", AllGroups, false },
        { "Slip Listing by Client", AllGroups, false },
        { "Slip Listing by Activity", AllGroups, false },
        { "Slip Listing by Number", AllGroups, false },
        { "Slip Summary by Client", AllGroups, false },
        { "Slip Summary by Activity", AllGroups, false },
        { "Project Budget to Actual", AllGroups, false },
        { "Time Entry Worksheet", AllGroups, false },
    };
    int covered = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.report);
        const GroupState s = groupsFor(c.report);
        EXPECT_EQ(s.enabled, c.enabled);
        EXPECT_EQ(s.dateRangeCaption, c.dateRange);
        EXPECT_EQ(s.expenseHidden, c.dateRange);
        ++covered;
    }
    std::size_t all = 0;
    for (const Category &cat : categories())
        all += cat.reports.size();
    EXPECT_EQ(std::size_t(covered), all);
    EXPECT_FALSE(takesOptions("Time Entry Worksheet"));
    EXPECT_TRUE(takesOptions("Activity Totals"));
}

TEST(ReportCatalogue, Wiring)
{
    const struct
    {
        const char *report;
        bool page, header;
        DetailedFlag detailed;
        FirstPositioning first;
        bool csv;
    } cases[] = {
        { "Client Labels (Avery 5161)", true, false, DetailedFlag::Keep, FirstPositioning::Client,
            false },
        { "Client Listing", true, true, DetailedFlag::Keep, FirstPositioning::Client, true },
        { "Activity Listing", true, true, DetailedFlag::Keep, FirstPositioning::Activity, true },
        { "Staff Listing", true, true, DetailedFlag::Keep, FirstPositioning::Staff, true },
        { "Project Listing", true, true, DetailedFlag::Keep, FirstPositioning::Project, true },
        { "Aged Receivables Report - Summary", false, true, DetailedFlag::Off,
            FirstPositioning::Client, false },
        { "Slip Listing by Client", false, true, DetailedFlag::On, FirstPositioning::Client,
            true },
        { "Sales Tax Report", true, true, DetailedFlag::Keep, FirstPositioning::QualifyingSlip,
            true },
        { "Project Budget to Actual", false, true, DetailedFlag::Keep, FirstPositioning::Client,
            true },
        { "Time Entry Worksheet", true, false, DetailedFlag::Keep, FirstPositioning::None, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.report);
        const ReportDef *d = findReport(c.report);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->pageHandler, c.page);
        EXPECT_EQ(d->commonHeader, c.header);
        EXPECT_EQ(d->detailed, c.detailed);
        EXPECT_EQ(d->first, c.first);
        EXPECT_EQ(d->csv, c.csv);
    }
}
