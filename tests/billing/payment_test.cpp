// Payments posted against real statements: INV_PAID and the payment rows together, the aging
// they leave, the rows another copy holds, an engine error after the payment row was written,
// and a copy killed after each of its writes recovered from the journal.
#include <filesystem>
#include <optional>
#include <vector>

#include "billing/aging_rules.h"
#include "billing/billing_journal.h"
#include "deletion_walk.h"
#include "dbf/errors.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::Cents;

namespace {

struct Paid
{
    Cents total, paid;
    std::vector<Cents> payments; // live TWPMT rows of the statement, in record order
};

Paid paidOf(const fs::path &dir, std::int64_t number)
{
    Paid out;
    auto inv = dbf::Table::open(dir, "TWINVOIC", dbf::OpenMode::Shared);
    dbf::Cursor i(*inv);
    for (bool more = !i.isEmpty(); more; more = i.next())
        if (i.integer("INV_NUMBER") == number) {
            out.total = Cents::fromDouble(i.number("INV_TOTAL"));
            out.paid = Cents::fromDouble(i.number("INV_PAID"));
        }
    auto pmt = dbf::Table::open(dir, "TWPMT", dbf::OpenMode::Shared);
    dbf::Cursor c(*pmt);
    for (bool more = !c.isEmpty(); more; more = c.next())
        if (c.integer("PMT_INVOIC") == number)
            out.payments.push_back(Cents::fromDouble(c.number("PMT_AMOUNT")));
    return out;
}

int journalsIn(const fs::path &dir)
{
    int n = 0;
    for (const auto &e : fs::directory_iterator(dir))
        n += billing::JournalFile::isJournalName(e.path().filename().string()) ? 1 : 0;
    return n;
}

// One client "000001" with one slip of `amount`, billed: statement 100.
void billedClient(Ledger &l, double amount)
{
    l.rows.client("000001", "Adams");
    SlipRow s;
    s.client = "000001";
    s.total = amount;
    l.rows.slip(s);
    ASSERT_EQ(l.bill(), std::vector<std::int64_t>{ 100 });
}

TEST(Payment, PaidIsTheSumOfThePaymentsInCents)
{
    struct Case
    {
        const char *name;
        double total;
        std::vector<std::optional<double>> amounts;
        std::int64_t paidCents;
        bool hasBalance;
        std::int64_t agedCents; // the aging total the statement leaves
    };
    const Case cases[] = {
        { "40 then 60 pay 100", 100, { 40, 60 }, 10000, false, 0 },
        { "overpaid", 100, { 150 }, 15000, true, -5000 },
        { "0.10 + 0.20 pay 0.30", 0.30, { 0.10, 0.20 }, 30, false, 0 },
        { "empty amount posts 0", 100, { std::nullopt }, 0, true, 10000 },
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Ledger l;
        billedClient(l, k.total);
        for (const auto &a : k.amounts)
            l.pay("000001", 100, a);
        const Paid p = paidOf(l.dir.path(), 100);
        EXPECT_EQ(p.paid.cents(), k.paidCents);
        ASSERT_EQ(p.payments.size(), k.amounts.size());
        for (std::size_t i = 0; i < k.amounts.size(); ++i)
            EXPECT_EQ(p.payments[i], Cents::fromDouble(k.amounts[i].value_or(0)));
        const billing::Aging aged =
            billing::ageStatement(p.total, p.paid, QDate(2027, 1, 9), QDate(2026, 12, 10));
        EXPECT_EQ(aged.hasBalance(), k.hasBalance);
        EXPECT_EQ(aged.total().cents(), k.agedCents);
        EXPECT_EQ(ledgerFaults(l.dir.path(), {}), std::vector<std::string>());
        EXPECT_EQ(journalsIn(l.dir.path()), 0);
    }
}

TEST(Payment, RowsHeldByAnotherCopyOrGoneStopItBeforeAnythingIsWritten)
{
    Ledger l;
    billedClient(l, 100);
    l.rows.client("000002", "Baker");
    auto clients = dbf::Table::open(l.dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
    auto invoices = dbf::Table::open(l.dir.path(), "TWINVOIC", dbf::OpenMode::Shared);
    {
        dbf::RecordLock held = invoices->lockRecord(1);
        try {
            billing::PaymentPosting p(l.dir.path(), "000001", 100);
            FAIL() << "a held statement row was locked again";
        } catch (const dbf::RecordLocked &e) {
            EXPECT_EQ(std::string(e.what()).substr(0, 13), "Record locked");
        }
        // The client row it took first is free again.
        EXPECT_NO_THROW(clients->lockRecord(1));
    }
    {
        dbf::RecordLock held = clients->lockRecord(1);
        EXPECT_THROW(billing::PaymentPosting(l.dir.path(), "000001", 100), dbf::RecordLocked);
    }
    // Statement 100 is Adams's: Baker cannot pay it.
    EXPECT_THROW(billing::PaymentPosting(l.dir.path(), "000002", 100), billing::InvoiceGone);
    EXPECT_THROW(billing::PaymentPosting(l.dir.path(), "000001", 101), billing::InvoiceGone);
    EXPECT_TRUE(paidOf(l.dir.path(), 100).payments.empty());
}

TEST(Payment, AnEngineErrorAfterThePaymentRowTakesThePaymentOutAgain)
{
    for (int failAt : { 1, 2 }) {
        SCOPED_TRACE(failAt);
        Ledger l;
        billedClient(l, 100);
        l.pay("000001", 100, 30);
        billing::PaymentPosting p(l.dir.path(), "000001", 100);
        int writes = 0;
        p.AfterWrite = [&] {
            if (++writes == failAt)
                throw dbf::IoError("TWINVOIC: disk full");
        };
        billing::PaymentInput input;
        input.amount = Cents::fromDouble(50);
        EXPECT_THROW(p.post(input), billing::PaymentFailed);
        const Paid after = paidOf(l.dir.path(), 100);
        EXPECT_EQ(after.paid, Cents::fromDouble(30));
        EXPECT_EQ(after.payments, std::vector<Cents>{ Cents::fromDouble(30) });
        EXPECT_EQ(journalsIn(l.dir.path()), 0);
    }
}

// The child posts 25.00 against statement 100 and dies right after write `k` (0: it finishes);
// recovery leaves both the payment and INV_PAID, or neither.
TEST(Payment, ACopyKilledAfterAnyWriteLeavesBothOrNeither)
{
    for (int k = 0; k <= 2; ++k) {
        SCOPED_TRACE(k);
        Ledger l;
        billedClient(l, 100);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                billing::PaymentPosting p(l.dir.path(), "000001", 100);
                int writes = 0;
                p.AfterWrite = [&] {
                    if (++writes == k)
                        ::_exit(0);
                };
                billing::PaymentInput input;
                input.amount = Cents::fromDouble(25);
                p.post(input);
            } catch (...) {
                ::_exit(2);
            }
            ::_exit(1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (k == 0 ? 1 : 0));
        const billing::RecoveryCount r = billing::recoverJournals(l.dir.path().string());
        EXPECT_EQ(r.rolledForward, k == 0 ? 0 : 1); // k 1: the row written, INV_PAID not yet
        const Paid p = paidOf(l.dir.path(), 100);
        EXPECT_EQ(p.paid, Cents::fromDouble(25));
        EXPECT_EQ(p.payments.size(), 1u);
        EXPECT_EQ(ledgerFaults(l.dir.path(), {}), std::vector<std::string>());
        EXPECT_EQ(journalsIn(l.dir.path()), 0);
    }
}

} // namespace
