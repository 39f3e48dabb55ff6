#pragma once
// The billing run's rules, shared by the statement document (print half), finalization, the
// proforma report and the billing window. No widgets here.
//
// Data flow of a run:
//   billing window --RunParameters--> statement document (walks the clients with ClientWalk and
//   Selection, prints each qualifying client, records what it printed in a BillingPlan)
//   --BillingPlan--> Finalizer (posts exactly what was printed, client by client, whole or not at
//   all, through a journal) --FinalizeResult--> billing window (error listing, "Process
//   complete.").
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QDate>
#include <QString>
#include <QStringList>

#include "dbf/field.h"
#include "platform/money.h"

namespace platform {
class Clock;
}
namespace ui {
class DataCursor;
class Dataset;
} // namespace ui

namespace billing {

using platform::Cents;

// What the billing window's boxes hold for one run.
struct RunParameters
{
    QString beginName; // "Begin": the first client's NAME
    QString endName; // "End": every client whose NAME (trailing blanks removed) is <= this
    int lowCycle = 1;
    int highCycle = 10;
    QDate dateFrom; // resolved: never null (blank box = today - 3650 days)
    QDate dateTo; // resolved: never null (blank box = today + 3650 days)
    bool dateToGiven = false; // the "To" box was filled (the statement's services-through date)
    int minimumBill = 5;
    bool previousBalanceOnly = false;
    bool printPreviousBalance = false; // setup PRINTPREVB = "Y"
};

// The two "Time Slip Dates" boxes (mask "!99/99/99", two-digit years: 50-99 are 1950-1999,
// 00-49 are 2000-2049) turned into a date range over the clock's today. A blank box
// ("  /  /  " or empty) gives today -/+ 3650 days; an incomplete or impossible date gives
// nullopt and the message to show in *error.
struct SlipDates
{
    QDate from;
    QDate to;
    bool toGiven = false;
};
std::optional<SlipDates> resolveSlipDates(
    const QString &fromText, const QString &toText, const platform::Clock &clock, QString *error);

// Days until a statement is due: the trailing digits of the trimmed terms ("Net 30" 30,
// "Net 120" 120, "Net 7" 7, "Due on Receipt" 0).
int dueDays(const QString &terms);
QDate dueDate(const QDate &runDate, const QString &terms);

// One slip as it was printed on a statement.
struct PrintedSlip
{
    dbf::RecNo recNo = 0;
    double number = 0; // SL_NUMBER
    Cents total; // SL_TOTAL
    Cents taxAmount; // SL_TAXAMT as stored
    bool taxable = false; // SL_TAXABLE = "Y"
    double hours = 0;
    QString project; // SL_PROJECT, trimmed
    QDate date; // SL_DATEBEG
};

// One printed statement: the client, the number printed on it and its slips.
struct PrintedStatement
{
    QString clientNumber;
    QString clientName; // trimmed NAME
    std::int64_t invoiceNumber = 0;
    Cents previousBalance;
    std::vector<PrintedSlip> slips;

    Cents subtotal() const; // sum of the slips' totals
    Cents tax() const; // sum of the taxable slips' tax amounts
    Cents invoiceTotal() const { return subtotal() + tax(); } // what INV_TOTAL gets
};

// What the print half printed, in print order. Empty when nothing was printed.
struct BillingPlan
{
    RunParameters parameters;
    QDate runDate;
    std::vector<PrintedStatement> statements;

    std::int64_t highestNumber() const; // 0 when nothing was printed
};

// Qualification of one client.
struct Qualification
{
    bool qualifies = false;
    bool sawBillable = false;
    Cents billable; // sum of SL_TOTAL of the billable slips (no tax)
    Cents previousBalance; // 0 unless previous balances are printed
};

// The selection rules over the main window's datasets. The slip dataset may stand on any of the
// slip tags whose key begins with SL_CLIENT (the statement's slip orders); the invoice dataset is
// used on its "Inv_Client" tag for previous balances.
class Selection
{
public:
    Selection(const RunParameters &parameters, ui::Dataset &clients, ui::Dataset &slips,
        ui::Dataset &invoices);
    ~Selection();
    Selection(const Selection &) = delete;
    Selection &operator=(const Selection &) = delete;

    const RunParameters &parameters() const { return m_parameters; }

