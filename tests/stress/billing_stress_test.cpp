// Two program copies (processes) print and finalize overlapping client ranges at the same time,
// round after round, entering new slips between rounds. Each copy records what it printed (the
// client and the number on each statement) and whether finalization posted or listed it.
// Afterwards: no invoice number twice; every invoice on file is exactly one statement that a copy
// printed for that client with that number and reported posted; every printed number left unused
// belongs to a statement listed as not finalized; every slip billed at most once and on an
// invoice of its client; each INV_TOTAL the sum of its slips plus the tax of the taxable ones;
// project totals raised by exactly the billed slips; NEXTINV above the highest number.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include <QDate>

#include "../billing/billing_data.h"
#include "billing/billing_rules.h"
#include "dbf/mdx_check.h"
#include "platform/clock.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

const QDate kToday(2026, 12, 10);
constexpr int kClients = 40;
constexpr int kRounds = 4;

std::string clientName(int i)
{
    return "Client " + std::to_string(100 + i);
}

void enterSlips(BillingRows &rows, std::mt19937_64 &rng, int i, int count)
{
    enterRandomSlips(rows, rng, i, count, 94.99, 7.5,
        i % 2 == 0 ? std::vector<std::string>{ "ALPHA", "BETA" } : std::vector<std::string>{});
}

// One copy: `kRounds` times print the range first..last, record it, finalize, enter new slips.
// Lines of its report: "printed <client> <number>", then "listed <client>" for each statement
// finalization listed. Returns the exit status.
int copy(const fs::path &dir, const fs::path &report, int first, int last, std::uint64_t seed)
{
    try {
        std::mt19937_64 rng(seed);
        std::ofstream out(report);
        platform::ManualClock clock(year_month_day(year(2026), month(12), day(10)));
        for (int round = 0; round < kRounds; ++round) {
            billing::BillingPlan plan;
            {
                BillingDatasets data(dir);
                billing::RunParameters p = wideOpenRun(kToday);
                p.beginName = QString::fromStdString(clientName(first));
                p.endName = QString::fromStdString(clientName(last));
                plan = data.plan(p, kToday);
            }
            std::map<std::string, std::string> numberOfName;
            for (const billing::PrintedStatement &s : plan.statements) {
                out << "printed " << s.clientNumber.toStdString() << ' ' << s.invoiceNumber << '\n';
                numberOfName[s.clientName.toStdString()] = s.clientNumber.toStdString();
            }
            billing::Finalizer f(dir.string(), clock);
            const billing::FinalizeResult r = f.run(plan);
            if (!r.engineMessage.isEmpty()) {
                std::fprintf(stderr, "copy: %s\n", r.engineMessage.toLocal8Bit().constData());
                return 2;
            }
            for (const QString &line : r.errorLines) {
                const QString prefix = QStringLiteral("Bill not finalized for ");
                if (!line.startsWith(prefix))
                    return 3;
                const std::string name = line.mid(prefix.size()).section(u'.', 0, 0).toStdString();
                if (!numberOfName.count(name))
                    return 4;
                out << "listed " << numberOfName[name] << '\n';
            }
            out.flush();
            BillingRows rows(dir);
            for (int k = 0; k < 6; ++k)
                enterSlips(rows, rng, first + int(rng() % std::uint64_t(last - first + 1)), 2);
        }
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "copy: %s\n", e.what());
        return 5;
    }
}

TEST(BillingStress, TwoCopiesPrintAndFinalizeOverlappingRanges)
{
    TemplateDir dir;
    std::mt19937_64 rng(7);
    {
        BillingRows rows(dir.path());
        rows.setNextInvoice(500);
        for (int i = 0; i < kClients; ++i) {
            rows.client(clientNumber(i), clientName(i), 1, "Net 30");
            if (i % 2 == 0) {
                rows.project(clientNumber(i), "ALPHA", 2, 20);
                rows.project(clientNumber(i), "BETA");
            }
            enterSlips(rows, rng, i, 8);
        }
        rows.flush();
    }
    const auto projectsBefore = projectTotals(dir.path());

    // Copy A prints clients 0..29, copy B 10..39: 20 clients in both ranges.
    const struct
    {
        int first, last;
    } ranges[] = { { 0, 29 }, { 10, kClients - 1 } };
    std::vector<pid_t> children;
    std::vector<fs::path> reports;
    for (int c = 0; c < 2; ++c) {
        reports.push_back(dir.path() / ("report" + std::to_string(c) + ".txt"));
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            ::_exit(copy(dir.path(), reports.back(), ranges[c].first, ranges[c].last,
                std::uint64_t(100 + c)));
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 0) << "a copy failed";
    }

    const std::vector<std::string> faults = billingFaults(dir.path(), projectsBefore);
    EXPECT_TRUE(faults.empty()) << faults.front();

    // Statements by (client, number): how often printed, how often listed.
    std::map<std::pair<std::string, std::int64_t>, int> printed;
    std::map<std::string, std::int64_t> lastPrinted; // per copy and client, while reading
    std::multiset<std::pair<std::string, std::int64_t>> listed;
    int printedCount = 0;
    for (const fs::path &report : reports) {
        std::ifstream in(report);
        std::string word, client;
        lastPrinted.clear();
        while (in >> word >> client) {
            if (word == "printed") {
                std::int64_t number = 0;
                in >> number;
                ++printed[{ client, number }];
                lastPrinted[client] = number;
                ++printedCount;
            } else {
                ASSERT_EQ(word, "listed");
                listed.insert({ client, lastPrinted.at(client) });
            }
        }
    }
    std::set<std::pair<std::string, std::int64_t>> onFile;
    {
        auto t = dbf::Table::open(dir.path(), "TWINVOIC", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        for (bool more = !c.isEmpty(); more; more = c.next()) {
            const std::pair<std::string, std::int64_t> key{ c.text("INV_CLIENT"),
                c.integer("INV_NUMBER") };
            onFile.insert(key);
            // Posted exactly as some copy printed it for that client, and by only one copy.
            ASSERT_TRUE(printed.count(key)) << "invoice " << key.second << " of " << key.first;
            EXPECT_EQ(int(listed.count(key)), printed[key] - 1)
                << "invoice " << key.second << ": printed " << printed[key] << " times";
        }
    }
    // A printed number left unused belongs to a statement listed as not finalized.
    for (const auto &[key, times] : printed) {
        if (!onFile.count(key)) {
            EXPECT_EQ(int(listed.count(key)), times) << "statement " << key.second << " of "
                                                     << key.first << " neither posted nor listed";
        }
    }
    std::printf("%d statements printed by two copies, %zu posted, %zu listed as not finalized\n",
        printedCount, onFile.size(), listed.size());
    EXPECT_GT(listed.size(), 0u) << "the copies never met on a client";

    for (const char *name : { "TWSLIP", "TWINVOIC", "TWPROJCT" }) {
        auto t = dbf::Table::open(dir.path(), name, dbf::OpenMode::Shared);
        const auto found = dbf::checkIndex(*t);
        EXPECT_TRUE(found.empty()) << name << ": " << found.front();
    }
}

} // namespace
