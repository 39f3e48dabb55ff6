// Showing one client on the main window: the aging boxes and the unbilled total of a client with
// 200 statements and 2,000 slips, in a practice of 1,000 clients (20 slips and 2 statements each
// for the others). Times billing::clientReceivables as the client refresh calls it, on the main
// window's statement and slip cursors, many times over, and prints the median and the 90th
// percentile. The peer is the plain engine walk over the same key ranges (a dbf::Cursor per
// table, no readers, no field lookup by name): the floor the rule can come near. Goal: under
// 5 ms. Run by hand:
//   tarnw-bench-aging [runs] [directory]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>

#include "billing/aging_rules.h"
#include "dbf/cursor.h"
#include "dbf/table.h"
#include "store/startup_check.h"
#include "ui/dataset.h"
#include "ui/engine_cursor.h"
#include <time.h>

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

namespace {

const QDate kToday(2026, 12, 10);
constexpr std::size_t kClients = 1000;
constexpr std::size_t kBigClient = 500; // the client shown: 200 statements, 2,000 slips
constexpr int kBigInvoices = 200;
constexpr int kBigSlips = 2000;

std::string clientNumber(std::size_t i)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06zu", i + 1);
    return buf;
}

void generate(const fs::path &dir)
{
    std::mt19937_64 rng(20261210);
    auto open = [&](const char *name) {
        return dbf::Table::open(dir, name, dbf::OpenMode::Exclusive);
    };
    auto clients = open("TWCLIENT");
    auto slips = open("TWSLIP");
    auto invoices = open("TWINVOIC");
    dbf::Cursor c(*clients), s(*slips), inv(*invoices);
    std::int64_t slipNumber = 0, invoiceNumber = 0;
    for (std::size_t i = 0; i < kClients; ++i) {
        c.append();
        c.setText("NUMBER", clientNumber(i));
        c.setText("NAME", "Client " + std::to_string(100000 + i));
        c.setText("ACTIVE", "Y");
        c.post();
        const bool big = i == kBigClient;
        for (int n = 0, count = big ? kBigInvoices : 2; n < count; ++n) {
            inv.append();
            const double total = double(1000 + rng() % 90000) / 100;
            inv.setInteger("INV_NUMBER", ++invoiceNumber);
            inv.setText("INV_CLIENT", clientNumber(i));
            inv.setNumber("INV_TOTAL", total);
            inv.setNumber("INV_PAID", rng() % 3 ? total : double(rng() % 90000) / 100);
            const QDate due = kToday.addDays(30 - std::int64_t(rng() % 200));
            inv.setDate("INV_DUE", dbf::Date(due.year(), due.month(), due.day()));
            inv.post();
        }
        for (int n = 0, count = big ? kBigSlips : 20; n < count; ++n) {
            s.append();
            s.setInteger("SL_NUMBER", ++slipNumber);
            s.setText("SL_CLIENT", clientNumber(i));
            s.setText("SL_ACT", "WORK");
            s.setDate("SL_DATEBEG", dbf::Date(2026, int(1 + rng() % 11), int(1 + rng() % 28)));
            s.setNumber("SL_TOTAL", double(1000 + rng() % 40000) / 100);
            s.setInteger("SL_DONE", rng() % 10 ? 1 : 0);
            const bool billed = rng() % 2 == 0;
            s.setInteger("SL_BILLED", billed ? 1 : 0);
            s.setInteger("SL_INVOICE", billed ? 1 : -1);
            s.post();
        }
    }
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(double(v.size()) * p))];
}

double millisecondsSince(Steady::time_point from)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - from).count();
}

