// Finalization over real tables made from the templates: what a posted statement writes, the
// clients it lists instead of posting, an engine error rolled back at once, a copy killed inside
// a client recovered from its journal, and the journal's own text.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include <QDate>

#include "billing/billing_journal.h"
#include "billing/billing_rules.h"
#include "billing_data.h"
#include "dbf/errors.h"
#include "platform/clock.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono;
namespace fs = std::filesystem;

namespace {

const QDate kToday(2026, 12, 10);

struct InvoiceRow
{
    std::string client;
    double total = 0, tax = 0, paid = 0;
    std::string date, due;
    bool operator==(const InvoiceRow &) const = default;
};

std::ostream &operator<<(std::ostream &os, const InvoiceRow &r)
{
    return os << r.client << " " << r.total << " " << r.tax << " " << r.paid << " " << r.date << " "
              << r.due;
}

// Live invoices by number.
std::map<std::int64_t, InvoiceRow> invoicesOnFile(const fs::path &dir)
{
    std::map<std::int64_t, InvoiceRow> rows;
    auto t = dbf::Table::open(dir, "TWINVOIC", dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    for (bool more = !c.isEmpty(); more; more = c.next())
        rows[c.integer("INV_NUMBER")] = { c.text("INV_CLIENT"), c.number("INV_TOTAL"),
            c.number("INV_TAXAMT"), c.number("INV_PAID"), c.text("INV_DATE"), c.text("INV_DUE") };
    return rows;
}

// SL_INVOICE of every slip by record number (-1 unbilled).
std::map<dbf::RecNo, std::int64_t> slipInvoices(const fs::path &dir)
{
    std::map<dbf::RecNo, std::int64_t> rows;
    auto t = dbf::Table::open(dir, "TWSLIP", dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    for (bool more = !c.isEmpty(); more; more = c.next())
        rows[c.recNo()] = c.integer("SL_BILLED") == 1 ? c.integer("SL_INVOICE") : -1;
    return rows;
}

std::int64_t nextInvoice(const fs::path &dir)
{
    auto t = dbf::Table::open(dir, "TWTRACK", dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    return c.integer("NEXTINV");
}

int journalsIn(const fs::path &dir)
{
    int n = 0;
    for (const auto &e : fs::directory_iterator(dir))
        n += billing::JournalFile::isJournalName(e.path().filename().string()) ? 1 : 0;
    return n;
}

// A data directory from the templates, a clock at the run date, and the run's two halves.
struct Fixture
{
    Fixture()
        : clock(year_month_day(year(2026), month(12), day(10)))
        , rows(dir.path())
    {
    }

    billing::BillingPlan plan()
    {
        BillingDatasets data(dir.path());
        return data.plan(wideOpenRun(kToday), kToday);
    }
    billing::FinalizeResult finalize(
        const billing::BillingPlan &p, std::function<void()> afterWrite = {})
    {
        billing::Finalizer f(dir.path().string(), clock);
        f.AfterWrite = std::move(afterWrite);
        return f.run(p);
    }

    // Adams, Baker and Carter, two slips each (Baker's on project BETA, and an unfinished one),
    // NEXTINV 100.
    void threeClients()
    {
        rows.setNextInvoice(100);
        rows.client("000001", "Adams");
        rows.client("000002", "Baker");
        rows.client("000003", "Carter");
        rows.project("000002", "BETA", 4, 40);
        for (const char *client : { "000001", "000002", "000003" }) {
            SlipRow s;
            s.client = client;
            s.total = 25;
            s.project = std::string(client) == "000002" ? "BETA" : "";
            slipOf[client].push_back(rows.slip(s));
            s.total = 12.5;
            s.taxable = "Y";
            s.tax = 0.75;
            slipOf[client].push_back(rows.slip(s));
            if (std::string(client) == "000002") {
                s.done = 0;
                unfinished = rows.slip(s);
            }
        }
    }

    DatasetDir dir;
    platform::ManualClock clock;
    BillingRows rows;
    std::map<std::string, std::vector<dbf::RecNo>> slipOf;
    dbf::RecNo unfinished = 0;
};

TEST(Finalize, PostsEachStatementAsPrinted)
{
    Fixture f;
    f.rows.setNextInvoice(100);
    f.rows.client("000001", "Adams", 1, "Net 30");
    f.rows.client("000002", "Baker", 1, "Net 120");
    f.rows.client("000003", "Carter", 1, "Due on Receipt");
    f.rows.project("000001", "ALPHA", 1, 10);
    f.rows.project("000002", "BETA", 0, 0, dbf::Date(2026, 1, 1));
    auto slip = [&](const char *client, double total, const char *project, double hours,
                    dbf::Date date, const char *taxable = "N", double tax = 0, int done = 1) {
        SlipRow s;
        s.client = client;
        s.total = total;
        s.project = project;
        s.hours = hours;
        s.date = date;
        s.taxable = taxable;
        s.tax = tax;
        s.done = done;
        return f.rows.slip(s);
    };
    const dbf::RecNo a1 = slip("000001", 100, "ALPHA", 2, { 2026, 11, 2 }, "Y", 1.5);
    const dbf::RecNo a2 = slip("000001", 20, "ALPHA", 0.5, { 2026, 11, 1 }, "N", 0.7);
    const dbf::RecNo a3 = slip("000001", 99, "ALPHA", 1, { 2026, 11, 3 }, "N", 0, 0);
    const dbf::RecNo b1 = slip("000002", 30, "BETA", 1.25, { 2026, 11, 4 });
    const dbf::RecNo b2 = slip("000002", 0.01, "BETA", 0.0001, { 2026, 11, 5 });
    const dbf::RecNo c1 = slip("000003", 50, "GAMMA", 3, { 2026, 11, 6 });
    const dbf::RecNo c2 = slip("000003", 7, "", 1, { 2026, 11, 7 });
    const auto before = projectTotals(f.dir.path());

    const billing::BillingPlan p = f.plan();
    ASSERT_EQ(p.statements.size(), 3u);
    const billing::FinalizeResult r = f.finalize(p);

    EXPECT_EQ(r.engineMessage, QString());
    EXPECT_EQ(r.posted, 3);
    EXPECT_EQ(r.errorLines,
        QStringList({ "Project file not updated for client Carter.  Project GAMMA missing." }));
    const std::map<std::int64_t, InvoiceRow> expected{
        { 100, { "000001", 121.5, 1.5, 0, "20261210", "20270109" } },
        { 101, { "000002", 30.01, 0, 0, "20261210", "20270409" } },
        { 102, { "000003", 57, 0, 0, "20261210", "20261210" } },
    };
    EXPECT_EQ(invoicesOnFile(f.dir.path()), expected);
    const std::map<dbf::RecNo, std::int64_t> billed{ { a1, 100 }, { a2, 100 }, { a3, -1 },
        { b1, 101 }, { b2, 101 }, { c1, 102 }, { c2, 102 } };
    EXPECT_EQ(slipInvoices(f.dir.path()), billed);
    const auto after = projectTotals(f.dir.path());
    // ALPHA: 1 + 2 + 0.5 hours; 10 + 101.50 + 20.70 (tax of the slip that is not taxable too).
    EXPECT_EQ(after.at("000001/ALPHA"), (ProjectTotals{ 35000, 13220 }));
    EXPECT_EQ(after.at("000002/BETA"), (ProjectTotals{ 12501, 3001 }));
    EXPECT_EQ(nextInvoice(f.dir.path()), 103);
    EXPECT_EQ(billingFaults(f.dir.path(), before), std::vector<std::string>());
    EXPECT_EQ(journalsIn(f.dir.path()), 0);

    auto projects = dbf::Table::open(f.dir.path(), "TWPROJCT", dbf::OpenMode::Shared);
    dbf::Cursor c(*projects);
    c.setTag("CLIENT_COD");
    ASSERT_TRUE(c.findKey(c.makeKey({ "000001", "ALPHA" })));
    EXPECT_EQ(c.text("PJ_STARTDT"), "20261102"); // the first slip's date, in entry order
    ASSERT_TRUE(c.findKey(c.makeKey({ "000002", "BETA" })));
    EXPECT_EQ(c.text("PJ_STARTDT"), "20260101"); // a start date stays
}

TEST(Finalize, PreviousBalanceOnlyGetsAZeroInvoiceAndANumber)
{
    Fixture f;
    f.rows.setNextInvoice(10);
    f.rows.client("000001", "Adams");
    f.rows.invoice(5, "000001", 80, 20);
    BillingDatasets data(f.dir.path());
    billing::RunParameters params = wideOpenRun(kToday);
    params.printPreviousBalance = true;
    params.previousBalanceOnly = true;
    const billing::BillingPlan p = data.plan(params, kToday);
    ASSERT_EQ(p.statements.size(), 1u);
    EXPECT_EQ(p.statements[0].previousBalance.cents(), 6000);
    const billing::FinalizeResult r = f.finalize(p);
    EXPECT_EQ(r.posted, 1);
    const auto invoices = invoicesOnFile(f.dir.path());
    ASSERT_EQ(invoices.count(10), 1u);
    EXPECT_EQ(invoices.at(10).total, 0);
    EXPECT_EQ(nextInvoice(f.dir.path()), 11);
}

// Something changes for Baker between print and finalize: Baker is listed once, nothing of it
// is posted, its number stays unused; Adams and Carter are posted.
struct Change
{
    const char *name;
    const char *reason;
    std::function<void(
        Fixture &, std::vector<std::unique_ptr<dbf::Table>> &, std::vector<dbf::RecordLock> &)>
        apply;
};

void editSlip(const fs::path &dir, dbf::RecNo recNo, const std::function<void(dbf::Cursor &)> &f)
{
    auto t = dbf::Table::open(dir, "TWSLIP", dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    ASSERT_TRUE(c.gotoRecNo(recNo));
    c.edit();
    f(c);
    c.post();
}

TEST(Finalize, AClientChangedSincePrintingIsListedAndNotPosted)
{
    using Tables = std::vector<std::unique_ptr<dbf::Table>>;
    using Locks = std::vector<dbf::RecordLock>;
    const char *changed = "Its time slips changed after the statement was printed.";
    const Change changes[] = {
        { "a slip completed", changed,
            [](Fixture &f, Tables &, Locks &) {
                editSlip(
                    f.dir.path(), f.unfinished, [](dbf::Cursor &c) { c.setInteger("SL_DONE", 1); });
            } },
        { "a new slip entered", changed,
            [](Fixture &f, Tables &, Locks &) {
                SlipRow s;
                s.client = "000002";
                s.total = 5;
                f.rows.slip(s);
            } },
        { "a slip re-priced", changed,
            [](Fixture &f, Tables &, Locks &) {
                editSlip(f.dir.path(), f.slipOf["000002"][0],
                    [](dbf::Cursor &c) { c.setNumber("SL_TOTAL", 25.01); });
            } },
        { "its tax changed", changed,
            [](Fixture &f, Tables &, Locks &) {
                editSlip(f.dir.path(), f.slipOf["000002"][1],
                    [](dbf::Cursor &c) { c.setNumber("SL_TAXAMT", 0.76); });
            } },
        { "a slip marked unfinished", changed,
            [](Fixture &f, Tables &, Locks &) {
                editSlip(f.dir.path(), f.slipOf["000002"][1],
                    [](dbf::Cursor &c) { c.setInteger("SL_DONE", 0); });
            } },
        { "a slip billed by another copy", changed,
            [](Fixture &f, Tables &, Locks &) {
                f.rows.invoice(77, "000002", 25);
                editSlip(f.dir.path(), f.slipOf["000002"][0], [](dbf::Cursor &c) {
                    c.setInteger("SL_BILLED", 1);
                    c.setInteger("SL_INVOICE", 77);
                });
            } },
        { "the client row held by another copy", "Record was locked.",
            [](Fixture &f, Tables &tables, Locks &locks) {
                tables.push_back(dbf::Table::open(f.dir.path(), "TWCLIENT", dbf::OpenMode::Shared));
                locks.push_back(tables.back()->lockRecord(2));
            } },
        { "a slip held open by another copy", "Time slip 4 was locked.",
            [](Fixture &f, Tables &tables, Locks &locks) {
                tables.push_back(dbf::Table::open(f.dir.path(), "TWSLIP", dbf::OpenMode::Shared));
                locks.push_back(tables.back()->lockRecord(f.slipOf["000002"][1]));
            } },
        { "the project held by another copy", "Project BETA was locked.",
            [](Fixture &f, Tables &tables, Locks &locks) {
                tables.push_back(dbf::Table::open(f.dir.path(), "TWPROJCT", dbf::OpenMode::Shared));
                locks.push_back(tables.back()->lockRecord(1));
            } },
        { "its number used by another copy meanwhile", "Statement number 101 is already on file.",
            [](Fixture &f, Tables &, Locks &) { f.rows.invoice(101, "000009", 0); } },
        { "the client deleted", "Client was not found.",
            [](Fixture &f, Tables &, Locks &) {
                auto t = dbf::Table::open(f.dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
                dbf::Cursor c(*t);
                ASSERT_TRUE(c.gotoRecNo(2));
                c.remove();
            } },
    };
    for (const Change &change : changes) {
        SCOPED_TRACE(change.name);
        Fixture f; // a fresh data directory per case
        f.threeClients();
        const auto before = projectTotals(f.dir.path());
        const billing::BillingPlan p = f.plan();
        ASSERT_EQ(p.statements.size(), 3u);
        ASSERT_EQ(p.statements[1].invoiceNumber, 101);
        Tables tables;
        Locks locks;
        change.apply(f, tables, locks);

        const billing::FinalizeResult r = f.finalize(p);
        EXPECT_EQ(r.engineMessage, QString());
        EXPECT_EQ(r.posted, 2);
        EXPECT_EQ(r.errorLines,
            QStringList({ QStringLiteral("Bill not finalized for Baker.  ") + change.reason }));
        const auto invoices = invoicesOnFile(f.dir.path());
        EXPECT_EQ(invoices.count(100), 1u);
        EXPECT_EQ(invoices.count(102), 1u);
        if (invoices.count(101)) {
            EXPECT_EQ(invoices.at(101).client, "000009");
        }
        for (dbf::RecNo slip : f.slipOf["000002"])
            EXPECT_NE(slipInvoices(f.dir.path()).at(slip), 101);
        EXPECT_EQ(projectTotals(f.dir.path()), before);
        EXPECT_EQ(nextInvoice(f.dir.path()), 103);
        locks.clear();
        EXPECT_EQ(billingFaults(f.dir.path(), before, 100), std::vector<std::string>());
    }
}

TEST(Finalize, ASlipOpenInAnotherProcessKeepsItsClientOut)
{
    Fixture f;
    f.threeClients();
    const billing::BillingPlan p = f.plan();
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const dbf::RecNo held = f.slipOf["000001"][0];
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Another copy's slip window: the slip stays in edit until the parent is done.
        try {
            auto t = dbf::Table::open(f.dir.path(), "TWSLIP", dbf::OpenMode::Shared);
            dbf::Cursor c(*t);
            if (!c.gotoRecNo(held))
                ::_exit(2);
            c.edit();
            c.setNumber("SL_HOURS", 9);
            char byte = 1;
            if (::write(ready[1], &byte, 1) != 1 || ::read(release[0], &byte, 1) != 1)
                ::_exit(3);
            c.cancel();
        } catch (...) {
            ::_exit(4);
        }
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    const billing::FinalizeResult r = f.finalize(p);
    ASSERT_EQ(::write(release[1], &byte, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : { ready[0], ready[1], release[0], release[1] })
        ::close(fd);

    EXPECT_EQ(r.posted, 2);
    EXPECT_EQ(
        r.errorLines, QStringList({ "Bill not finalized for Adams.  Time slip 1 was locked." }));
    const auto billed = slipInvoices(f.dir.path());
    EXPECT_EQ(billed.at(f.slipOf["000001"][0]), -1);
    EXPECT_EQ(billed.at(f.slipOf["000001"][1]), -1);
    EXPECT_EQ(billed.at(f.slipOf["000002"][0]), 101);
    EXPECT_EQ(billed.at(f.slipOf["000003"][1]), 102);
}

// An engine error at a write of Baker's posting: Baker is rolled back at once, the run stops
// with the engine's message; Adams stays posted, Carter is not reached.
TEST(Finalize, AnEngineErrorRollsTheClientBackAndStops)
{
    // Adams' posting writes 4 times (invoice, counter, two slips); Baker's 5 (and its project).
    for (int failAt : { 5, 6, 7, 8, 9 }) {
        SCOPED_TRACE(failAt);
        Fixture f;
        f.threeClients();
        const auto before = projectTotals(f.dir.path());
        const billing::BillingPlan p = f.plan();
        int writes = 0;
        const billing::FinalizeResult r = f.finalize(p, [&] {
            if (++writes == failAt)
                throw dbf::IoError("TWSLIP.DBF: No space left on device");
        });
        EXPECT_EQ(r.engineMessage, QStringLiteral("TWSLIP.DBF: No space left on device"));
        EXPECT_EQ(r.posted, 1);
        EXPECT_TRUE(r.errorLines.isEmpty());
        const auto invoices = invoicesOnFile(f.dir.path());
        EXPECT_EQ(invoices.size(), 1u);
        EXPECT_EQ(invoices.count(100), 1u);
        for (const char *client : { "000002", "000003" })
            for (dbf::RecNo slip : f.slipOf[client])
                EXPECT_EQ(slipInvoices(f.dir.path()).at(slip), -1);
        EXPECT_EQ(projectTotals(f.dir.path()), before);
        EXPECT_EQ(billingFaults(f.dir.path(), before), std::vector<std::string>());
        EXPECT_EQ(journalsIn(f.dir.path()), 0);
    }
}

// A copy killed after the n-th write of a posting leaves its journal; the next recovery
// completes the client (or, with the abort mark, undoes it) and the tables hold no trace.
TEST(Finalize, AKilledPostingIsCompletedOrUndoneFromItsJournal)
{
    for (bool aborted : { false, true }) {
        for (int killAt : { 1, 2, 3, 4, 6, 9 }) {
            SCOPED_TRACE(std::string(aborted ? "aborted, " : "") + "killed at write "
                + std::to_string(killAt));
            Fixture f;
            f.threeClients();
            const auto before = projectTotals(f.dir.path());
            const billing::BillingPlan p = f.plan();
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                int writes = 0;
                f.finalize(p, [&] {
                    if (++writes == killAt)
                        ::_exit(9);
                });
                ::_exit(0);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
            ASSERT_EQ(journalsIn(f.dir.path()), 1);
            if (aborted) {
                for (const auto &e : fs::directory_iterator(f.dir.path()))
                    if (billing::JournalFile::isJournalName(e.path().filename().string()))
                        std::ofstream(e.path(), std::ios::app) << "abort\n";
            }

            // The journal holds the clients posted since its last retirement (all of them
            // here): Adams, and Baker when it was killed inside Baker. The abort mark undoes
            // the last.
            const int entries = killAt <= 4 ? 1 : 2;
            const billing::RecoveryCount count = billing::recoverJournals(f.dir.path().string());
            EXPECT_EQ(count.rolledForward, entries - (aborted ? 1 : 0));
            EXPECT_EQ(count.rolledBack, aborted ? 1 : 0);
            EXPECT_EQ(journalsIn(f.dir.path()), 0);
            EXPECT_EQ(billingFaults(f.dir.path(), before), std::vector<std::string>());
            // The client in flight is posted whole or not at all.
            const int inFlight = killAt <= 4 ? 0 : 1;
            const char *client = inFlight == 0 ? "000001" : "000002";
            const bool posted = !aborted;
            for (dbf::RecNo slip : f.slipOf[client])
                EXPECT_EQ(slipInvoices(f.dir.path()).at(slip), posted ? 100 + inFlight : -1);
            EXPECT_EQ(invoicesOnFile(f.dir.path()).count(100 + inFlight), posted ? 1u : 0u);
            // Recovering again finds nothing.
            const billing::RecoveryCount again = billing::recoverJournals(f.dir.path().string());
            EXPECT_EQ(again.rolledForward + again.rolledBack + again.discarded, 0);
        }
    }
}

TEST(Finalize, JournalsOfRunningCopiesAreLeftAndDamagedOnesDiscarded)
{
    Fixture f;
    f.threeClients();
    billing::JournalEntry entry;
    entry.clientNumber = "000001";
    entry.clientRecNo = 1;
    entry.invoiceNumber = 100;
    entry.invoiceRecNo = 1;
    {
        // The invoice row of number 100 for Adams: a journal written before anything else.
        auto invoices = dbf::Table::open(f.dir.path(), "TWINVOIC", dbf::OpenMode::Shared);
        const dbf::RecordLayout &l = invoices->layout();
        entry.invoiceImage.assign(l.recordLength(), ' ');
        entry.invoiceImage.replace(l.offset(*l.indexOf("INV_NUMBER")), 10, "       100");
        entry.invoiceImage.replace(l.offset(*l.indexOf("INV_CLIENT")), 6, "000001");
    }
    {
        billing::JournalFile running(f.dir.path());
        running.append(entry);
        const billing::RecoveryCount count = billing::recoverJournals(f.dir.path().string());
        EXPECT_EQ(count.rolledForward + count.rolledBack + count.discarded, 0);
        EXPECT_TRUE(fs::exists(running.path()));
    }
    // Its owner gone while it held an entry; and one cut short while it was written.
    const std::string text = billing::formatJournal(entry);
    std::ofstream(f.dir.path() / "TWBILL0000CAFE.JNL") << text.substr(0, text.size() - 3);
    int found = 0;
    for (const auto &e : fs::directory_iterator(f.dir.path()))
        found += billing::JournalFile::isJournalName(e.path().filename().string()) ? 1 : 0;
    EXPECT_EQ(found, 2);
    const billing::RecoveryCount count = billing::recoverJournals(f.dir.path().string());
    EXPECT_EQ(count.discarded, 1);
    EXPECT_EQ(count.rolledForward, 1); // nothing applied yet, rows as before: posted now
    EXPECT_EQ(journalsIn(f.dir.path()), 0);
    EXPECT_EQ(invoicesOnFile(f.dir.path()).at(100).client, "000001");
}

TEST(BillingJournal, TextRoundTripsAndAnyCutOrFlipIsRefused)
{
    billing::JournalEntry e;
    e.clientNumber = "0001 7";
    e.clientRecNo = 12;
    e.invoiceNumber = 123456;
    e.invoiceRecNo = 99;
    e.invoiceImage = std::string(" 123456\x01\xff abc", 14);
    e.fields = { { billing::JournalField::Kind::Raise, "TWTRACK", 1, "NEXTINV", "       100",
                     "       101" },
        { billing::JournalField::Kind::Set, "TWSLIP", 7, "SL_BILLED", "     0", "     1" },
        { billing::JournalField::Kind::Guard, "TWSLIP", 7, "SL_TOTAL", "  1.50", "  1.50" } };
    for (bool aborted : { false, true }) {
        e.aborted = aborted;
        const std::string text = billing::formatJournal(e);
        const auto back = billing::parseJournal(text);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, e);
        for (std::size_t cut = 0; cut < text.size(); ++cut) {
            if (aborted && cut == text.size() - 6)
                continue; // the whole entry without its abort mark: a valid journal
            EXPECT_FALSE(billing::parseJournal(text.substr(0, cut)).has_value()) << cut;
        }
        for (std::size_t at = 0; at < text.size(); at += 7) {
            std::string flipped = text;
            flipped[at] = char(flipped[at] ^ 0x04);
            EXPECT_FALSE(billing::parseJournal(flipped).has_value()) << at;
        }
    }
}

} // namespace
