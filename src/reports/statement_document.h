#pragma once
// The billing statement: the report-engine handlers of a billing run (one statement per
// qualifying client, each starting on a new page) and of the test statement (one statement with
// fixed sample contents, laid out with the setup options as they stand).
//
// A run:
//   OnBeforePrint  settings read (TWSETUP where its cursor stands, TARNW.INI [Invoice], NEXTINV),
//                  margins, the message memo; billing mode puts the cursors in order and finds
//                  the first qualifying client (none: an information message, then the run
//                  cancels itself at its first page event)
//   OnNewPage      the detail area bottom; cancels a run with nothing to print
//   OnPrintHeader  every page: boxes or rules, company block, client block, labels, headings
//   OnPrintPage    one whole statement per call, breaking pages itself; true while another
//                  statement follows
//   OnPrintFooter  the totals area, printed once per statement on its last page
//
// Cursors a billing run moves (the caller holds a ui::CursorScope on each and puts them back):
//   clients     tag "NAME", walked through the run's range
//   slips       range cancelled, tag of the statement's slip order, walked client by client
//   projects    tag "CLIENT_COD", positioned on a subtotal's project
//   activities  tag "ACTIVITY", positioned on each activity at its first slip of the run
// invoices (previous balances, the highest number on file), setup and track are only read. The test statement moves no cursor: it reads the
// setup record as it stands (in edit: the values on screen) and the terms of the client under
// the client cursor.
#include <memory>
#include <optional>
#include <vector>

#include <QDate>
#include <QHash>
#include <QString>

#include "billing/billing_rules.h"
#include "report_engine/base_report.h"
#include "report_engine/memo_buf.h"

namespace platform {
class Clock;
class IniFile;
}
namespace ui {
class Dataset;
class Messages;
}

namespace reports {

// The main window's cursors a statement run reads.
struct StatementTables
{
    ui::Dataset &clients; // TWCLIENT
    ui::Dataset &slips; // TWSLIP
    ui::Dataset &invoices; // TWINVOIC
    ui::Dataset &projects; // TWPROJCT
    ui::Dataset &activities; // TWACT
    ui::Dataset &setup; // TWSETUP
    ui::Dataset &track; // TWTRACK
};

// The statement's layout switches and texts, from the setup record and the settings file.
struct StatementLayout
{
    bool graphic = false; // PRINTGRAPH
    bool shade = false; // PRINTSHADE (with boxes only)
    bool head = false; // PRINTHEAD
    bool box = false; // PRINTBOX
    bool hours = false; // PRINTHOURS
    bool rate = false; // PRINTRATE
    bool desc = false; // PRINTDESC
    bool previousBalance = false; // PRINTPREVB
    bool subProject = false; // SUBPROJ
    bool subActivity = false; // SUBACT
    QString slipTag = QStringLiteral("SL_CLIENT"); // from INVSORT
    std::string font = "Times New Roman"; // INVFONT
    double startTotal = 9.5; // STARTTOTAL, 9.5 outside 1..15
    std::string message; // INVMESS1
    QString terms; // PTERMS
    QString companyName, companyAddress1, companyAddress2, companyCity, companyState,
        companyZip, companyPhone;
    // TARNW.INI [Invoice]
    double detailStart = 3.1;
    double clientAddressH = 0.7;
    double clientAddressV = 2.1;
    QString billingStatementLabel = QStringLiteral("Billing Statement:");
    QString servicesThroughLabel = QStringLiteral("Services Through:");
    QString subtotalLabel = QStringLiteral("Subtotal");
    QString previousBalanceLabel = QStringLiteral("Previous Balance");
    QString taxLabel = QStringLiteral("Tax");
    QString totalDueLabel = QStringLiteral("Total Due");
    bool printTaxDetail = true;

    double hoursAllowance() const { return hours ? 0.0 : 0.9; } // H
    double rateAllowance() const { return rate ? 0.0 : 0.9; } // R

