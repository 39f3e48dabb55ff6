#pragma once
// The receivables reports: aged receivables (detailed: one line per open statement under its
// client, with a ruled client total; summary: one line per client), the invoice and payment
// reports (per client, its statements or payments dated within the date range, with group and
// report totals) and the sales tax report (one row of sums over the qualifying slips).
//
// Every amount is summed in cents, and the aging of a statement is the billing module's rule
// (the one behind the main window's aging boxes), with the run's date. Statements, payments and
// slips are read through readers of their own: the main window's cursors, whatever client or
// range they stand on, neither steer nor slow a run. Nothing prints below the print area: every
// row, group line and total block checks the lines left first, and a group broken by a page
// begins the new page with its group line again.
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "billing/aging_rules.h"
#include "reports/record_walk.h"
#include "reports/report_layout.h"

namespace ui {
class DataCursor;
}

namespace reports {

using platform::Cents;

// One cell's text on a row of tab cells.
struct RowCell
{
    std::string text;
    bool bold = false;
    bool whole = false; // a totals label: printed whole, never cut
};

// Prints `cells` into the tab cells `columns` from the current tab cursor. A value longer than
// its cell is cut where the next cell that prints text begins (left text may run on over empty
// cells, to the end of the last cell); right and centred text keep to their own cell. `lead`, when
// given, is printed first at the area's left edge, before the first cell (the group total
// labels): its `keep` end ("Total:") always prints whole, the rest is cut to leave room for it.
void emitCells(report::TBaseReport &r, std::span<const Column> columns,
    const std::vector<RowCell> &cells, bool endLine, const std::string &lead = {},
    const std::string &keep = {});

// A client of the client selection as the receivables reports print it.
struct ClientFacts
{
    QString number;
    std::string name; // as stored, blanks trimmed
    std::string phone;
};

// Aged receivables, detailed or summary by the options' Detailed flag.
class AgedReceivables : public ReportLayout
{
public:
    using ReportLayout::ReportLayout;
    bool position() override;
    // "Age figured as of" the run's day and the two heading rows, on every page.
    void printHeading(report::TBaseReport &r) override;
    void print(report::TBaseReport &r) override;
    bool writeCsv(std::ostream &out) override;

    // One open statement of a client.
    struct Statement
    {
        double number;
        QDate date, due;
        billing::Aging aging;
    };
    // The client's statements with a balance, in the order of its statements, and their sum.
    struct ClientAging
    {
        ClientFacts client;
        std::vector<Statement> statements;
        billing::Aging sums;
    };

private:
    // The next selected client with a balance (or the first one after position()).
    std::optional<ClientAging> nextClient();
    void nameLine(report::TBaseReport &r, const ClientFacts &c, bool advance);

    std::optional<RecordWalk> m_walk;
    std::unique_ptr<ui::DataCursor> m_statements;
    bool m_found = false;
    bool m_started = false;
};

// The invoice and payment reports: groups of rows per client under the column heading block.
class ClientGroupReport : public ReportLayout
{
public:
    using ReportLayout::ReportLayout;
    bool position() override;
    bool printPage(report::TBaseReport &r) override;
    bool writeCsv(std::ostream &out) override;

    // A row: its printed cells, its plain values for CSV and the amounts its totals add.
    struct Row
    {
        std::vector<RowCell> cells;
        std::vector<std::string> plain;
        std::vector<Cents> amounts;
    };

protected:
    virtual std::span<const Column> columns() const = 0;
    virtual std::vector<std::string> titles() const = 0;
    // Where the group total line's rule runs.
    virtual std::pair<double, double> totalRule() const = 0;
    // The reader of the rows (statements or payments), its client tag set.
    virtual std::unique_ptr<ui::DataCursor> rowReader() const = 0;
    // The row under the reader, or nothing when it is dated outside the range.
    virtual std::optional<Row> row(const ui::DataCursor &reader) const = 0;
    // The cells of a total line for these sums (the label cells included for report totals).
    virtual std::vector<RowCell> totalCells(const std::vector<Cents> &sums, bool report) const = 0;

private:
    enum class Stage { Group, GroupLine, Rows, GroupTotal, ReportTotal, Done };
    bool loadGroup();
    void groupLine(report::TBaseReport &r);
    void totalLine(report::TBaseReport &r, const std::vector<Cents> &sums, bool report);
    static void addTo(std::vector<Cents> &sums, const std::vector<Cents> &amounts);

    std::optional<RecordWalk> m_walk;
    std::unique_ptr<ui::DataCursor> m_reader;
    bool m_found = false;
    bool m_walkStarted = false;
    Stage m_stage = Stage::Group;
    ClientFacts m_client;
    std::vector<Row> m_rows;
    std::size_t m_next = 0;
    std::vector<Cents> m_groupSums, m_reportSums;
};

class InvoiceReport : public ClientGroupReport
{
public:
    using ClientGroupReport::ClientGroupReport;

protected:
    std::span<const Column> columns() const override;
    std::vector<std::string> titles() const override;
    std::pair<double, double> totalRule() const override { return { 3.0, 7.95 }; }
    std::unique_ptr<ui::DataCursor> rowReader() const override;
    std::optional<Row> row(const ui::DataCursor &reader) const override;
    std::vector<RowCell> totalCells(const std::vector<Cents> &sums, bool report) const override;
};

class PaymentReport : public ClientGroupReport
{
public:
    using ClientGroupReport::ClientGroupReport;

protected:
    std::span<const Column> columns() const override;
    std::vector<std::string> titles() const override;
    std::pair<double, double> totalRule() const override { return { 6.0, 7.45 }; }
    std::unique_ptr<ui::DataCursor> rowReader() const override;
    std::optional<Row> row(const ui::DataCursor &reader) const override;
    std::vector<RowCell> totalCells(const std::vector<Cents> &sums, bool report) const override;
};

// The four sums of the sales tax report.
struct SalesTaxSums
{
    Cents tax, total, taxable, nonTaxable;
};

class SalesTaxReport : public ReportLayout
{
public:
    using ReportLayout::ReportLayout;
    bool position() override;
    bool printPage(report::TBaseReport &r) override;
    bool writeCsv(std::ostream &out) override;

private:
    SalesTaxSums m_sums;
    bool m_found = false;
};

} // namespace reports
