// Packing every table of a started program, with its backup, and the check Reindex makes first:
// through real tables, with real second processes holding tables open.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

#include "app/file_maintenance.h"
#include "app/main_data.h"
#include "app/startup.h"
#include "data_dir.h"
#include "dbf/errors.h"
#include "held_by_another_program.h"
#include "platform/clock.h"
#include "store/schema.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using app::FileMaintenance;
using app::MainData;
using Bytes = std::map<std::string, std::string>; // file name -> contents

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

// The table, memo and index files of a folder.
Bytes tableFiles(const fs::path &folder)
{
    Bytes files;
    for (const auto &entry : fs::directory_iterator(folder)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".DBF" || ext == ".DBT" || ext == ".MDX")
            files[entry.path().filename().string()] = readFile(entry.path());
    }
    return files;
}

// How many of the eleven tables another program fails to open shared.
int refusedToAnotherProgram(const fs::path &directory)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        dropInheritedTables(directory);
        int refused = 0;
        for (const store::TableDef &def : store::tables()) {
            try {
                dbf::Table::open(directory, def.name, dbf::OpenMode::Shared);
            } catch (...) {
                ++refused;
            }
        }
        ::_exit(refused);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A started program over three clients (1002 deleted) and six slips with memos (2 and 5
// deleted), NEXTSLIP at 7.
class FileMaintenanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        {
            MainData first;
            start(first);
        }
        m_dir.addClient("1001", "Baker");
        m_dir.addClient("1002", "Adams");
        m_dir.addClient("1003", "Carter");
        for (int n = 1; n <= 6; ++n)
            m_dir.addSlip(n, n % 2 ? "1001" : "1003", -1);
        auto slips = dbf::Table::open(m_dir.path(), "TWSLIP", dbf::OpenMode::Shared);
        dbf::Cursor s(*slips);
        for (bool at = s.first(); at; at = s.next()) {
            s.edit();
            s.setMemo("SL_DESCINT", "work of slip " + std::to_string(s.integer("SL_NUMBER")));
            s.post();
        }
        for (bool at = s.first(); at; at = s.next())
            if (s.integer("SL_NUMBER") == 2 || s.integer("SL_NUMBER") == 5)
                s.remove();
        auto clients = dbf::Table::open(m_dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
        dbf::Cursor c(*clients);
        for (bool at = c.first(); at; at = c.next())
            if (c.text("NUMBER") == "1002")
                c.remove();
        auto track = dbf::Table::open(m_dir.path(), "TWTRACK", dbf::OpenMode::Shared);
        dbf::Cursor t(*track);
        t.first();
        t.edit();
        t.setInteger("NEXTSLIP", 7);
        t.post();
        start(m_data);
        m_messages.clear();
    }
    void start(MainData &data)
    {
        const std::string dir = m_dir.directory();
        ui::ScriptedMessages m;
        app::Startup(data, m).run(
            [dir](std::string_view s, std::string_view k) -> std::optional<std::string> {
                if (s == "Drive" && k == "Path")
                    return dir;
                return std::nullopt;
            });
    }
    std::size_t records(const char *table) const
    {
        return dbf::Table::open(m_dir.path(), table, dbf::OpenMode::Shared)->recordCount();
    }
    void expectEveryCursorOpen() const
    {
        for (const MainData::CursorDef &def : MainData::cursorDefs())
            EXPECT_TRUE(m_data.isOpen(def.cursor)) << def.name;
    }
    FileMaintenance maintenance() { return FileMaintenance(m_data, m_messages, m_clock); }

    DataDir m_dir;
    MainData m_data;
    ui::ScriptedMessages m_messages;
    platform::ManualClock m_clock{ std::chrono::year_month_day(2026y / 12 / 10), 14h + 5min + 12s };
};

