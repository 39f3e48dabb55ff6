#pragma once
// "Project Budget to Actual": each project's estimated hours and billings beside the actual ones
// kept on the project record, grouped by client in the client selection's name order, with
// client and report totals. Days Over is how many days a finished project ran past its
// estimated date (negative: finished early).
//
// The projects are read once per run, in PJ_CLIENT order, through a reader of the project
// cursor's own, so the run neither moves the cursor nor seeks per client.
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <QDate>

#include "platform/money.h"
#include "reports/record_walk.h"
#include "reports/report_layout.h"

namespace reports {

// One project as the report shows it.
struct BudgetLine
{
    std::string description; // PJ_DESC
    bool completed = false; // PJ_DONEDT holds a date
    double estimatedHours = 0, actualHours = 0; // PJ_ESTHOUR, PJ_TOTHOUR
    platform::Cents estimatedBillings, actualBillings; // PJ_ESTCOST, PJ_TOTCHG
    long long daysOver = 0; // PJ_DONEDT - PJ_ESTDATE when both are set, else 0

    double hoursVariance() const { return actualHours - estimatedHours; }
    platform::Cents billingsVariance() const { return actualBillings - estimatedBillings; }
    static BudgetLine from(const QString &description, const QDate &estimated, const QDate &done,
        double estimatedHours, double actualHours, double estimatedCost, double actualCost);
};

// The five sums of a client and of the report (the variances are not summed).
struct BudgetSums
{
    double estimatedHours = 0, actualHours = 0;
    platform::Cents estimatedBillings, actualBillings;
    long long daysOver = 0;

    void add(const BudgetLine &line);
    void add(const BudgetSums &sums);
};

class ProjectBudgetLayout : public ReportLayout
{
public:
    using ReportLayout::ReportLayout;

    bool position() override;
    void printHeading(report::TBaseReport &r) override;
    void print(report::TBaseReport &r) override;
    bool writeCsv(std::ostream &out) override;

private:
    void readProjects();
    // The projects of the client the walk stands on (within the project range), or nullptr.
    const std::vector<BudgetLine> *clientProjects() const;
    void printTotal(report::TBaseReport &r, const char *label, const BudgetSums &sums);

    std::optional<RecordWalk> m_walk;
    bool m_found = false;
    std::map<std::string, std::vector<BudgetLine>> m_projects; // by client number
};

} // namespace reports
