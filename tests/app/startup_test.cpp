#include <map>

#include "app/main_data.h"
#include "app/startup.h"
#include "data_dir.h"
#include "dbf/mdx_check.h"
#include "store/data_files.h"
#include "store/startup_check.h"
#include "store/store_error.h"
#include "ui/engine_cursor.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using Settings = std::map<std::pair<std::string, std::string>, std::string>;

store::Settings::Lookup lookup(const Settings &values)
{
    return [values](std::string_view section, std::string_view key) -> std::optional<std::string> {
        const auto it = values.find({ std::string(section), std::string(key) });
        if (it == values.end())
            return std::nullopt;
        return it->second;
    };
}

TEST(Startup, TemplatesOnlyStartAsAnEmptySystemWithEveryCursorOpen)
{
    DataDir dir;
    app::MainData data;
    ui::ScriptedMessages messages;
    app::Startup startup(data, messages);
    ASSERT_EQ(startup.run(lookup({ { { "Drive", "Path" }, dir.directory() } })),
        app::Startup::Outcome::Started);
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_EQ(startup.report().restoredFiles.size(), 14u);
    EXPECT_EQ(startup.report().rebuiltIndexFiles.size(), 9u);
    EXPECT_FALSE(startup.slipTagRepaired());
    for (const auto &def : app::MainData::cursorDefs()) {
        SCOPED_TRACE(def.name);
        EXPECT_TRUE(data.isOpen(def.cursor));
        EXPECT_EQ(data.dataset(def.cursor).tag().toUpper(), QString::fromLatin1(def.tag));
    }
    EXPECT_EQ(data.dataset(app::MainData::MenuTable).recordCount(), 20u);
    EXPECT_EQ(
        data.dataset(app::MainData::TrackTable).value(QStringLiteral("NEXTCLIENT")).toInt(), 1001);
    EXPECT_TRUE(data.clients().isEmpty());
    EXPECT_EQ(data.currentClientNumber(), QString());
    // Every table's index checks clean after the start.
    for (const char *table : { "TWACT", "TWCLIENT", "TWEMPLOY", "TWPROJCT", "TWSLIP", "TWINVOIC",
             "TWPMT", "TWEMPMS", "MENU" }) {
        auto t = dbf::Table::open(dir.path(), table, dbf::OpenMode::Shared);
        EXPECT_EQ(dbf::checkIndex(*t), std::vector<std::string>{}) << table;
    }
}

TEST(Startup, SettingsAreCutToTheirLimitsAndPathWithOrWithoutSeparatorGivesTheSameFiles)
{
    DataDir dir;
    std::string plain = dir.path().string();
    struct Case
    {
        std::string path;
    };
    for (const Case &c : { Case{ plain }, Case{ plain + "/" }, Case{ plain + "\\" } }) {
        SCOPED_TRACE(c.path);
        app::MainData data;
        ui::ScriptedMessages messages;
        app::Startup startup(data, messages);
        ASSERT_EQ(
            startup.run(lookup({ { { "Drive", "Path" }, c.path },
                { { "Settings", "ReportFont" }, "Liberation Serif Condensed Bold" },
                { { "Settings", "Login Name" }, "ABCD" }, { { "Settings", "Hints" }, "0" } })),
            app::Startup::Outcome::Started);
        EXPECT_EQ(data.state().dataDirectory, plain + "/");
        EXPECT_EQ(data.state().reportFont, QStringLiteral("Liberation Serif Con"));
        EXPECT_EQ(data.state().loginName, QStringLiteral("ABC"));
        EXPECT_FALSE(data.state().hints);
        auto *cursor = dynamic_cast<ui::EngineCursor *>(data.clients().cursor());
        ASSERT_NE(cursor, nullptr);
        EXPECT_EQ(cursor->table().path().parent_path(), dir.path());
    }
    // Only the first start restored anything: the three starts used one set of files.
    int dbfCount = 0;
    for (const auto &entry : fs::directory_iterator(dir.path()))
        dbfCount += entry.path().extension() == ".DBF";
    EXPECT_EQ(dbfCount, 11);
}