TEST_F(FileMaintenanceTest, WholeRunPacksInOrderKeepsCountersBacksUpAndSharesAgain)
{
    ui::Dataset &clients = m_data.clients();
    ASSERT_TRUE(clients.findKey({ QStringLiteral("Carter") }));
    const Bytes before = tableFiles(m_dir.path());

    std::vector<std::pair<std::string, std::size_t>> steps;
    FileMaintenance rules = maintenance();
    const FileMaintenance::PackRun run = rules.pack(
        [&](std::string_view table, std::size_t packed) { steps.emplace_back(table, packed); });
    rules.report(run);
    rules.findClient(QStringLiteral("1003"));

    ASSERT_EQ(steps.size(), FileMaintenance::tableCount());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].first, store::packOrder()[i]);
        EXPECT_EQ(steps[i].second, i + 1);
    }
    EXPECT_EQ(steps.back(), std::make_pair(std::string("MENU"), std::size_t(11)));
    EXPECT_EQ(m_messages.texts(), QStringList{ FileMaintenance::completeText() });
    EXPECT_EQ(m_messages.shown().front().kind, ui::MessageKind::Information);

    // Deleted rows gone, memos still their slips', counters as they were.
    EXPECT_EQ(records("TWSLIP"), 4u);
    EXPECT_EQ(records("TWCLIENT"), 2u);
    auto slips = dbf::Table::open(m_dir.path(), "TWSLIP", dbf::OpenMode::Shared);
    dbf::Cursor s(*slips);
    std::vector<std::int64_t> numbers;
    for (bool at = s.first(); at; at = s.next()) {
        numbers.push_back(s.integer("SL_NUMBER"));
        EXPECT_EQ(s.memo("SL_DESCINT"), "work of slip " + std::to_string(numbers.back()));
    }
    EXPECT_EQ(numbers, (std::vector<std::int64_t>{ 1, 3, 4, 6 }));
    EXPECT_EQ(m_data.dataset(MainData::TrackTable).value(QStringLiteral("NEXTSLIP")).toInt(), 7);

    // Every table shared again: this program's cursors and another program's opens.
    expectEveryCursorOpen();
    EXPECT_EQ(refusedToAnotherProgram(m_dir.path()), 0);
    // The client shown is found again by its number, though its record moved.
    EXPECT_EQ(clients.text(QStringLiteral("NUMBER")), QStringLiteral("1003"));
    EXPECT_EQ(m_data.state().rememberedClient, clients.bookmark());

    // The backup holds every file as it was before packing.
    EXPECT_EQ(run.backupFolder, m_dir.path() / "backup" / "2026-12-10_140512");
    EXPECT_EQ(tableFiles(run.backupFolder), before);
    EXPECT_NE(tableFiles(m_dir.path()).at("TWSLIP.DBF"), before.at("TWSLIP.DBF"));
}

TEST_F(FileMaintenanceTest, OnlyTheFiveNewestBackupsRemainWithTheDataDirectorysPermissions)
{
    fs::permissions(m_dir.path(), fs::perms(0750));
    std::vector<std::string> folders;
    for (int run = 0; run < 7; ++run) {
        if (run == 1)
            fs::create_directories(m_dir.path() / "backup" / "kept by hand");
        if (run != 3) // run 3 starts in the second of run 2
            m_clock.advance(1s);
        const FileMaintenance::PackRun r = maintenance().pack();
        ASSERT_FALSE(r.failedTable) << r.failure.toStdString();
        folders.push_back(r.backupFolder.filename().string());
    }
    EXPECT_EQ(folders[2], "2026-12-10_140515");
    EXPECT_EQ(folders[3], "2026-12-10_140515_2");

    std::vector<std::string> left;
    for (const auto &entry : fs::directory_iterator(m_dir.path() / "backup"))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected(folders.begin() + 2, folders.end());
    expected.push_back("kept by hand");
    EXPECT_EQ(left, expected);
    for (const fs::path &p : { m_dir.path() / "backup", m_dir.path() / "backup" / folders.back() })
        EXPECT_EQ(fs::status(p).permissions() & fs::perms::mask, fs::perms(0750)) << p;
    // Each copy keeps its file's permissions.
    EXPECT_EQ(fs::status(m_dir.path() / "backup" / folders.back() / "TWEMPMS.DBF").permissions(),
        fs::status(m_dir.path() / "TWEMPMS.DBF").permissions());
}

