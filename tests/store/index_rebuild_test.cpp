#include <fstream>
#include <iterator>

#include "dbf/cursor.h"
#include "dbf/date.h"
#include "dbf/errors.h"
#include "dbf/mdx_check.h"
#include "dbf/table.h"
#include "store/data_files.h"
#include "store/schema.h"
#include "store/startup_check.h"
#include "store/store_error.h"
#include "temp_dir.h"
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

std::string upper(std::string s)
{
    for (char &c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string bytesOf(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

// A data directory made from the built templates, its tables restored.
class IndexRebuild : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const auto &entry : fs::directory_iterator(fs::path(TARNW_BINARY_DIR) / "templates"))
            fs::copy_file(entry.path(), dir() / entry.path().filename());
        store::StartupCheck(dir()).restoreMissingFiles();
    }
    const fs::path &dir() const { return m_dir.path(); }

    // The tags of a table's index as the engine reports them: NAME=expression.
    Names tagsOf(std::string_view table)
    {
        auto t = dbf::Table::open(dir(), table, dbf::OpenMode::Shared);
        Names out;
        for (const dbf::TagInfo &tag : t->tags())
            out.push_back(tag.name + "=" + tag.expression);
        return out;
    }
    static Names schemaTags(std::string_view table)
    {
        Names out;
        for (const store::TagDef &tag : store::table(table).tags)
            out.push_back(upper(tag.name) + "=" + tag.key);
        return out;
    }
    void addSlips()
    {
        auto t = dbf::Table::open(dir(), "TWSLIP", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        struct Slip
        {
            double number;
            const char *client;
            int day;
        };
        for (const Slip &s : { Slip{ 1, "1002", 9 }, Slip{ 2, "1001", 3 }, Slip{ 3, "1002", 1 } }) {
            c.append();
            c.setNumber(c.fieldIndex("SL_NUMBER"), s.number);
            c.setText(c.fieldIndex("SL_CLIENT"), s.client);
            c.setDate(c.fieldIndex("SL_DATEBEG"), dbf::Date(2026, 3, s.day));
            c.setNumber(c.fieldIndex("SL_INVOICE"), -1);
            c.post();
        }
    }

    TempDir m_dir;
};

TEST_F(IndexRebuild, TemplatesOnlyGiveNineIndexFilesWithEveryTagInOrderAndCheckClean)
{
    store::StartupCheck check(dir());
    check.rebuildMissingIndexes();
    const Names expectedFiles = { "TWACT.MDX", "TWCLIENT.MDX", "TWEMPLOY.MDX", "TWPROJCT.MDX",
        "TWSLIP.MDX", "TWINVOIC.MDX", "TWPMT.MDX", "TWEMPMS.MDX", "MENU.MDX" };
    EXPECT_EQ(check.report().rebuiltIndexFiles, expectedFiles);
    std::size_t tagCount = 0;
    for (const store::TableDef &def : store::tables()) {
        SCOPED_TRACE(def.name);
        EXPECT_EQ(fs::exists(dir() / def.mdxName()), def.hasIndex());
        EXPECT_EQ(tagsOf(def.name), schemaTags(def.name));
        tagCount += def.tags.size();
        auto t = dbf::Table::open(dir(), def.name, dbf::OpenMode::Shared);
        EXPECT_EQ(t->hasProductionIndex(), def.hasIndex());
        EXPECT_EQ(dbf::checkIndex(*t), Names{});
    }
    EXPECT_EQ(tagCount, 26u);
    EXPECT_EQ(check.report().addedTags.size(), 26u);
    // MENU's rows from the template are all in its tags.
    auto menu = dbf::Table::open(dir(), "MENU", dbf::OpenMode::Shared);
    dbf::Cursor c(*menu);
    c.setTag("KEY");
    EXPECT_EQ(c.recordCount(), 20u);
    EXPECT_TRUE(c.findKey(c.makeKey({ "O21" })));

    store::StartupCheck again(dir());
    again.rebuildMissingIndexes();
    EXPECT_TRUE(again.report().rebuiltIndexFiles.empty());
}

TEST_F(IndexRebuild, DeletingOnlyTheSlipIndexRebuildsExactlyItsNineTags)
{
    store::StartupCheck(dir()).rebuildMissingIndexes();
    addSlips();
    Names before;
    for (std::string_view name : store::indexCheckOrder())
        before.push_back(bytesOf(dir() / store::table(name).mdxName()));
    fs::remove(dir() / "TWSLIP.MDX");

    store::StartupCheck check(dir());
    check.rebuildMissingIndexes();
    EXPECT_EQ(check.report().rebuiltIndexFiles, Names{ "TWSLIP.MDX" });
    EXPECT_EQ(check.report().addedTags.size(), 9u);
    EXPECT_EQ(tagsOf("TWSLIP"), schemaTags("TWSLIP"));
    std::size_t i = 0;
    for (std::string_view name : store::indexCheckOrder()) {
        if (name != "TWSLIP") {
            EXPECT_EQ(bytesOf(dir() / store::table(name).mdxName()), before[i]) << name;
        }
        ++i;
    }
    auto slips = dbf::Table::open(dir(), "TWSLIP", dbf::OpenMode::Shared);
    EXPECT_EQ(dbf::checkIndex(*slips), Names{});
    dbf::Cursor c(*slips);
    c.setTag("SL_CDATE");
    Names order;
    for (bool ok = c.first(); ok; ok = c.next())
        order.push_back(std::to_string(c.integer(c.fieldIndex("SL_NUMBER"))));
    EXPECT_EQ(order, (Names{ "2", "3", "1" }));
}

TEST_F(IndexRebuild, SlipIndexWithoutTheDateTagGainsItOnceAndKeepsItsRecords)
{
    {
        auto t = dbf::Table::open(dir(), "TWSLIP", dbf::OpenMode::Exclusive);
        for (const store::TagDef &tag : store::table("TWSLIP").tags)
            if (tag.name != "SL_CDate")
                t->addTag(tag.name, tag.key, { tag.unique, tag.primary, tag.expression });
    }
    addSlips();
    {
        auto t = dbf::Table::open(dir(), "TWSLIP", dbf::OpenMode::Shared);
        EXPECT_FALSE(store::StartupCheck::hasSlipDateTag(*t));
        EXPECT_EQ(t->tags().size(), 8u);
    }
    store::StartupCheck check(dir());
    check.rebuildMissingIndexes();
    EXPECT_EQ(std::count(check.report().rebuiltIndexFiles.begin(),
                  check.report().rebuiltIndexFiles.end(), "TWSLIP.MDX"),
        0);

    store::StartupCheck::addSlipDateTag(dir());
    auto t = dbf::Table::open(dir(), "TWSLIP", dbf::OpenMode::Shared);
    EXPECT_TRUE(store::StartupCheck::hasSlipDateTag(*t));
    EXPECT_EQ(t->tags().size(), 9u);
    EXPECT_EQ(t->tags().back().name, "SL_CDATE");
    EXPECT_EQ(dbf::checkIndex(*t), Names{});
}

TEST_F(IndexRebuild, DateTagIsRecognisedByItsExactExpressionOnly)
{
    struct Case
    {
        const char *expression;
        bool found;
    };
    for (const Case &c : { Case{ "SL_CLIENT+DTOS(SL_DATEBEG)", true },
             Case{ "sl_client+dtos(sl_datebeg)", false }, Case{ "SL_CLIENT", false } }) {
        SCOPED_TRACE(c.expression);
        fs::remove(dir() / "TWSLIP.MDX");
        store::clearProductionIndexFlag(dir() / "TWSLIP.DBF");
        auto t = dbf::Table::open(dir(), "TWSLIP", dbf::OpenMode::Exclusive);
        t->addTag("Other", c.expression, { .expression = true });
        EXPECT_EQ(store::StartupCheck::hasSlipDateTag(*t), c.found);
    }
}

TEST_F(IndexRebuild, TableInUseEndsWithTheTagNamedAfterTheTablesBeforeIt)
{
    {
        auto busy = dbf::Table::open(dir(), "TWPROJCT", dbf::OpenMode::Shared);
        store::StartupCheck check(dir());
        try {
            check.rebuildMissingIndexes();
            ADD_FAILURE() << "no error";
        } catch (const store::StoreError &e) {
            const std::string what = e.what();
            EXPECT_NE(what.find("Client_Cod"), std::string::npos) << what;
            EXPECT_NE(what.find("TWPROJCT.DBF"), std::string::npos) << what;
            EXPECT_NE(what.find("Table is busy"), std::string::npos) << what;
        }
        // TWACT, TWCLIENT and TWEMPLOY come first and are done.
        EXPECT_EQ(check.report().rebuiltIndexFiles,
            (Names{ "TWACT.MDX", "TWCLIENT.MDX", "TWEMPLOY.MDX" }));
        EXPECT_FALSE(fs::exists(dir() / "TWPROJCT.MDX"));
    }
}

TEST_F(IndexRebuild, SlipDateTagOnATableInUseIsRefusedByName)
{
    auto busy = dbf::Table::open(dir(), "TWSLIP", dbf::OpenMode::Shared);
    try {
        store::StartupCheck::addSlipDateTag(dir());
        ADD_FAILURE() << "no error";
    } catch (const store::StoreError &e) {
        EXPECT_NE(std::string(e.what()).find("SL_CDate"), std::string::npos) << e.what();
    }
}

} // namespace
