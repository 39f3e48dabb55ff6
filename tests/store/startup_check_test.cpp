#include <fstream>

#include "dbf/errors.h"
#include "dbf/table.h"
#include "store/data_files.h"
#include "store/schema.h"
#include "store/startup_check.h"
#include "store/store_error.h"
#include "temp_dir.h"
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const Names kAllTablesAndMemos = { "TWCLIENT.DBF", "TWSLIP.DBF", "TWACT.DBF", "TWPROJCT.DBF",
    "TWEMPLOY.DBF", "TWSETUP.DBF", "TWTRACK.DBF", "TWPMT.DBF", "TWINVOIC.DBF", "TWEMPMS.DBF",
    "MENU.DBF", "TWCLIENT.DBT", "TWSLIP.DBT", "TWSETUP.DBT" };

// A data directory holding only the built templates.
class StartupFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const auto &entry : fs::directory_iterator(fs::path(TARNW_BINARY_DIR) / "templates"))
            fs::copy_file(entry.path(), dir() / entry.path().filename());
    }
    const fs::path &dir() const { return m_dir.path(); }
    std::uintmax_t size(const std::string &name) const { return fs::file_size(dir() / name); }

    TempDir m_dir;
};

TEST_F(StartupFiles, TemplatesOnlyRestoreEveryTableAndMemoInOrder)
{
    store::StartupCheck check(dir());
    check.restoreMissingFiles();
    EXPECT_EQ(check.report().restoredFiles, kAllTablesAndMemos);
    EXPECT_TRUE(check.report().staleIndexFiles.empty());
    for (const store::TableDef &def : store::tables()) {
        auto table = dbf::Table::open(dir(), def.name, dbf::OpenMode::Shared);
        EXPECT_EQ(table->layout().fields(), def.fields) << def.name;
        EXPECT_EQ(size(def.dbfName()), size(def.dbfTemplateName())) << def.name;
    }

    store::StartupCheck again(dir());
    again.restoreMissingFiles();
    EXPECT_TRUE(again.report().restoredFiles.empty());
    for (const auto &entry : fs::directory_iterator(dir()))
        EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos);
}

TEST_F(StartupFiles, ExistingFilesAreNeverTouchedEvenWhenEmpty)
{
    std::ofstream(dir() / "TWACT.DBF").close();
    std::ofstream(dir() / "TWSLIP.DBT") << "not a memo file";
    store::StartupCheck check(dir());
    check.restoreMissingFiles();
    EXPECT_EQ(size("TWACT.DBF"), 0u);
    EXPECT_EQ(size("TWSLIP.DBT"), 15u);
    EXPECT_EQ(check.report().restoredFiles.size(), kAllTablesAndMemos.size() - 2);
}

TEST_F(StartupFiles, FilesAreFoundInAnyCase)
{
    fs::copy_file(dir() / "TWCLIENT.~DB", dir() / "twclient.dbf");
    fs::rename(dir() / "MENU.~DB", dir() / "menu.~db");
    store::StartupCheck check(dir());
    check.restoreMissingFiles();
    EXPECT_FALSE(fs::exists(dir() / "TWCLIENT.DBF"));
    EXPECT_TRUE(fs::exists(dir() / "MENU.DBF"));
    EXPECT_EQ(check.report().restoredFiles.front(), "TWSLIP.DBF");
}

TEST_F(StartupFiles, MissingFileWithoutTemplateNamesBoth)
{
    struct Case
    {
        const char *removedTemplate;
        const char *file;
        std::size_t restoredBefore;
    };
    for (const Case &c :
        { Case{ "TWPMT.~DB", "TWPMT.DBF", 7 }, Case{ "TWSLIP.~DT", "TWSLIP.DBT", 12 } }) {
        SCOPED_TRACE(c.file);
        TempDir other;
        for (const auto &entry : fs::directory_iterator(dir()))
            if (entry.path().filename() != c.removedTemplate)
                fs::copy_file(entry.path(), other.path() / entry.path().filename());
        store::StartupCheck check(other.path());
        try {
            check.restoreMissingFiles();
            ADD_FAILURE() << "no error";
        } catch (const store::StoreError &e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(c.file), std::string::npos) << what;
            EXPECT_NE(what.find(c.removedTemplate), std::string::npos) << what;
        }
        EXPECT_EQ(check.report().restoredFiles.size(), c.restoredBefore);
        EXPECT_FALSE(fs::exists(other.path() / c.file));
    }
}

TEST_F(StartupFiles, RestoredTableLosesTheIndexOfTheTableItReplaces)
{
    std::ofstream(dir() / "TWSLIP.MDX") << "index of lost records";
    std::ofstream(dir() / "TWSETUP.MDX") << "not ours"; // TWSETUP has no index: left alone
    store::StartupCheck check(dir());
    check.restoreMissingFiles();
    EXPECT_EQ(check.report().staleIndexFiles, Names{ "TWSLIP.MDX" });
    EXPECT_FALSE(fs::exists(dir() / "TWSLIP.MDX"));
    EXPECT_TRUE(fs::exists(dir() / "TWSETUP.MDX"));
}

TEST_F(StartupFiles, EmptyDirectoryMeansTheCurrentDirectory)
{
    const fs::path before = fs::current_path();
    fs::current_path(dir());
    store::StartupCheck check("");
    EXPECT_NO_THROW(check.restoreMissingFiles());
    fs::current_path(before);
    EXPECT_EQ(check.report().restoredFiles, kAllTablesAndMemos);
    EXPECT_TRUE(fs::exists(dir() / "MENU.DBF"));
}

TEST_F(StartupFiles, ProductionFlagIsClearedInPlace)
{
    fs::copy_file(dir() / "TWACT.~DB", dir() / "TWACT.DBF");
    {
        std::fstream f(dir() / "TWACT.DBF", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(28);
        f.put(1);
    }
    const auto before = size("TWACT.DBF");
    EXPECT_TRUE(dbf::Table::open(dir(), "TWACT", dbf::OpenMode::Shared)->hasProductionIndex());
    store::clearProductionIndexFlag(dir() / "TWACT.DBF");
    EXPECT_FALSE(dbf::Table::open(dir(), "TWACT", dbf::OpenMode::Shared)->hasProductionIndex());
    EXPECT_EQ(size("TWACT.DBF"), before);

    std::ofstream(dir() / "SHORT.DBF") << "0123456789";
    EXPECT_THROW(store::clearProductionIndexFlag(dir() / "SHORT.DBF"), dbf::CorruptFile);
    EXPECT_EQ(size("SHORT.DBF"), 10u);
    EXPECT_THROW(store::clearProductionIndexFlag(dir() / "NONE.DBF"), dbf::IoError);
}

TEST_F(StartupFiles, TemplateCopyNeverReplacesAFileThatAppearedMeanwhile)
{
    std::ofstream(dir() / "TWACT.DBF") << "another program's copy";
    EXPECT_FALSE(store::copyNewFile(dir() / "TWSLIP.~DB", dir() / "TWACT.DBF"));
    EXPECT_EQ(size("TWACT.DBF"), 22u);
    EXPECT_TRUE(store::copyNewFile(dir() / "TWSLIP.~DB", dir() / "COPY.DBF"));
    EXPECT_EQ(size("COPY.DBF"), size("TWSLIP.~DB"));
    for (const auto &entry : fs::directory_iterator(dir()))
        EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos);
}

} // namespace
