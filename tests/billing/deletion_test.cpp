// Deleting statements on real tables: the whole life of a statement (bill, pay partly, delete,
// bill again) walked after each step, rows of another client with the same number left alone,
// a row held by another copy or an engine error leaving every record as it was, and a copy
// killed after any write recovered to a whole deletion.
#include <filesystem>
#include <string>
#include <vector>

#include "billing/billing_journal.h"
#include "dbf/errors.h"
#include "deletion_walk.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Status = billing::DeletionResult::Status;

namespace {

// Every record (deletion mark included) of the tables a deletion writes.
std::vector<std::string> snapshot(const fs::path &dir)
{
    std::vector<std::string> out;
    for (const char *name : { "TWINVOIC", "TWPMT", "TWSLIP", "TWPROJCT", "TWTRACK" }) {
        auto t = dbf::Table::open(dir, name, dbf::OpenMode::Shared);
        std::vector<std::uint8_t> image(t->layout().recordLength());
        for (dbf::RecNo r = 1; r <= t->recordCount(); ++r) {
            t->readRecord(r, image.data());
            out.push_back(std::string(name) + std::string(image.begin(), image.end()));
        }
    }
    return out;
}

std::string startDate(const fs::path &dir, const std::string &client, const std::string &code)
{
    auto t = dbf::Table::open(dir, "TWPROJCT", dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    c.setTag("CLIENT_COD");
    return c.findKey(c.makeKey({ client, code })) ? c.text("PJ_STARTDT") : "missing";
}

// Adams (000001): five slips, two on ALPHA (start date set), one on BETA (none), one taxable;
// Baker (000002): two slips on its own ALPHA. Billed: Adams 100, Baker 101; Adams paid three
// times. Returns the project totals before billing.
std::map<std::string, ProjectTotals> billedAndPaid(Ledger &l)
{
    l.rows.client("000001", "Adams");
    l.rows.client("000002", "Baker");
    l.rows.project("000001", "ALPHA", 2, 20, dbf::Date(2026, 1, 5));
    l.rows.project("000001", "BETA");
    l.rows.project("000002", "ALPHA", 1, 1);
    auto slip = [&](const char *client, double total, const char *project, double hours,
                    const char *taxable = "N", double tax = 0) {
        SlipRow s;
        s.client = client;
        s.total = total;
        s.project = project;
        s.hours = hours;
        s.taxable = taxable;
        s.tax = tax;
        l.rows.slip(s);
    };
    slip("000001", 100, "ALPHA", 1.25, "Y", 8.25);
    slip("000001", 40.10, "ALPHA", 0.5, "N", 0.35);
    slip("000001", 12.34, "BETA", 0.3333);
    slip("000001", 7, "", 1);
    slip("000001", 0.01, "", 0.0001);
    slip("000002", 60, "ALPHA", 2);
    slip("000002", 5, "ALPHA", 1);
    const auto before = projectTotals(l.dir.path());
    EXPECT_EQ(l.bill(), (std::vector<std::int64_t>{ 100, 101 }));
    for (double amount : { 10.0, 20.0, 5.55 })
        l.pay("000001", 100, amount);
    l.pay("000002", 101, 65);
    return before;
}

TEST(Deletion, BillPayDeleteBillAgainLeavesEveryTableConsistent)
{
    Ledger l;
    const auto before = billedAndPaid(l);
    const fs::path dir = l.dir.path();
    EXPECT_EQ(ledgerFaults(dir, before), std::vector<std::string>());
    EXPECT_EQ(startDate(dir, "000001", "BETA"), "20261115"); // set by billing

    const billing::DeletionResult r = l.remove("000001", 100);
    EXPECT_EQ(r.status, Status::Deleted) << r.message;
    EXPECT_EQ(r.payments, 3);
    EXPECT_EQ(r.slips, 5);
    EXPECT_EQ(ledgerFaults(dir, before), std::vector<std::string>());
    // Adams's projects are back to their totals before billing, exactly; Baker's keep theirs.
    const auto after = projectTotals(dir);
    EXPECT_EQ(after.at("000001/ALPHA"), before.at("000001/ALPHA"));
    EXPECT_EQ(after.at("000001/BETA"), before.at("000001/BETA"));
    EXPECT_EQ(after.at("000002/ALPHA"), (ProjectTotals{ 40000, 6600 }));
    EXPECT_EQ(startDate(dir, "000001", "ALPHA"), "20260105");
    EXPECT_EQ(startDate(dir, "000001", "BETA"), "20261115");

    // Billed again under a new number; 100 is not given out again.
    EXPECT_EQ(l.bill(), std::vector<std::int64_t>{ 102 });
    EXPECT_EQ(ledgerFaults(dir, before), std::vector<std::string>());
    auto invoices = dbf::Table::open(dir, "TWINVOIC", dbf::OpenMode::Shared);
    dbf::Cursor c(*invoices);
    c.setTag("INV_NUMBER");
    EXPECT_FALSE(c.findKey(c.makeKey({ "100" })));
    ASSERT_TRUE(c.findKey(c.makeKey({ "102" })));
    EXPECT_EQ(c.text("INV_CLIENT"), "000001");
    EXPECT_DOUBLE_EQ(c.number("INV_TOTAL"), 167.70); // 159.45 + 8.25 tax
    EXPECT_DOUBLE_EQ(c.number("INV_PAID"), 0);
    auto track = dbf::Table::open(dir, "TWTRACK", dbf::OpenMode::Shared);
    EXPECT_EQ(dbf::Cursor(*track).integer("NEXTINV"), 103);
}

// Older data may carry one number for statements of two clients: deleting one client's leaves
// the other's statement, payments and slips alone.
TEST(Deletion, MatchesPaymentsAndSlipsOnTheNumberAndTheClient)
{
    Ledger l;
    l.rows.client("000001", "Adams");
    l.rows.client("000002", "Baker");
    for (const char *client : { "000001", "000002" }) {
        SlipRow s;
        s.client = client;
        s.total = 10;
        s.billed = 1;
        s.invoice = 500;
        l.rows.slip(s);
        l.rows.invoice(500, client, 10);
    }
    l.pay("000001", 500, 4);
    l.pay("000002", 500, 6);
    const billing::DeletionResult r = l.remove("000002", 500);
    EXPECT_EQ(r.status, Status::Deleted);
    EXPECT_EQ(r.payments, 1);
    EXPECT_EQ(r.slips, 1);
    EXPECT_EQ(ledgerFaults(l.dir.path(), {}), std::vector<std::string>());
    auto invoices = dbf::Table::open(l.dir.path(), "TWINVOIC", dbf::OpenMode::Shared);
    dbf::Cursor c(*invoices);
    ASSERT_FALSE(c.isEmpty());
    EXPECT_EQ(c.text("INV_CLIENT"), "000001");
    EXPECT_DOUBLE_EQ(c.number("INV_PAID"), 4);
    EXPECT_FALSE(c.next());
    EXPECT_EQ(l.remove("000002", 500).status, Status::NotFound);
}

// A row held by another copy stops the deletion with the engine's message and nothing changed.
TEST(Deletion, ARowHeldByAnotherCopyStopsItBeforeAnythingChanges)
{
    struct Case
    {
        const char *table;
        dbf::RecNo recNo;
        Status status;
    };
    const Case cases[] = {
        { "TWCLIENT", 1, Status::ClientLocked },
        { "TWINVOIC", 1, Status::RowLocked },
        { "TWPMT", 3, Status::RowLocked },
        { "TWSLIP", 4, Status::RowLocked },
        { "TWPROJCT", 2, Status::RowLocked },
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.table);
        Ledger l;
        const auto before = billedAndPaid(l);
        const std::vector<std::string> was = snapshot(l.dir.path());
        auto other = dbf::Table::open(l.dir.path(), k.table, dbf::OpenMode::Shared);
        dbf::RecordLock held = other->lockRecord(k.recNo);
        const billing::DeletionResult r = l.remove("000001", 100);
        EXPECT_EQ(r.status, k.status);
        EXPECT_EQ(r.message.substr(0, 13), "Record locked");
        EXPECT_EQ(snapshot(l.dir.path()), was);
        held.release();
        EXPECT_EQ(l.remove("000001", 100).status, Status::Deleted);
        EXPECT_EQ(ledgerFaults(l.dir.path(), before), std::vector<std::string>());
    }
}

// The deletion of statement 100 writes 1 statement + 3 payments + 5 slips + 2 projects = 11
// records. An engine error after any of them puts every record back.
TEST(Deletion, AnEngineErrorAfterAnyWritePutsEverythingBack)
{
    for (int failAt = 1; failAt <= 11; ++failAt) {
        SCOPED_TRACE(failAt);
        Ledger l;
        const auto before = billedAndPaid(l);
        const std::vector<std::string> was = snapshot(l.dir.path());
        billing::InvoiceDeletion d(l.dir.path());
        int writes = 0;
        d.AfterWrite = [&] {
            if (++writes == failAt)
                throw dbf::IoError("TWSLIP: disk full");
        };
        const billing::DeletionResult r = d.run("000001", 100);
        EXPECT_EQ(r.status, Status::EngineError);
        EXPECT_EQ(r.message, "TWSLIP: disk full");
        EXPECT_EQ(snapshot(l.dir.path()), was);
        EXPECT_EQ(ledgerFaults(l.dir.path(), before), std::vector<std::string>());
    }
}

// A copy killed right after write k: the next copy's recovery completes the deletion.
TEST(Deletion, ACopyKilledAfterAnyWriteIsCompletedByRecovery)
{
    for (int k = 1; k <= 11; ++k) {
        SCOPED_TRACE(k);
        Ledger l;
        const auto before = billedAndPaid(l);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            billing::InvoiceDeletion d(l.dir.path());
            int writes = 0;
            d.AfterWrite = [&] {
                if (++writes == k)
                    ::_exit(0);
            };
            d.run("000001", 100);
            ::_exit(1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const billing::RecoveryCount r = billing::recoverJournals(l.dir.path().string());
        EXPECT_EQ(r.rolledForward, 1);
        EXPECT_EQ(ledgerFaults(l.dir.path(), before), std::vector<std::string>());
        EXPECT_EQ(l.remove("000001", 100).status, Status::NotFound);
        EXPECT_EQ(projectTotals(l.dir.path()).at("000001/ALPHA"), before.at("000001/ALPHA"));
    }
}

// Payment and deletion blocks read back as written; a block without a kind line (as every
// journal written before them) reads as a finalization.
TEST(Deletion, JournalBlocksOfEveryKindReadBack)
{
    using billing::JournalKind;
    for (JournalKind kind : { JournalKind::Finalization, JournalKind::Payment,
             JournalKind::Deletion }) {
        billing::JournalEntry e;
        e.kind = kind;
        e.clientNumber = "000001";
        e.clientRecNo = 3;
        e.invoiceNumber = 100;
        e.invoiceRecNo = 7;
        if (kind == JournalKind::Finalization)
            e.invoiceImage = " 100";
        else
            e.rows = { { "TWINVOIC", 7, " 100 000001" }, { "TWPMT", 9, "*  10.00" } };
        e.fields = { { billing::JournalField::Kind::Set, "TWSLIP", 4, "SL_BILLED", "1", "0" } };
        const std::string text = billing::formatJournal(e);
        EXPECT_EQ(text.find("kind ") == std::string::npos, kind == JournalKind::Finalization);
        EXPECT_EQ(billing::parseJournal(text), e);
    }
    billing::JournalEntry noRows;
    noRows.kind = JournalKind::Deletion;
    EXPECT_EQ(billing::parseJournal(billing::formatJournal(noRows)), std::nullopt);
}

} // namespace