    // The slip under the slip dataset is billable for this client number: SL_CLIENT equal,
    // SL_BILLED 0, SL_DONE 1, dateFrom <= SL_DATEBEG <= dateTo (an undated slip never is).
    bool isBillable(const QString &clientNumber) const;
    // The client under the client dataset has its CYCLE within the run's cycles.
    bool inCycle() const;
    // Sum of INV_TOTAL - INV_PAID over the client's invoices. Read through a reader of its own:
    // the invoice dataset (and the details that follow it) does not move.
    Cents previousBalance(const QString &clientNumber);
    // Qualification of the client under the client dataset; moves the slip dataset to that
    // client's first slip in its current order (and leaves it after the client's last slip).
    Qualification qualify();
    // Moves the slip dataset to the client's first slip in its current order (a range on it is
    // cancelled first). Without slips of the client it stands on another client's slip.
    void seekFirstSlip(const QString &clientNumber);
    // The billable slip under the slip dataset as it would be printed.
    PrintedSlip printedSlip() const;

private:
    RunParameters m_parameters;
    ui::Dataset &m_clients;
    ui::Dataset &m_slips;
    ui::Dataset &m_invoices;
    std::unique_ptr<ui::DataCursor> m_invoiceReader; // on "INV_CLIENT", made at first use
    int m_invoiceTotal = -1;
    int m_invoicePaid = -1;
};

// The client range of a run over the client dataset on its "Name" tag: from the first client
// (the "Begin" client) through every client whose NAME, trailing blanks removed, is <= the "End"
// text. Both the print half and the proforma report walk it; a client is reported once.
class ClientWalk
{
public:
    ClientWalk(const RunParameters &parameters, ui::Dataset &clients);
    // Positions on the first client of the range (the first whose NAME is at or after "Begin";
    // the client dataset is put on its "NAME" tag without a range); false when it is empty.
    bool first();
    // Moves to the next client of the range; false at its end.
    bool next();

private:
    bool inRange() const;
    RunParameters m_parameters;
    ui::Dataset &m_clients;
};

// The number the print half gives its first statement: NEXTINV, but never at or below the
// highest INV_NUMBER on file (a counter restored from its template must not hand out numbers
// again). Reads only.
std::int64_t firstStatementNumber(ui::Dataset &track, ui::Dataset &invoices);
// The highest INV_NUMBER on file (the last key of the "INV_NUMBER" tag), 0 without invoices.
// The dataset does not move.
std::int64_t highestInvoiceNumber(const ui::Dataset &invoices);

// The statements a run prints, without printing them: the client walk, the cycle test and
// qualification, numbered from firstStatementNumber, each with its billable slips in the slip
// dataset's order. The proforma listing, the benchmark and the tests use it; the statement
// document records the same while it prints. Moves the client and slip datasets (callers hold
// a ui::CursorScope on the main window's); changes no table.
BillingPlan planRun(const RunParameters &parameters, const QDate &runDate, ui::Dataset &clients,
    ui::Dataset &slips, ui::Dataset &invoices, ui::Dataset &track);

// The outcome of finalization.
struct FinalizeResult
{
    int posted = 0; // statements posted
    QStringList errorLines; // the update error listing, in order
    QString engineMessage; // set when an engine error stopped finalization
};

// Posts a BillingPlan into the tables of a data directory through its own table handles.
// A statement is posted only when its client's billable slips and their amounts are still
// exactly those printed and its number is still free; otherwise nothing is written for that
// client and it is listed ("Bill not finalized for " + name + ".  " + reason). Each client is
// posted whole or not at all, also when the program is killed: see docs/billing.md for the
// journal.
//
// Per client, in this order: lock the client row, every billable slip now on file for it and
// the projects its slips name (a lock held by another copy lists the client); verify the slips
// and amounts against the printed ones; lock the counter record of TWTRACK and check that the
// printed number is not on file; write and sync the journal; append the TWINVOIC row, raise
// NEXTINV, mark the slips, add to the projects; flush every table; retire the journal; release
// the locks. An engine error while writing rolls the client back from the journal at once and
// ends the run with the engine's message (FinalizeResult::engineMessage). After the last
// client NEXTINV is raised above the highest number printed (never lowered).
class Finalizer
{
public:
    Finalizer(std::string dataDirectory, const platform::Clock &clock);
    ~Finalizer();

    // Called before each client is posted, with its name (the window's label, and the place to
    // let pending window messages through).
    std::function<void(const PrintedStatement &)> OnClient;

    // Test hook: called after each table write of a posting (a crash test slows posting with it
    // so that kills land inside a client).
    std::function<void()> AfterWrite;

    FinalizeResult run(const BillingPlan &plan);

private:
    std::string m_dataDirectory;
    const platform::Clock &m_clock;
};

// Completes or undoes the postings of copies that died mid-client (journals whose owner no
// longer holds them). Run at start-up and before each finalization (the finalizer also looks
// before each client). A journal whose rows another copy holds locked is left for the next
// time. Returns how many journals were rolled forward, rolled back, and discarded (nothing of
// them had been applied, or the statement was deleted since). Throws dbf::Error when a table
// cannot be opened or written; what was done so far stays done, and the journal stays.
struct RecoveryCount
{
    int rolledForward = 0;
    int rolledBack = 0;
    int discarded = 0;
};
RecoveryCount recoverJournals(const std::string &dataDirectory);

} // namespace billing