// Processor time of this thread in milliseconds: on a machine shared with other work the
// wall-clock time says more about the neighbours than about the computation.
double cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// One timed run: wall clock and processor time, in milliseconds.
struct Timing
{
    std::vector<double> wall, cpu;
    template <typename F> void run(F &&f)
    {
        const auto started = Steady::now();
        const double cpuStarted = cpuMilliseconds();
        f();
        cpu.push_back(cpuMilliseconds() - cpuStarted);
        wall.push_back(millisecondsSince(started));
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    QTemporaryDir tmp;
    const fs::path dir = argc > 2 ? fs::path(argv[2]) : fs::path(tmp.path().toStdString());
    fs::create_directories(dir);
    for (const auto &e : fs::directory_iterator(fs::path(TARNW_BINARY_DIR) / "templates"))
        fs::copy_file(e.path(), dir / e.path().filename(), fs::copy_options::overwrite_existing);
    {
        store::StartupCheck check(dir);
        check.restoreMissingFiles();
        check.rebuildMissingIndexes();
    }
    generate(dir);

    // The main window's cursors as the client refresh leaves them: ranged on the client shown.
    const QString number = QString::fromStdString(clientNumber(kBigClient));
    ui::Dataset invoices, slips;
    invoices.open(ui::EngineCursor::open(dir, "TWINVOIC"));
    invoices.setTag(QStringLiteral("INV_CLIENT"));
    invoices.setRange({ number }, { number });
    slips.open(ui::EngineCursor::open(dir, "TWSLIP"));
    slips.setTag(QStringLiteral("SL_CLIENT"));
    slips.setRange({ number }, { number });
    slips.last();

    Timing rule, peer;
    billing::ClientReceivables shown;
    for (int run = 0; run < runs; ++run)
        rule.run([&] {
            shown = billing::clientReceivables(number, kToday, invoices.cursor(), slips.cursor());
        });

    auto invoiceTable = dbf::Table::open(dir, "TWINVOIC", dbf::OpenMode::Shared);
    auto slipTable = dbf::Table::open(dir, "TWSLIP", dbf::OpenMode::Shared);
    std::int64_t peerBalance = 0, peerUnbilled = 0;
    for (int run = 0; run < runs; ++run)
        peer.run([&] {
            peerBalance = peerUnbilled = 0;
            dbf::Cursor inv(*invoiceTable);
            inv.setTag("INV_CLIENT");
            const std::string key = inv.makeKey({ number.toStdString() });
            inv.setRange(key, key);
            const std::size_t total = inv.fieldIndex("INV_TOTAL"),
                              paid = inv.fieldIndex("INV_PAID");
            for (bool more = inv.first(); more; more = inv.next())
                peerBalance +=
                    std::llround(inv.number(total) * 100) - std::llround(inv.number(paid) * 100);
            dbf::Cursor s(*slipTable);
            s.setTag("SL_CLIENT");
            const std::string slipKey = s.makeKey({ number.toStdString() });
            s.setRange(slipKey, slipKey);
            const std::size_t billed = s.fieldIndex("SL_BILLED"), amount = s.fieldIndex("SL_TOTAL");
            for (bool more = s.first(); more; more = s.next())
                if (s.number(billed) == 0)
                    peerUnbilled += std::llround(s.number(amount) * 100);
        });

    std::printf("client %s: %d statements, %d slips; total %s, unbilled %s (peer: %s, %s)\n",
        number.toLatin1().constData(), kBigInvoices, kBigSlips,
        billing::agingText(shown.aging.total()).toLatin1().constData(),
        billing::agingText(shown.unbilled).toLatin1().constData(),
        billing::agingText(platform::Cents::fromCents(peerBalance)).toLatin1().constData(),
        billing::agingText(platform::Cents::fromCents(peerUnbilled)).toLatin1().constData());
    const double median = percentile(rule.cpu, 0.5);
    const double peerMedian = percentile(peer.cpu, 0.5);
    std::printf("aging and unbilled total, %d runs: median %.3f ms processor (90th percentile "
                "%.3f ms), median %.3f ms wall clock; goal under 5 ms: %s\n",
        runs, median, percentile(rule.cpu, 0.9), percentile(rule.wall, 0.5),
        median < 5 ? "met" : "NOT met");
    std::printf("peer, plain engine walk: median %.3f ms processor, %.3f ms wall clock; the rule "
                "takes %.2f times the peer\n",
        peerMedian, percentile(peer.wall, 0.5), median / peerMedian);
    return 0;
}