struct FailureCase
{
    const char *name;
    const char *heldTable; // another program holds it open; "" for none
    bool backupBlocked; // a file named "backup" stands where the folder goes
    std::size_t packed;
    const char *failedTable;
    const char *failureStart;
};

class PackFailure : public FileMaintenanceTest, public ::testing::WithParamInterface<FailureCase>
{
};

TEST_P(PackFailure, StopsTheRunAtItsTableAndLeavesThatTableAsItWas)
{
    const FailureCase &c = GetParam();
    if (c.backupBlocked)
        std::ofstream(m_dir.path() / "backup") << "in the way";
    std::optional<HeldByAnotherProgram> held;
    if (*c.heldTable)
        held.emplace(m_dir.path(), c.heldTable);
    const Bytes before = tableFiles(m_dir.path());

    FileMaintenance rules = maintenance();
    const FileMaintenance::PackRun run = rules.pack();
    rules.report(run);

    EXPECT_EQ(run.packed, c.packed);
    ASSERT_TRUE(run.failedTable);
    EXPECT_EQ(*run.failedTable, c.failedTable);
    EXPECT_TRUE(run.failure.startsWith(QString::fromLatin1(c.failureStart)))
        << run.failure.toStdString();
    EXPECT_TRUE(run.failure.contains(QString::fromLatin1(c.failedTable)));
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_EQ(m_messages.shown()[0].kind, ui::MessageKind::Error);
    EXPECT_EQ(m_messages.shown()[1].text, FileMaintenance::completeText());

    // The failed table and those after it are untouched; every cursor is open again.
    const Bytes after = tableFiles(m_dir.path());
    for (std::size_t i = c.packed; i < store::packOrder().size(); ++i) {
        const std::string dbfName = std::string(store::packOrder()[i]) + ".DBF";
        EXPECT_EQ(after.at(dbfName), before.at(dbfName)) << dbfName;
    }
    EXPECT_EQ(records("TWSLIP"), c.packed > 2 ? 4u : 6u);
    expectEveryCursorOpen();
    // The backup holds the tables packed before the failure, and nothing of the failed one.
    const std::string failed = std::string(c.failedTable) + ".";
    if (!run.backupFolder.empty())
        for (const auto &[file, bytes] : tableFiles(run.backupFolder)) {
            EXPECT_NE(file.rfind(failed, 0), 0u) << file;
            EXPECT_EQ(bytes, before.at(file)) << file;
        }
}

INSTANTIATE_TEST_SUITE_P(FileMaintenance, PackFailure,
    ::testing::Values(FailureCase{ "SlipsHeld", "TWSLIP", false, 2, "TWSLIP",
                          "Unable to Open files in Exclusive Mode" },
        FailureCase{
            "PaymentsHeld", "TWPMT", false, 7, "TWPMT", "Unable to Open files in Exclusive Mode" },
        FailureCase{
            "BackupBlocked", "", true, 0, "TWACT", "The backup copy of TWACT could not be made" }),
    [](const ::testing::TestParamInfo<FailureCase> &param) { return param.param.name; });

TEST_F(FileMaintenanceTest, ReindexGoesOnOnlyWhenNoOtherProgramHasATableOpen)
{
    {
        HeldByAnotherProgram held(m_dir.path(), "MENU");
        EXPECT_FALSE(maintenance().othersHaveNoTableOpen());
        EXPECT_EQ(m_messages.texts(), QStringList{ FileMaintenance::othersOpenText() });
        EXPECT_EQ(m_messages.shown().front().kind, ui::MessageKind::Warning);
        expectEveryCursorOpen();
    }
    m_messages.clear();
    EXPECT_TRUE(maintenance().othersHaveNoTableOpen());
    EXPECT_TRUE(m_messages.shown().isEmpty());
    for (const MainData::CursorDef &def : MainData::cursorDefs())
        EXPECT_FALSE(m_data.isOpen(def.cursor)) << def.name;
}

} // namespace