    static StatementLayout read(ui::Dataset &setup, const platform::IniFile &settings);
};

// "Dallas, TX 75244": trimmed city + ", " + trimmed state + " " + zip, cut to 50 characters;
// empty when there is none of them. A zip ending in "-" loses it.
QString cityLine(const QString &city, const QString &state, const QString &zip);

class StatementDocument
{
public:
    // A billing run over the parameters of the billing window.
    StatementDocument(StatementTables tables, const billing::RunParameters &parameters,
        const platform::IniFile &settings, const platform::Clock &clock, ui::Messages &messages);
    // The test statement.
    struct Sample
    {
    };
    StatementDocument(StatementTables tables, Sample, const platform::IniFile &settings,
        const platform::Clock &clock, ui::Messages &messages);
    ~StatementDocument();
    StatementDocument(const StatementDocument &) = delete;
    StatementDocument &operator=(const StatementDocument &) = delete;

    // Sets OnBeforePrint, OnNewPage, OnPrintHeader, OnPrintPage and OnPrintFooter.
    void attach(report::TBaseReport &r);

    bool sample() const { return m_sample; }
    // No client qualified: the message was shown and the run cancelled itself.
    bool nothingToPrint() const { return m_nothingToPrint; }
    // What was printed, statement by statement (complete statements only; empty in sample
    // mode). The window hands it to finalization.
    const billing::BillingPlan &plan() const { return m_plan; }
    const StatementLayout &layout() const { return m_layout; }

private:
    // An activity as the statement prints it, read once per run.
    struct Activity
    {
        bool found = false;
        QString description; // DESC, or the code when the activity is missing
        double taxRate = 0;
    };
    // Field numbers of the slip fields read for every slip.
    struct SlipFields
    {
        int client = -1, activity = -1, project = -1, date = -1, hours = -1, rate = -1,
            total = -1, taxable = -1, taxAmount = -1, description = -1;
    };

    struct Group
    {
        QString code;
        double hours = 0;
        platform::Cents amount;
        QString description; // activity: of the group's last slip
        bool hasAmount() const;
        void clear();
    };

    void beforePrint(report::TBaseReport &r);
    void newPage(report::TBaseReport &r);
    void printHeader(report::TBaseReport &r);
    bool printPage(report::TBaseReport &r);
    void printFooter(report::TBaseReport &r);

    void prepareCursors();
    bool firstClient();
    bool nextClient();
    bool takeClientIfQualifies();
    void beginStatement(const billing::Qualification &q);

    void detailSetup(report::TBaseReport &r, bool continuation);
    void pageBreak(report::TBaseReport &r);
    void printSlip(report::TBaseReport &r);
    void printDescription(report::TBaseReport &r);
    void printSampleLine(report::TBaseReport &r);
    void printSubtotal(report::TBaseReport &r, Group &group, bool project, const QString &next);
    void closeGroups(report::TBaseReport &r, const QString &nextActivity,
        const QString &nextProject, bool end);
    const Activity &activity(const QString &code);
    QString slipText(int field) const;
    QString termsLine() const;
    QString clientNumber() const;

    StatementTables m_tables;
    billing::RunParameters m_parameters;
    const platform::IniFile &m_settings;
    const platform::Clock &m_clock;
    ui::Messages &m_messages;
    bool m_sample = false;

    StatementLayout m_layout;
    QDate m_today;
    std::unique_ptr<billing::Selection> m_selection;
    std::unique_ptr<billing::ClientWalk> m_walk;
    report::TBaseReport *m_report = nullptr;

    SlipFields m_slipFields;
    QHash<QString, Activity> m_activityCache;

    report::TDBMemoBuf m_message;
    report::TDBMemoBuf m_description;

    std::int64_t m_number = 0;
    platform::Cents m_subtotal;
    platform::Cents m_tax;
    platform::Cents m_previousBalance;
    Group m_project;
    Group m_activity;
    bool m_nothingToPrint = false;
    bool m_footerDone = false;
    bool m_detailOnPage = false;
    billing::PrintedStatement m_statement; // the statement being printed
    billing::BillingPlan m_plan;
};

} // namespace reports
