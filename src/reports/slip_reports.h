#pragma once
// The slip analysis reports: the qualifying slips listed (one row per slip) or summed (one line
// per group) by client or by activity, every qualifying slip in slip number order, and the
// activity totals (the sum of each activity's slip totals, tax left out).
//
// Slips are read through a reader of their own over the slip table, in the order of the tag
// each report walks, whatever range or record the main window's slip cursor stands on; the
// field numbers are looked up once per run. Every sum is in cents (hours as read). Nothing
// prints below the print area: a slip row leaves at least one line for what follows, and a
// total block (group total, report totals) checks the lines it needs first and starts a new
// page when they are not there. A new page repeats the page heading, not the group line.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include <QDate>
#include <QString>

#include "platform/money.h"
#include "reports/record_walk.h"
#include "reports/report_layout.h"

namespace ui {
class DataCursor;
}

namespace reports {

using platform::Cents;

// One slip as the slip reports print it.
struct SlipLine
{
    std::int64_t number = 0; // SL_NUMBER
    QDate date; // SL_DATEBEG
    std::string client, activity, project, staff; // as stored, blanks trimmed
    double hours = 0;
    Cents rate, total, tax; // SL_RATE, SL_TOTAL, SL_TAXAMT
    bool expense = false; // SL_EXPAMT not 0
    int billed = 0, done = 0;

    // "Expense" or "Billing".
    const char *type() const { return expense ? "Expense" : "Billing"; }
    // "Billed" wins over "Completed", which wins over "Pending".
    const char *status() const;
    // The slip's total with its tax.
    Cents lineTotal() const { return total + tax; }
};

// Hours, tax and line totals of a group or of a report.
struct SlipSums
{
    double hours = 0;
    Cents tax, total;

    void add(const SlipLine &s)
    {
        hours += s.hours;
        tax += s.tax;
        total += s.lineTotal();
    }
    SlipSums &operator+=(const SlipSums &o)
    {
        hours += o.hours;
        tax += o.tax;
        total += o.total;
        return *this;
    }
};

// The qualifying slips of one key of a tag (a client's, an activity's) or of the whole table,
// read through a reader of the slip cursor's table that neither moves nor is steered by it.
class SlipReader
{
public:
    SlipReader(const ui::Dataset &slips, const SelectionRules &rules, const QString &tag);
    ~SlipReader();

    // The first qualifying slip whose key is `key`; false when there is none.
    bool first(const QString &key);
    // The first qualifying slip of the table in the tag's order.
    bool firstOfAll();
    // The next qualifying slip; false at the end of the key (or the table).
    bool next();
    const SlipLine &slip() const { return m_slip; }

private:
    bool settle();

    const SelectionRules &m_rules;
    std::unique_ptr<ui::DataCursor> m_reader;
    SlipFacts m_facts;
    SlipLine m_slip;
    std::size_t m_number, m_client, m_project, m_activity, m_staff, m_dateBegin, m_dateEnd, m_hours,
        m_rate, m_total, m_expense, m_tax, m_done, m_billed;
};

// A row of tab cells following on from the area's left edge, and how a row of texts goes into
// them. A left-justified text may run on up to where the next text begins (the start of a left
// cell, the left end of a right-justified or centred text, and never past the next printed
// cell's start; the end of the last cell when nothing follows); a right-justified one may run
// left over empty cells up to what was printed before it; longer texts are cut there. Texts marked
// whole (totals labels) are never cut. Right-justified texts lose their leading blanks first.
class CellRow
{
public:
    // Requires: at most 16 columns.
    explicit CellRow(std::span<const Column> columns);
    // Clears the tab cells and sets these.
    void set(report::TBaseReport &r) const;
    // Prints texts[i] into cell i from the first cell; `wholeMask` bit i keeps text i whole.
    void emitRow(report::TBaseReport &r, std::span<const std::string> texts, unsigned wholeMask,
        bool endLine) const;

private:
    std::vector<Column> m_columns;
    std::vector<double> m_starts;
    double m_end = 0;
};

// "Slip Listing by Client", "Slip Summary by Client", "Slip Listing by Activity", "Slip Summary
// by Activity" and "Slip Listing by Number" (detailed, no groups).
class SlipAnalysis : public ReportLayout
{
public:
    enum class Grouping { Client, Activity, None };
    // Without grouping the listing is always detailed.
    SlipAnalysis(ReportContext &context, Grouping grouping, bool detailed);

    bool position() override;
    void printHeading(report::TBaseReport &r) override;
    void print(report::TBaseReport &r) override;
    bool writeCsv(std::ostream &out) override;

private:
    struct GroupTexts
    {
        QString key;
        std::string code, name; // client: NAME and NUMBER; activity: ACTIVITY and DESC
    };

    GroupTexts groupTexts() const;
    std::vector<std::string> groupTitles() const;
    std::string totalLabel() const;
    std::array<std::string, 11> rowTexts(const SlipLine &s) const;
    void groupLine(report::TBaseReport &r, const GroupTexts &g);
    void groupTotal(report::TBaseReport &r, const SlipSums &sums);
    void reportTotals(report::TBaseReport &r, const SlipSums &sums);

    Grouping m_grouping;
    bool m_detailed;
    CellRow m_slipCells;
    CellRow m_groupCells;
    std::optional<RecordWalk> m_walk;
    std::unique_ptr<SlipReader> m_slips;
    bool m_found = false;
};

// "Activity Totals": per activity of the range the sum of its qualifying slips' totals (tax
// not included), when above 0, and the report total once after the last activity.
class ActivityTotals : public ReportLayout
{
public:
    using ReportLayout::ReportLayout;

    bool position() override;
    bool printPage(report::TBaseReport &r) override;
    bool writeCsv(std::ostream &out) override;

private:
    // The sum of the current activity's qualifying slip totals.
    Cents activitySum();

    std::optional<RecordWalk> m_walk;
    std::unique_ptr<SlipReader> m_slips;
    Cents m_reportTotal;
    bool m_found = false;
};

} // namespace reports