TEST(Startup, TableHeldExclusivelyWarnsAndLeavesEveryCursorClosed)
{
    DataDir dir;
    {
        app::MainData first;
        ui::ScriptedMessages m;
        app::Startup(first, m).run(lookup({ { { "Drive", "Path" }, dir.directory() } }));
    }
    for (const char *held : { "TWCLIENT", "TWPMT", "MENU" }) {
        SCOPED_TRACE(held);
        auto exclusive = dbf::Table::open(dir.path(), held, dbf::OpenMode::Exclusive);
        app::MainData data;
        ui::ScriptedMessages messages;
        app::Startup startup(data, messages);
        EXPECT_EQ(startup.run(lookup({ { { "Drive", "Path" }, dir.directory() } })),
            app::Startup::Outcome::Busy);
        ASSERT_EQ(messages.shown().size(), 1);
        EXPECT_EQ(messages.shown()[0].kind, ui::MessageKind::Warning);
        EXPECT_EQ(messages.shown()[0].caption, QStringLiteral("Warning"));
        EXPECT_TRUE(messages.shown()[0].text.contains(QStringLiteral("Another user is working")));
        for (const auto &def : app::MainData::cursorDefs())
            EXPECT_FALSE(data.isOpen(def.cursor)) << def.name;
    }
}

TEST(Startup, SlipIndexWithoutTheDateTagIsRepairedAndBothSlipCursorsReopen)
{
    DataDir dir;
    store::StartupCheck check(dir.path());
    check.restoreMissingFiles();
    check.rebuildMissingIndexes();
    fs::remove(dir.path() / "TWSLIP.MDX");
    store::clearProductionIndexFlag(dir.path() / "TWSLIP.DBF");
    {
        auto t = dbf::Table::open(dir.path(), "TWSLIP", dbf::OpenMode::Exclusive);
        t->addTag("SL_Client", "SL_CLIENT");
        t->addTag("SL_Invoice", "SL_INVOICE");
    }
    dir.addSlip(1, "1001", -1);

    app::MainData data;
    ui::ScriptedMessages messages;
    app::Startup startup(data, messages);
    ASSERT_EQ(startup.run(lookup({ { { "Drive", "Path" }, dir.directory() } })),
        app::Startup::Outcome::Started);
    EXPECT_TRUE(startup.slipTagRepaired());
    EXPECT_TRUE(data.isOpen(app::MainData::SlipTable));
    EXPECT_TRUE(data.isOpen(app::MainData::SlipShadowTable));
    EXPECT_EQ(data.dataset(app::MainData::SlipShadowTable).master(),
        &data.dataset(app::MainData::InvoiceTable));
    auto *cursor =
        dynamic_cast<ui::EngineCursor *>(data.dataset(app::MainData::SlipTable).cursor());
    ASSERT_NE(cursor, nullptr);
    EXPECT_TRUE(store::StartupCheck::hasSlipDateTag(cursor->table()));
    EXPECT_EQ(cursor->table().tags().size(), 3u);

    app::MainData again;
    app::Startup second(again, messages);
    second.run(lookup({ { { "Drive", "Path" }, dir.directory() } }));
    EXPECT_FALSE(second.slipTagRepaired());
}

TEST(Startup, MissingTableAndTemplateEndsWithTheFileNamed)
{
    DataDir dir;
    fs::remove(dir.path() / "TWEMPMS.~DB");
    app::MainData data;
    ui::ScriptedMessages messages;
    app::Startup startup(data, messages);
    try {
        startup.run(lookup({ { { "Drive", "Path" }, dir.directory() } }));
        ADD_FAILURE() << "no error";
    } catch (const store::StoreError &e) {
        EXPECT_NE(std::string(e.what()).find("TWEMPMS.DBF"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(data.isOpen(app::MainData::ClientTable));
}

} // namespace
