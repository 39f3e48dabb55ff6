#pragma once
// A catalogue report's layout: a small class of report-engine handlers. The print job (see
// report_job.h) applies the common settings, then asks the layout to position its data, and
// wires its page handler (one page per call) or its whole-report handler, with the common page
// header and footer around it unless the report has none.
#include <deque>
#include <memory>
#include <ostream>
#include <string>

#include "report_engine/base_report.h"
#include "reports/report_catalogue.h"
#include "reports/report_frame.h"
#include "reports/selection_rules.h"
#include "ui/cursor_scope.h"

namespace ui {
class Dataset;
}

namespace reports {

// The main window's cursors a report reads. They are borrowed for the run: the print job puts
// each back as it stood.
struct ReportData
{
    ui::Dataset &clients; // ClientTable, TWCLIENT
    ui::Dataset &slips; // SlipTable, TWSLIP
    ui::Dataset &projects; // ProjectTable, TWPROJCT
    ui::Dataset &invoices; // InvoiceTable, TWINVOIC
    ui::Dataset &payments; // PaymentTable, TWPMT (detail of InvoiceTable)
    ui::Dataset &activities; // ActivityTable1, TWACT
    ui::Dataset &staff; // EMPLOYEETABLE, TWEMPLOY
    ui::Dataset &setup; // SetupTable, TWSETUP
};

// Everything a layout reads during one run. The options are the options window's live values.
struct ReportContext
{
    ReportContext(ReportData d, const SelectionOptions &o)
        : data(d)
        , options(o)
        , rules(o)
    {
    }

    ReportData data;
    const SelectionOptions &options;
    SelectionRules rules;
    FrameTexts texts;
    DayNumber today = 0;
};

class ReportLayout
{
public:
    explicit ReportLayout(ReportContext &context) : m_context(context) {}
    virtual ~ReportLayout() = default;
    ReportLayout(const ReportLayout &) = delete;
    ReportLayout &operator=(const ReportLayout &) = delete;

    // OnBeforePrint, after the common settings: puts the data on its first record. Returns
    // whether it found any; a layout that found none prints only its header and footer.
    virtual bool position() = 0;
    // OnPrintPage: fills one page; true when another page follows.
    virtual bool printPage(report::TBaseReport &r);
    // OnPrint: lays out the whole report, breaking pages itself.
    virtual void print(report::TBaseReport &r);
    // The report's own heading under the common page header, on every page (a report without
    // the common frame gets no call).
    virtual void printHeading(report::TBaseReport &r);
    // "Save as CSV" of a table-shaped report: every row it prints, the column titles first, as
    // RFC 4180 CSV in UTF-8 (see csv_writer.h). False when the report has no table shape. Runs
    // after position(), with the cursors borrowed as for printing.
    virtual bool writeCsv(std::ostream &out);

protected:
    ReportContext &m_context;
};

// The main window's cursors borrowed for a run or a CSV export: displays held, the payments
// detached from their statements, the tags the layouts expect (statements on "INV_CLIENT",
// projects on "PJ_CODE", clients on "NAME"). restore() puts every cursor back as it stood, the
// last borrowed first; the destructor puts back what restore() has not.
class BorrowedCursors
{
public:
    explicit BorrowedCursors(ReportData &data);
    void restore();

private:
    std::deque<ui::CursorScope> m_scopes;
};

// The layout of a report of the catalogue.
std::unique_ptr<ReportLayout> makeLayout(const ReportDef &def, ReportContext &context);

// Until a report's own layout is built: the page with its common header and a line saying so.
class NotYetAvailableLayout : public ReportLayout
{
public:
    using ReportLayout::ReportLayout;
    bool position() override { return true; }
    bool printPage(report::TBaseReport &r) override;
    void print(report::TBaseReport &r) override { printPage(r); }
};

// The longest start of `text` that fits in `width` inches in the report's current font.
std::string clipToWidth(report::TBaseReport &r, const std::string &text, double width);

} // namespace reports
