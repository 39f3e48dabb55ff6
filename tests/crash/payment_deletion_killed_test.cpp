// A copy deleting a statement, and a copy posting a payment, each killed with SIGKILL at random
// moments after its first table write, so that most kills land among the rows of the deletion or
// between the payment row and INV_PAID (each write is slowed a little). After each kill the next copy's recovery
// runs, and the consistency walk checks every cross-reference: billed slips on a live statement
// of their client, each INV_TOTAL the sum of its slips, payments on a live statement of their
// client, each INV_PAID the sum of its payments, project totals raised by exactly the billed
// slips. Statements deleted are billed again between rounds.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "../billing/deletion_walk.h"
#include "billing/billing_journal.h"
#include "dbf/mdx_check.h"
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

constexpr int kClients = 10;

int killCount()
{
    if (const char *n = std::getenv("TARNW_CRASH_KILLS"))
        return std::max(1, std::atoi(n));
    return 30;
}

struct Statement
{
    std::int64_t number = 0;
    std::string client;
};

std::vector<Statement> liveStatements(const fs::path &dir)
{
    std::vector<Statement> out;
    auto t = dbf::Table::open(dir, "TWINVOIC", dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    for (bool more = !c.isEmpty(); more; more = c.next())
        out.push_back({ c.integer("INV_NUMBER"), c.text("INV_CLIENT") });
    return out;
}

// A kill inside a table write may leave a tag without the record in flight: the user's Reindex
// repairs it, as the engine's crash test shows. Repaired before the next copy runs.
int repairTags(const fs::path &dir)
{
    int repaired = 0;
    for (const char *name : { "TWSLIP", "TWINVOIC", "TWPROJCT", "TWPMT" }) {
        bool faulty = false;
        {
            auto t = dbf::Table::open(dir, name, dbf::OpenMode::Shared);
            faulty = !dbf::checkIndex(*t).empty();
        }
        if (faulty) {
            ++repaired;
            dbf::Table::repairIndex(dir / (std::string(name) + ".DBF"));
        }
    }
    return repaired;
}

void tell(int fd)
{
    const char byte = 1;
    if (::write(fd, &byte, 1) != 1)
        ::_exit(3);
}

// The child: deletes `s` or pays 0.01 to 50.00 against it, writes slowed, and tells the parent
// when its first table write is done (the journal is on disk by then): the kill lands among the
// rest. Kills before the first write leave nothing to recover (the unit tests kill after each
// write in turn). Never returns.
[[noreturn]] void child(const fs::path &dir, bool deletion, const Statement &s, int goFd,
    std::uint64_t seed)
{
    try {
        if (deletion) {
            billing::InvoiceDeletion d(dir);
            int writes = 0;
            d.AfterWrite = [goFd, &writes] {
                if (++writes == 1)
                    tell(goFd);
                std::this_thread::sleep_for(microseconds(400));
            };
            const billing::DeletionResult r = d.run(s.client, s.number);
            ::_exit(r.status == billing::DeletionResult::Status::Deleted ? 0 : 2);
        }
        billing::PaymentPosting p(dir, s.client, s.number);
        int writes = 0;
        p.AfterWrite = [goFd, &writes] {
            if (++writes == 1)
                tell(goFd);
            std::this_thread::sleep_for(microseconds(2000));
        };
        billing::PaymentInput input;
        input.amount = platform::Cents::fromCents(std::int64_t(1 + seed % 5000));
        input.date = dbf::Date(2026, 12, 10);
        p.post(input);
        ::_exit(0);
    } catch (...) {
        ::_exit(4);
    }
}

TEST(KilledPaymentAndDeletion, RecoveryLeavesEveryTableConsistent)
{
    Ledger l;
    const fs::path dir = l.dir.path();
    std::mt19937_64 rng(20261210);
    {
        // Its own handles, closed again: a tag repair needs the tables to itself.
        BillingRows rows(dir);
        for (int i = 0; i < kClients; ++i) {
            rows.client(clientNumber(i), "Client " + std::to_string(100 + i));
            rows.project(clientNumber(i), "ALPHA", 1.5, 12.34);
            rows.project(clientNumber(i), "BETA");
            enterRandomSlips(rows, rng, i, 8, 120, 8.25, { "", "ALPHA", "BETA" });
        }
        rows.flush();
    }
    const auto projectsBefore = projectTotals(dir);
    l.bill();

    const int kills = killCount();
    int inside[2] = { 0, 0 }, finished[2] = { 0, 0 }, repaired = 0;
    for (int round = 0; round < 2 * kills; ++round) {
        const bool deletion = round % 2 == 0;
        SCOPED_TRACE(std::string(deletion ? "deletion" : "payment") + " round "
            + std::to_string(round));
        std::vector<Statement> live = liveStatements(dir);
        if (live.empty()) {
            l.bill();
            live = liveStatements(dir);
        }
        ASSERT_FALSE(live.empty());
        const Statement s = live[rng() % live.size()];
        int go[2];
        ASSERT_EQ(::pipe(go), 0);
        const std::uint64_t seed = rng();
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(go[0]);
            child(dir, deletion, s, go[1], seed);
        }
        ::close(go[1]);
        char byte = 0;
        const bool started = ::read(go[0], &byte, 1) == 1;
        ::close(go[0]);
        if (started)
            std::this_thread::sleep_for(microseconds(rng() % (deletion ? 5000 : 4500)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(started) << "the child failed before writing, status " << status;
        if (WIFEXITED(status)) {
            ASSERT_EQ(WEXITSTATUS(status), 0) << "the child stopped on an error";
            ++finished[deletion];
        }
        repaired += repairTags(dir);
        const billing::RecoveryCount r = billing::recoverJournals(dir.string());
        inside[deletion] += r.rolledForward + r.rolledBack + r.discarded;
        const std::vector<std::string> faults = ledgerFaults(dir, projectsBefore);
        ASSERT_TRUE(faults.empty()) << faults.front();
        if (round % 6 == 5)
            l.bill(); // the slips of deleted statements, billed again
    }
    std::printf("%d kills each: deletions %d recovered from a journal, %d finished first; "
                "payments %d recovered, %d finished first; %d tags repaired\n",
        kills, inside[1], finished[1], inside[0], finished[0], repaired);
    EXPECT_GT(inside[1], kills / 2) << "too few kills landed inside a deletion";
    EXPECT_GT(inside[0], kills / 2) << "too few kills landed inside a payment";
    EXPECT_EQ(ledgerFaults(dir, projectsBefore), std::vector<std::string>());
}

} // namespace
