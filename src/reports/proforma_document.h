#pragma once
// The proforma billing report: what a billing run would bill, before anything is finalized. For
// every client of the run's range and cycles that the proforma test lists, its billable slips
// line by line and a client total; a report total at the end. It never changes a table.
//
// A run:
//   OnBeforePrint  margins, the slip, project and activity cursors put in order, the report
//                  total cleared
//   OnPrintHeader  every page: the title band, today's date, the two heading rows
//   OnPrint        the whole body in one call, breaking pages itself
//   OnPrintFooter  every page: page number and date
//
// Cursors a run moves (the caller holds a ui::CursorScope on each and puts them back):
//   clients     tag "NAME", walked through the run's range (billing::ClientWalk)
//   slips       range cancelled, tag "SL_CLIENT", walked client by client
//   projects    tag "CLIENT_COD", positioned on the project of a slip
//   activities  tag "ACTIVITY", positioned on the activity of a slip
// invoices (previous balances) and setup (PRINTPREVB) are only read.
#include <string>
#include <vector>

#include <QDate>
#include <QHash>
#include <QString>

#include "billing/billing_rules.h"
#include "report_engine/base_report.h"
#include "reports/statement_document.h"

namespace platform {
class Clock;
}

namespace reports {

// The proforma test of one client, which differs from the billing run's on purpose: the slips'
// total must be above zero and, with the previous balance, above (not at) the minimum bill;
// "Previous Balance Accounts" plays no part.
struct ProformaQualification
{
    bool listed = false;
    platform::Cents total; // SL_TOTAL of the billable slips
    platform::Cents tax; // SL_TAXAMT of the billable slips that are taxable
    platform::Cents previousBalance; // 0 unless previous balances are printed
};

// Qualifies the client under the client dataset; leaves the slip dataset after its last slip.
ProformaQualification proformaQualify(
    billing::Selection &selection, ui::Dataset &clients, ui::Dataset &slips);

class ProformaDocument
{
public:
    // `font` is the report font's face name.
    ProformaDocument(StatementTables tables, const billing::RunParameters &parameters,
        std::string font, const platform::Clock &clock);
    ~ProformaDocument();
    ProformaDocument(const ProformaDocument &) = delete;
    ProformaDocument &operator=(const ProformaDocument &) = delete;

    // Sets OnBeforePrint, OnPrintHeader, OnPrint and OnPrintFooter.
    void attach(report::TBaseReport &r);

    // The clients listed by the last run, in print order (trimmed NAME).
    const std::vector<QString> &listed() const { return m_listed; }
    platform::Cents reportTotal() const { return m_reportTotal; }

private:
    void beforePrint(report::TBaseReport &r);
    void printHeader(report::TBaseReport &r);
    void print(report::TBaseReport &r);
    void printFooter(report::TBaseReport &r);
    void printClient(
        report::TBaseReport &r, const ProformaQualification &q, billing::Selection &selection);
    void printSlip(report::TBaseReport &r);
    void processMessages(report::TBaseReport &r);
    QString activityText(const QString &code);
    QString projectText(const QString &client, const QString &code);

    StatementTables m_tables;
    billing::RunParameters m_parameters;
    std::string m_font;
    const platform::Clock &m_clock;
    QDate m_today;
    platform::Cents m_reportTotal;
    std::vector<QString> m_listed;
    QHash<QString, QString> m_activities; // code -> DESC (or the code when it is missing)
};

} // namespace reports
