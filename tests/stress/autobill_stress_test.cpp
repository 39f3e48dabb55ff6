// Auto billing generation over 1,000 clients with five generating slots each while another
// program saves slips through the same slip counter. Both number through NEXTSLIP of TWTRACK:
// together they must have used exactly the numbers from the counter's old value to its new
// value less one, each once, and generation must have made one slip per generating slot.
// TARNW_STRESS_CLIENTS sets the number of clients. The data lives in memory-backed storage where
// the machine has it: this test is about the counter's lock, not about the disk's sync latency.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "auto_billing_data.h"
#include "dataset_dir.h"
#include "platform/clock.h"
#include "time/generate_rules.h"
#include "time/slip_numbering.h"
#include "ui/dataset.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The other program: saves slips of client "999999" through its own slip and counter datasets,
// numbered as the slip window numbers them, until the stop file appears; writes the numbers it
// used, one per line.
int slipSaver(const fs::path &dir)
{
    try {
        ui::Dataset slips, track;
        slips.open(ui::EngineCursor::open(dir, "TWSLIP"));
        slips.setTag(QStringLiteral("SL_Number"));
        track.open(ui::EngineCursor::open(dir, "TWTRACK"));
        track.first();
        timecap::installSlipNumbering(slips, track, true);
        std::ofstream out(dir / "saved");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        bool started = false;
        while (!fs::exists(dir / "stop") && std::chrono::steady_clock::now() < deadline) {
            slips.insert();
            slips.setValue(QStringLiteral("SL_CLIENT"), QStringLiteral("999999"));
            slips.setValue(QStringLiteral("SL_ACT"), QStringLiteral("FEE"));
            slips.setValue(QStringLiteral("SL_TOTAL"), 12.5);
            slips.post();
            out << std::int64_t(slips.value(QStringLiteral("SL_NUMBER")).toDouble()) << '\n';
            out.flush();
            if (!started) {
                started = true;
                std::ofstream(dir / "started") << 1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "slip saver: %s\n", e.what());
        return 2;
    }
}

// 1,000 clients in memory-backed storage; on a disk, where every post waits for the disk's
// sync, 100 keep the test within seconds.
int clientCount(bool inMemory)
{
    const char *n = std::getenv("TARNW_STRESS_CLIENTS");
    return n ? std::max(1, std::atoi(n)) : inMemory ? 1000 : 100;
}

TEST(AutoBillingStress, GenerationAndAnotherProgramShareTheSlipCounterWithoutGapOrRepeat)
{
    const bool inMemory = !std::getenv("TMPDIR") && fs::is_directory("/dev/shm");
    if (inMemory)
        ::setenv("TMPDIR", "/dev/shm", 1);
    const int clients = clientCount(inMemory);
    DatasetDir dir;
    addAutoActivities(dir.path(), { { "FEE", "T", "Y", 5 }, { "RETAIN", "T", "N", 0 } });
    std::vector<AutoClient> all;
    for (int i = 0; i < clients; ++i) {
        AutoClient c{ std::to_string(100001 + i), "Client " + std::to_string(100000 + i), {}, 1 };
        for (int s = 0; s < 5; ++s)
            c.autoSlots.push_back(autoSlot(s % 2 ? "FEE" : "RETAIN", 1 + s, 1, 40, 40));
        all.push_back(std::move(c));
    }
    addAutoClients(dir.path(), all);
    const double oldNext = std::max(1.0, nextSlipOnFile(dir.path()));

    // The other program starts before this one opens anything, so it shares no file handle.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(slipSaver(dir.path()));
    for (int i = 0; i < 2000 && !fs::exists(dir.path() / "started"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));

    ui::Dataset clientSet, slips, activities, track;
    dir.open(clientSet, "TWCLIENT", QStringLiteral("NAME"));
    dir.open(slips, "TWSLIP", QStringLiteral("SL_CLIENT"));
    dir.open(activities, "TWACT", QStringLiteral("ACTIVITY"));
    dir.open(track, "TWTRACK");
    timecap::installSlipNumbering(slips, track, false);
    const platform::ManualClock clock(std::chrono::year{ 2026 } / 12 / 10);
    timecap::AutoBillingWalk walk({ clientSet, slips, activities }, clock);
    std::vector<std::int64_t> generated;
    walk.OnCreated = [&](int) {
        generated.push_back(std::int64_t(slips.value(QStringLiteral("SL_NUMBER")).toDouble()));
    };
    const timecap::GenerateResult result = walk.generate({ QString(), QStringLiteral("Client 9"), 1, 5 });

    std::ofstream(dir.path() / "stop") << 1;
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    EXPECT_TRUE(result.engineMessage.isEmpty()) << result.engineMessage.toStdString();
    EXPECT_EQ(result.created, clients * 5);
    ASSERT_EQ(generated.size(), std::size_t(clients) * 5);
    std::vector<std::int64_t> saved;
    std::ifstream in(dir.path() / "saved");
    for (std::int64_t n; in >> n;)
        saved.push_back(n);
    EXPECT_GT(saved.size(), 0u);
    std::printf("generated %zu slips while the other program saved %zu\n", generated.size(),
        saved.size());

    const double newNext = nextSlipOnFile(dir.path());
    std::multiset<std::int64_t> used(generated.begin(), generated.end());
    used.insert(saved.begin(), saved.end());
    ASSERT_EQ(double(used.size()), newNext - oldNext);
    std::int64_t expected = std::int64_t(oldNext);
    for (std::int64_t n : used)
        ASSERT_EQ(n, expected++) << "a number used twice or skipped";

    // What is on file is what both programs said they saved.
    ui::Dataset check;
    dir.open(check, "TWSLIP", QStringLiteral("SL_Number"));
    EXPECT_EQ(check.recordCount(), used.size());
}

} // namespace
