#include <filesystem>
#include <map>
#include <set>

#include "dbf/cursor.h"
#include "dbf/table.h"
#include "store/schema.h"
#include "store/template_content.h"
#include "store/template_writer.h"
#include "temp_dir.h"
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

const fs::path kBuiltTemplates = fs::path(TARNW_BINARY_DIR) / "templates";

// Opens template NAME.~DB as a table by copying it (and its .~DT) under the real names.
std::unique_ptr<dbf::Table> openTemplate(
    const fs::path &templates, const store::TableDef &def, const fs::path &scratch)
{
    fs::copy_file(templates / def.dbfTemplateName(), scratch / def.dbfName());
    if (def.hasMemo())
        fs::copy_file(templates / def.dbtTemplateName(), scratch / def.dbtName());
    return dbf::Table::open(scratch / def.dbfName(), dbf::OpenMode::Shared);
}

std::map<std::string, std::string> record(dbf::Cursor &cursor)
{
    std::map<std::string, std::string> values;
    for (std::size_t i = 0; i < cursor.layout().fieldCount(); ++i)
        values[cursor.layout().field(i).name] = cursor.text(i);
    return values;
}

TEST(Templates, BuiltTemplatesMatchTheSchemaAndHoldOnlyTheirRows)
{
    std::set<std::string> expectedFiles;
    for (const store::TableDef &def : store::tables()) {
        SCOPED_TRACE(def.name);
        TempDir scratch;
        auto table = openTemplate(kBuiltTemplates, def, scratch.path());
        expectedFiles.insert(def.dbfTemplateName());
        if (def.hasMemo())
            expectedFiles.insert(def.dbtTemplateName());

        EXPECT_EQ(table->layout().fields(), def.fields);
        EXPECT_FALSE(table->hasProductionIndex());
        EXPECT_EQ(table->version(), def.hasMemo() ? 0x8B : 0x03);
        const std::size_t rows = def.name == "MENU"          ? store::menuOptions().size()
            : def.name == "TWSETUP" || def.name == "TWTRACK" ? 1u
                                                             : 0u;
        EXPECT_EQ(table->recordCount(), rows);
        EXPECT_EQ(table->liveRecordCount(), rows);
    }
    std::set<std::string> present;
    for (const auto &entry : fs::directory_iterator(kBuiltTemplates))
        present.insert(entry.path().filename().string());
    EXPECT_EQ(present, expectedFiles);
}

TEST(Templates, MenuHasOneUsedRowPerOptionCodeAtLevelOne)
{
    TempDir scratch;
    auto table = openTemplate(kBuiltTemplates, store::table("MENU"), scratch.path());
    dbf::Cursor cursor(*table);
    std::set<std::string> codes;
    for (bool ok = cursor.first(); ok; ok = cursor.next()) {
        const std::string code = cursor.text("MENU_KEY");
        EXPECT_TRUE(codes.insert(code).second) << code;
        EXPECT_EQ(code.size(), 3u);
        EXPECT_FALSE(cursor.text("MENU_DESC").empty()) << code;
        EXPECT_EQ(cursor.integer("MENU_ACCES"), store::kDefaultMenuLevel) << code;
        EXPECT_EQ(cursor.text("MENU_USED"), "Y") << code;
    }
    EXPECT_EQ(codes,
        (std::set<std::string>{ "E11", "E12", "E13", "E21", "E22", "E23", "E24", "E25", "E31",
            "F11", "O12", "O13", "O14", "O15", "O21", "O22", "V11", "V12", "V13", "V14" }));
}

TEST(Templates, SingleRecordsCarryCountersAndSetupDefaults)
{
    TempDir scratch;
    auto track = openTemplate(kBuiltTemplates, store::table("TWTRACK"), scratch.path());
    dbf::Cursor counters(*track);
    ASSERT_TRUE(counters.first());
    EXPECT_EQ(counters.integer("NEXTSLIP"), 1);
    EXPECT_EQ(counters.integer("NEXTINV"), 1);
    EXPECT_EQ(counters.integer("NEXTCLIENT"), 1001);

    auto setupTable = openTemplate(kBuiltTemplates, store::table("TWSETUP"), scratch.path());
    dbf::Cursor setup(*setupTable);
    ASSERT_TRUE(setup.first());
    const auto values = record(setup);
    EXPECT_EQ(values.at("INVSORT"), "By Project & Activity");
    EXPECT_EQ(values.at("INVFONT"), "Times New Roman");
    EXPECT_EQ(setup.memo("INVMESS1"), "Thank you for your business.");
    EXPECT_DOUBLE_EQ(setup.number("STARTTOTAL"), 9.5);
    EXPECT_EQ(values.at("COMPNAME"), "");
    for (const char *flag : { "SUBPROJ", "SUBACT", "PRINTHEAD", "PRINTGRAPH", "PRINTSHADE",
             "PRINTBOX", "PRINTDESC", "PRINTHOURS", "PRINTRATE", "PRINTPREVB" }) {
        const std::string v = values.at(flag);
        EXPECT_TRUE(v == "Y" || v == "N") << flag << "=" << v;
    }
}

TEST(Templates, RewritingReplacesTemplatesAndLeavesNoScratchBehind)
{
    TempDir dir;
    const auto first = store::writeTemplates(dir.path());
    EXPECT_EQ(first.size(), 14u);
    fs::resize_file(dir.path() / "TWTRACK.~DB", 10); // a damaged template is rewritten whole
    const auto second = store::writeTemplates(dir.path());
    EXPECT_EQ(second, first);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 14u);
    auto track = openTemplate(dir.path(), store::table("TWTRACK"), dir.path());
    EXPECT_EQ(track->recordCount(), 1u);
}

} // namespace
