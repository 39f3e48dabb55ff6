#include <fstream>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/table.h"
#include "store/maintenance.h"
#include "store/schema.h"
#include "store/startup_check.h"
#include "temp_dir.h"
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

// A data directory started from the built templates.
class Maintenance : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const auto &entry : fs::directory_iterator(fs::path(TARNW_BINARY_DIR) / "templates"))
            fs::copy_file(entry.path(), dir() / entry.path().filename());
        store::StartupCheck(dir()).restoreMissingFiles();
    }
    const fs::path &dir() const { return m_dir.path(); }

    // Appends `count` slips numbered 1.. with a memo each, then deletes every `deleteEvery`th.
    void addSlips(int count, int deleteEvery)
    {
        auto table = dbf::Table::open(dir(), "TWSLIP", dbf::OpenMode::Shared);
        dbf::Cursor c(*table);
        for (int n = 1; n <= count; ++n) {
            c.append();
            c.setInteger("SL_NUMBER", n);
            c.setText("SL_CLIENT", "1001");
            c.setMemo("SL_DESCCLN", std::string(700, static_cast<char>('a' + n % 26)));
            c.post();
        }
        for (bool ok = c.first(); ok;) {
            if (c.integer("SL_NUMBER") % deleteEvery == 0) {
                c.remove();
                ok = !c.isEmpty() && !c.eof();
            } else {
                ok = c.next();
            }
        }
    }

    TempDir m_dir;
};

TEST_F(Maintenance, PackAllRemovesDeletedRecordsAndKeepsCounters)
{
    addSlips(30, 3);
    const auto dbtBefore = fs::file_size(dir() / "TWSLIP.DBT");
    std::vector<std::string> seen;
    const store::PackResult result =
        store::packAll(dir(), [&](std::string_view table, std::size_t packed) {
            seen.push_back(std::string(table));
            EXPECT_EQ(packed, seen.size());
        });
    EXPECT_EQ(result.packed, 11u);
    EXPECT_FALSE(result.failedTable);
    EXPECT_EQ(seen.size(), 11u);
    EXPECT_EQ(seen.back(), "MENU");

    auto slips = dbf::Table::open(dir(), "TWSLIP", dbf::OpenMode::Shared);
    EXPECT_EQ(slips->recordCount(), 20u);
    EXPECT_LT(fs::file_size(dir() / "TWSLIP.DBT"), dbtBefore);
    dbf::Cursor c(*slips);
    int live = 0;
    for (bool ok = c.first(); ok; ok = c.next()) {
        EXPECT_NE(c.integer("SL_NUMBER") % 3, 0);
        EXPECT_EQ(c.memo("SL_DESCCLN").size(), 700u);
        ++live;
    }
    EXPECT_EQ(live, 20);
    auto track = dbf::Table::open(dir(), "TWTRACK", dbf::OpenMode::Shared);
    dbf::Cursor counters(*track);
    ASSERT_TRUE(counters.first());
    EXPECT_EQ(counters.integer("NEXTCLIENT"), 1001);
    auto menu = dbf::Table::open(dir(), "MENU", dbf::OpenMode::Shared);
    EXPECT_EQ(menu->recordCount(), 20u);
}

TEST_F(Maintenance, PackStopsAtATableInUseAndLeavesTheRestAlone)
{
    addSlips(6, 2);
    auto holder = dbf::Table::open(dir(), "TWSLIP", dbf::OpenMode::Shared);
    std::size_t calls = 0;
    const store::PackResult result =
        store::packAll(dir(), [&](std::string_view, std::size_t) { ++calls; });
    EXPECT_EQ(result.packed, 2u); // TWACT and TWEMPLOY come before TWSLIP
    EXPECT_EQ(calls, 2u);
    ASSERT_TRUE(result.failedTable);
    EXPECT_EQ(*result.failedTable, "TWSLIP");
    EXPECT_EQ(result.error.rfind("Table is busy", 0), 0u) << result.error;
    EXPECT_EQ(holder->recordCount(), 6u);
    EXPECT_THROW(store::packTable(dir(), "TWSLIP"), dbf::TableBusy);
    holder.reset();
    EXPECT_NO_THROW(store::packTable(dir(), "twslip"));
    EXPECT_EQ(dbf::Table::open(dir(), "TWSLIP", dbf::OpenMode::Shared)->recordCount(), 3u);
}

TEST_F(Maintenance, ReindexDeletesIndexFilesExceptOfTablesInUse)
{
    for (const store::TableDef &def : store::tables())
        std::ofstream(dir() / def.mdxName()) << "index";
    auto holder = dbf::Table::open(dir(), "TWPMT", dbf::OpenMode::Shared);
    fs::remove(dir() / "TWEMPMS.MDX"); // already missing: nothing to report
    const auto kept = store::deleteIndexFiles(dir());
    EXPECT_EQ(kept, std::vector<std::string>{ "TWPMT.MDX" });
    for (const store::TableDef &def : store::tables()) {
        const bool expected = def.name == "TWPMT" || !def.hasIndex();
        EXPECT_EQ(fs::exists(dir() / def.mdxName()), expected) << def.name;
    }
    holder.reset();
    EXPECT_TRUE(store::deleteIndexFiles(dir()).empty());
    EXPECT_FALSE(fs::exists(dir() / "TWPMT.MDX"));
}

} // namespace
