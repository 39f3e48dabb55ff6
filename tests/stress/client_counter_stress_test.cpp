// Clients added on the main window's data while another program takes slip numbers from the same
// TWTRACK record in a loop, holding it a few milliseconds each time. Every client is stored
// without a message, NEXTCLIENT ends one past the last client, and no slip number the other
// program took is lost to a stale write of the shared record.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <QCoreApplication>

#include "app/client_rules.h"
#include "app/main_data.h"
#include "app/startup.h"
#include "dataset_dir.h"
#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/table.h"
#include "platform/clock.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kClients = 25;

// The other program: takes NEXTSLIP (lock, read, hold, write plus one, post) until the stop
// file appears, then writes how many numbers it took. Engine calls only, no Qt.
int slipTaker(const fs::path &dir)
{
    try {
        auto track = dbf::Table::open(dir, "TWTRACK", dbf::OpenMode::Shared);
        dbf::Cursor c(*track);
        c.first();
        long taken = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!fs::exists(dir / "stop") && std::chrono::steady_clock::now() < deadline) {
            try {
                c.edit();
            } catch (const dbf::RecordLocked &) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            const std::int64_t number = c.integer("NEXTSLIP");
            std::this_thread::sleep_for(std::chrono::milliseconds(3)); // a slow copy's hold
            c.setInteger("NEXTSLIP", number + 1);
            c.post();
            ++taken;
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
        std::ofstream(dir / "taken") << taken;
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "slip taker: %s\n", e.what());
        return 2;
    }
}

double counter(const fs::path &dir, const char *field)
{
    auto t = dbf::Table::open(dir, "TWTRACK", dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    c.first();
    return c.number(c.fieldIndex(field));
}

TEST(ClientCounterStress, ClientsAddedWhileAnotherProgramTakesSlipNumbers)
{
    static int argc = 1;
    static char name[] = "client_counter_stress_test";
    static char *argv[] = { name, nullptr };
    const QCoreApplication application(argc, argv);
    DatasetDir dir;
    const double firstSlip = counter(dir.path(), "NEXTSLIP");
    // The other program starts before this one opens anything, so it shares no file handle.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(slipTaker(dir.path()));

    app::MainData data;
    ui::ScriptedMessages messages;
    const std::string path = dir.path().string() + "/";
    app::Startup(data, messages)
        .run([path](std::string_view s, std::string_view k) -> std::optional<std::string> {
            if (s == "Drive" && k == "Path")
                return path;
            return std::nullopt;
        });
    const platform::ManualClock clock(std::chrono::year{ 2026 } / 12 / 10);
    app::ClientRules rules(data, messages, clock);
    rules.attach();

    QString last;
    for (int i = 0; i < kClients; ++i) {
        last = rules.proposedNumber();
        ASSERT_TRUE(rules.add(last)) << messages.texts().join(u'\n').toStdString();
        data.clients().setValue(QStringLiteral("NAME"), QStringLiteral("Client %1").arg(i));
        ASSERT_TRUE(rules.navigatorPost()) << messages.texts().join(u'\n').toStdString();
        ASSERT_TRUE(messages.shown().isEmpty()) << messages.texts().join(u'\n').toStdString();
    }
    std::ofstream(dir.path() / "stop") << 1;
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    long taken = 0;
    std::ifstream(dir.path() / "taken") >> taken;
    EXPECT_GT(taken, 0);
    EXPECT_EQ(last, QStringLiteral("%1").arg(1001 + kClients - 1));
    EXPECT_EQ(counter(dir.path(), "NEXTCLIENT"), 1001.0 + kClients);
    EXPECT_EQ(counter(dir.path(), "NEXTSLIP"), firstSlip + double(taken));
    auto clients = dbf::Table::open(dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
    EXPECT_EQ(clients->recordCount(), dbf::RecNo(kClients));
}

} // namespace
