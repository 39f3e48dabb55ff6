// Auto billing generation at the size of a busy practice: 1,000 clients, each with five slots
// that generate, turned into 5,000 slips in one run over the main window's kind of cursors. Every
// slip takes its number from the shared counter (locked, re-read, posted and written to disk) and
// is posted with its nine index tags and written to disk at once, as the program does it; no
// batching of the write-through. Three runs, each on a fresh copy of the data; prints the
// median in slips per second and the file system the data lives on. Goal: at least 1,000 slips
// per second. Run by hand:
//   tarnw-bench-autobill [clients] [directory]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "auto_billing_data.h"
#include "platform/clock.h"
#include "store/startup_check.h"
#include "time/generate_rules.h"
#include "time/slip_numbering.h"
#include "ui/dataset.h"
#include "ui/engine_cursor.h"
#include <sys/vfs.h>

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

namespace {

const char *fileSystem(const fs::path &dir)
{
    struct statfs s
    {
    };
    if (::statfs(dir.c_str(), &s) != 0)
        return "unknown";
    switch (static_cast<unsigned long>(s.f_type)) {
    case 0xEF53:
        return "ext2/ext3/ext4";
    case 0x58465342:
        return "xfs";
    case 0x9123683E:
        return "btrfs";
    case 0x01021994:
        return "tmpfs";
    case 0x794C7630:
        return "overlayfs";
    default:
        return "other";
    }
}

void makePractice(const fs::path &dir, int clients)
{
    for (const auto &entry : fs::directory_iterator(fs::path(TARNW_BINARY_DIR) / "templates"))
        fs::copy_file(entry.path(), dir / entry.path().filename());
    store::StartupCheck check(dir);
    check.restoreMissingFiles();
    check.rebuildMissingIndexes();
    addAutoActivities(dir,
        { { "RETAINER", "T", "N", 0 }, { "FEE", "T", "Y", 8.25 }, { "POSTAGE", "E", "N", 0 } });
    const char *acts[] = { "RETAINER", "FEE", "POSTAGE", "FEE", "RETAINER" };
    std::vector<AutoClient> all;
    for (int i = 0; i < clients; ++i) {
        AutoClient c{ std::to_string(100001 + i), "Client " + std::to_string(100000 + i), {}, 1 };
        for (int s = 0; s < 5; ++s)
            c.autoSlots.push_back(autoSlot(acts[s], 1 + (i + s) % 3, 1 + s, 50 + i % 7,
                (1 + s) * double(50 + i % 7), "AB", "P" + std::to_string(s)));
        all.push_back(std::move(c));
    }
    addAutoClients(dir, all);
}

double runOnce(const fs::path &dir, int *created)
{
    ui::Dataset clientSet, slips, activities, track;
    clientSet.open(ui::EngineCursor::open(dir, "TWCLIENT"));
    clientSet.setTag(QStringLiteral("NAME"));
    slips.open(ui::EngineCursor::open(dir, "TWSLIP"));
    slips.setTag(QStringLiteral("SL_CLIENT"));
    activities.open(ui::EngineCursor::open(dir, "TWACT"));
    activities.setTag(QStringLiteral("ACTIVITY"));
    track.open(ui::EngineCursor::open(dir, "TWTRACK"));
    track.first();
    timecap::installSlipNumbering(slips, track, false);
    const platform::ManualClock clock(std::chrono::year{ 2026 } / 12 / 10);
    timecap::AutoBillingWalk walk({ clientSet, slips, activities }, clock);
    const auto start = Steady::now();
    const timecap::GenerateResult r = walk.generate({ QString(), QStringLiteral("Client 9"), 1, 3 });
    const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
    if (!r.engineMessage.isEmpty())
        std::fprintf(stderr, "engine error: %s\n", r.engineMessage.toLocal8Bit().constData());
    *created = r.created;
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int clients = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    QTemporaryDir temp(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/autobill-XXXXXX")
                                : QString());
    if (!temp.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    const fs::path base = temp.path().toStdString();
    std::printf("auto billing generation: %d clients x 5 slots, data on %s\n", clients,
        fileSystem(base));
    std::vector<double> rates;
    for (int run = 0; run < 3; ++run) {
        const fs::path dir = base / ("run" + std::to_string(run));
        fs::create_directories(dir);
        makePractice(dir, clients);
        int created = 0;
        const double seconds = runOnce(dir, &created);
        rates.push_back(created / seconds);
        std::printf("  run %d: %d slips in %.3f s, %.0f slips/s\n", run + 1, created, seconds,
            created / seconds);
        fs::remove_all(dir);
    }
    std::sort(rates.begin(), rates.end());
    std::printf("median: %.0f slips/s (goal: at least 1,000)\n", rates[1]);
    return 0;
}
