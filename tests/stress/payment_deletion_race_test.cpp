// Two program copies (processes) race for one statement, round after round: one posts a payment
// against it (holding the client and statement rows a moment, as the open window does) while the
// other deletes it (holding every row it will write a moment). After each round exactly one end
// state holds: the payment is on file and INV_PAID includes it, or the statement is gone with no
// payment naming it and its slips unbilled; the copy that lost got the engine's lock message; and
// the consistency walk finds every table sound. Deleted statements' slips are billed again for
// the next round.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "../billing/deletion_walk.h"
#include "dbf/errors.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

constexpr int kClients = 6;
constexpr auto kHold = milliseconds(30);

// Exit codes of a copy.
constexpr int kDone = 0, kLockMessage = 10, kGone = 11, kOther = 12;

int rounds()
{
    if (const char *n = std::getenv("TARNW_STRESS_N"))
        return std::max(1, std::atoi(n) / 5);
    return 24;
}

bool lockMessage(const std::string &text)
{
    return text.compare(0, 13, "Record locked") == 0;
}

// Waits until the parent closes the start pipe, so that both copies begin together.
void waitForStart(int fd)
{
    char byte;
    while (::read(fd, &byte, 1) > 0) {
    }
}

[[noreturn]] void payer(const fs::path &dir, const std::string &client, std::int64_t number,
    int startFd)
{
    waitForStart(startFd);
    try {
        billing::PaymentPosting p(dir, client, number);
        std::this_thread::sleep_for(kHold); // the user typing the amount
        billing::PaymentInput input;
        input.amount = platform::Cents::fromCents(1234);
        input.date = dbf::Date(2026, 12, 10);
        p.post(input);
        ::_exit(kDone);
    } catch (const dbf::RecordLocked &e) {
        ::_exit(lockMessage(e.what()) ? kLockMessage : kOther);
    } catch (const billing::InvoiceGone &) {
        ::_exit(kGone);
    } catch (...) {
        ::_exit(kOther);
    }
}

[[noreturn]] void deleter(const fs::path &dir, const std::string &client, std::int64_t number,
    int startFd)
{
    waitForStart(startFd);
    billing::InvoiceDeletion d(dir);
    d.AfterLocks = [] { std::this_thread::sleep_for(kHold); };
    const billing::DeletionResult r = d.run(client, number);
    using Status = billing::DeletionResult::Status;
    if (r.status == Status::Deleted)
        ::_exit(kDone);
    if (r.status == Status::ClientLocked || r.status == Status::RowLocked)
        ::_exit(lockMessage(r.message) ? kLockMessage : kOther);
    ::_exit(r.status == Status::NotFound ? kGone : kOther);
}

int exitCode(pid_t pid)
{
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

struct OnFile
{
    bool live = false; // the statement
    int payments = 0; // payments naming it
};

OnFile onFile(const fs::path &dir, std::int64_t number)
{
    OnFile out;
    auto inv = dbf::Table::open(dir, "TWINVOIC", dbf::OpenMode::Shared);
    dbf::Cursor i(*inv);
    for (bool more = !i.isEmpty(); more; more = i.next())
        out.live = out.live || i.integer("INV_NUMBER") == number;
    auto pmt = dbf::Table::open(dir, "TWPMT", dbf::OpenMode::Shared);
    dbf::Cursor p(*pmt);
    for (bool more = !p.isEmpty(); more; more = p.next())
        out.payments += p.integer("PMT_INVOIC") == number;
    return out;
}

TEST(PaymentDeletionRace, ExactlyOneEndStateAndTheLoserGetsTheLockMessage)
{
    Ledger l;
    const fs::path dir = l.dir.path();
    std::mt19937_64 rng(20261210);
    for (int i = 0; i < kClients; ++i) {
        l.rows.client(clientNumber(i), "Client " + std::to_string(100 + i));
        l.rows.project(clientNumber(i), "ALPHA");
        enterRandomSlips(l.rows, rng, i, 5, 80, 8.25, { "", "ALPHA" });
    }
    l.rows.flush();
    const auto projectsBefore = projectTotals(dir);
    l.bill();

    int paid = 0, deleted = 0, oneAfterTheOther = 0;
    const int n = rounds();
    for (int round = 0; round < n; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        l.bill(); // statements deleted in earlier rounds billed again
        std::vector<std::pair<std::int64_t, std::string>> live;
        {
            auto t = dbf::Table::open(dir, "TWINVOIC", dbf::OpenMode::Shared);
            dbf::Cursor c(*t);
            for (bool more = !c.isEmpty(); more; more = c.next())
                live.emplace_back(c.integer("INV_NUMBER"), c.text("INV_CLIENT"));
        }
        ASSERT_FALSE(live.empty());
        const auto [number, client] = live[rng() % live.size()];
        const int paymentsBefore = onFile(dir, number).payments;

        int start[2];
        ASSERT_EQ(::pipe(start), 0);
        const pid_t payPid = ::fork();
        ASSERT_GE(payPid, 0);
        if (payPid == 0) {
            ::close(start[1]);
            payer(dir, client, number, start[0]);
        }
        const pid_t deletePid = ::fork();
        ASSERT_GE(deletePid, 0);
        if (deletePid == 0) {
            ::close(start[1]);
            deleter(dir, client, number, start[0]);
        }
        ::close(start[0]);
        ::close(start[1]); // go
        const int payCode = exitCode(payPid), deleteCode = exitCode(deletePid);

        const OnFile after = onFile(dir, number);
        const std::vector<std::string> faults = ledgerFaults(dir, projectsBefore);
        ASSERT_TRUE(faults.empty()) << faults.front();
        if (after.live) {
            // The payment won: it is on file (and the walk found INV_PAID including it).
            EXPECT_EQ(payCode, kDone);
            EXPECT_EQ(deleteCode, kLockMessage);
            EXPECT_EQ(after.payments, paymentsBefore + 1);
            ++paid;
        } else {
            // The deletion won: no payment names the statement (the walk found its slips
            // unbilled). When the two did not overlap, the payment finished before the deletion
            // began and went with it, or began after it and found no statement.
            EXPECT_EQ(deleteCode, kDone);
            EXPECT_EQ(after.payments, 0);
            if (payCode == kDone || payCode == kGone)
                ++oneAfterTheOther;
            else
                EXPECT_EQ(payCode, kLockMessage);
            ++deleted;
        }
    }
    std::printf("%d rounds: payment first %d, deletion first %d, one after the other %d\n", n,
        paid, deleted, oneAfterTheOther);
    EXPECT_LT(oneAfterTheOther, n / 4) << "the copies hardly ever raced";
}

} // namespace
