#include "app/client_refresh.h"
#include "app/main_commands.h"
#include "app/main_data.h"
#include "app/shutdown.h"
#include "app/startup.h"
#include "app/toolbar_state.h"
#include "data_dir.h"
#include "platform/ini_file.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>

namespace {

using app::MainData;
using ui::MessageAnswer;

// A started program over a data directory with two clients, their slips, statements and
// payments.
class Started : public ::testing::Test
{
protected:
    void SetUp() override
    {
        {
            MainData first;
            ui::ScriptedMessages m;
            start(first, m);
        }
        if (withClients()) {
            m_dir.addClient("1001", "Baker & Sons");
            m_dir.addClient("1002", "Adams Hardware");
            m_dir.addSlip(1, "1001", -1);
            m_dir.addSlip(2, "1002", 7);
            m_dir.addSlip(3, "1001", 8);
            m_dir.addSlip(4, "1001", 8);
            m_dir.addInvoice(7, "1002");
            m_dir.addInvoice(8, "1001");
            m_dir.addPayment(8, "1001", 50);
            m_dir.addPayment(7, "1002", 20);
        }
        start(m_data, m_messages);
        m_data.state().accessLevel = 5;
    }
    virtual bool withClients() const { return true; }
    void start(MainData &data, ui::Messages &messages)
    {
        const std::string dir = m_dir.directory();
        app::Startup(data, messages)
            .run([dir](std::string_view s, std::string_view k) -> std::optional<std::string> {
                if (s == "Drive" && k == "Path")
                    return dir;
                return std::nullopt;
            });
    }
    QStringList column(MainData::Cursor cursor, const char *field)
    {
        ui::Dataset &ds = m_data.dataset(cursor);
        QStringList out;
        for (ds.first(); !ds.isEmpty(); ds.next()) {
            out << ds.text(QString::fromLatin1(field));
            if (ds.eof())
                break;
        }
        out.removeLast(); // next() at the last row stays there
        return out;
    }
    void setMenuLevel(const char *code, int level)
    {
        ui::Dataset &menu = m_data.dataset(MainData::MenuTable);
        ASSERT_TRUE(menu.findKey({ QString::fromLatin1(code) }));
        menu.setValue(QStringLiteral("MENU_ACCES"), level);
        menu.post();
    }

    DataDir m_dir;
    MainData m_data;
    ui::ScriptedMessages m_messages;
};

class Empty : public Started
{
protected:
    bool withClients() const override { return false; }
};

TEST_F(Started, ClientRefreshRestrictsSlipsAndStatementsToTheCurrentClient)
{
    app::ClientRefresh refresh(m_data);
    int recomputed = 0;
    refresh.recompute = [&] { ++recomputed; };
    ui::Dataset &clients = m_data.clients();
    clients.first(); // NAME order: Adams Hardware first
    refresh.run();
    EXPECT_EQ(m_data.currentClientNumber(), QStringLiteral("1002"));
    EXPECT_EQ(column(MainData::SlipTable, "SL_NUMBER"), QStringList{ QStringLiteral("2") });
    EXPECT_EQ(column(MainData::InvoiceTable, "INV_NUMBER"), QStringList{ QStringLiteral("7") });
    EXPECT_EQ(column(MainData::PaymentTable, "PMT_AMOUNT"), QStringList{ QStringLiteral("20") });

    clients.next();
    EXPECT_TRUE(refresh.follow());
    EXPECT_EQ(m_data.state().rememberedClient, clients.bookmark());
    ui::Dataset &slips = m_data.dataset(MainData::SlipTable);
    EXPECT_EQ(slips.text(QStringLiteral("SL_NUMBER")), QStringLiteral("4")); // on the last slip
    EXPECT_EQ(column(MainData::SlipTable, "SL_NUMBER"),
        (QStringList{ QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("4") }));
    m_data.dataset(MainData::InvoiceTable).first();
    EXPECT_EQ(column(MainData::SlipShadowTable, "SL_NUMBER"),
        (QStringList{ QStringLiteral("3"), QStringLiteral("4") }));
    EXPECT_EQ(column(MainData::PaymentTable, "PMT_AMOUNT"), QStringList{ QStringLiteral("50") });
    EXPECT_EQ(recomputed, 2);

    // Same client, same number: nothing to do. A changed number: refreshed again.
    EXPECT_FALSE(refresh.follow());
    clients.setValue(QStringLiteral("NUMBER"), QStringLiteral("1009"));
    EXPECT_TRUE(refresh.follow());
    EXPECT_TRUE(m_data.dataset(MainData::SlipTable).isEmpty());
    clients.cancel();
}

TEST_F(Empty, ClientRefreshWithNoClientShowsNoRows)
{
    m_dir.addSlip(1, "1001", -1);
    app::ClientRefresh refresh(m_data);
    refresh.run();
    EXPECT_TRUE(m_data.dataset(MainData::SlipTable).isEmpty());
    EXPECT_TRUE(m_data.dataset(MainData::InvoiceTable).isEmpty());
}

TEST(ToolbarState, ClientButtonsFollowTheClientCursorState)
{
    using S = ui::Dataset::State;
    struct Step
    {
        S state;
        bool deleteOn, locateOn;
    };
    const Step steps[] = { { S::Edit, false, false }, { S::Browse, true, true },
        { S::Insert, false, true }, { S::Browse, true, true } };
    app::ToolbarState toolbar;
    for (const Step &s : steps) {
        toolbar.stateChanged(s.state);
        EXPECT_EQ(toolbar.deleteEnabled(), s.deleteOn) << int(s.state);
        EXPECT_EQ(toolbar.locateEnabled(), s.locateOn) << int(s.state);
    }
}

TEST_F(Empty, EmptyFileGuardRefusesOptionsThatNeedAClient)
{
    app::MainCommands commands(m_data, m_messages);
    struct Case
    {
        app::Command command;
        bool runs;
    };
    for (const Case &c :
        { Case{ app::Command::EditClient, false }, Case{ app::Command::DeleteClient, false },
            Case{ app::Command::ListClients, false }, Case{ app::Command::NewSlip, false },
            Case{ app::Command::AddClient, true }, Case{ app::Command::SearchClients, true } }) {
        SCOPED_TRACE(app::commandDef(c.command).name);
        m_messages.clear();
        bool ran = false;
        commands.setHandler(c.command, [&] { ran = true; });
        EXPECT_EQ(commands.start(c.command), c.runs);
        EXPECT_EQ(ran, c.runs);
        if (!c.runs)
            EXPECT_EQ(m_messages.texts(), QStringList{ app::MainCommands::emptyFileText() });
        else
            EXPECT_TRUE(m_messages.texts().isEmpty());
    }
}

TEST_F(Started, RightsCheckComparesTheLevelAndRefusesUnknownCodesSilently)
{
    app::MainCommands commands(m_data, m_messages);
    setMenuLevel("V13", 6);
    setMenuLevel("V11", 5);
    EXPECT_FALSE(commands.rightsCheck(QStringLiteral("V13")));
    EXPECT_EQ(m_messages.texts(), QStringList{ app::MainCommands::rightsText() });
    m_messages.clear();
    EXPECT_TRUE(commands.rightsCheck(QStringLiteral("V11")));
    EXPECT_FALSE(commands.rightsCheck(QStringLiteral("X99")));
    EXPECT_TRUE(m_messages.shown().isEmpty());
    m_data.state().accessLevel = 0; // not logged in: every coded option refused
    EXPECT_FALSE(commands.start(app::Command::Activities));
}

TEST_F(Started, PendingEditGuardAsksAndPostsOrKeepsTheEdit)
{
    app::MainCommands commands(m_data, m_messages);
    int refreshed = 0, asked = 0;
    commands.afterGuardPost = [&] { ++refreshed; };
    commands.guardAsking = [&] { ++asked; };
    ui::Dataset &clients = m_data.clients();
    clients.first();
    clients.setValue(QStringLiteral("CONTACT"), QStringLiteral("Ann"));

    m_messages.enqueue(MessageAnswer::No);
    EXPECT_FALSE(commands.start(app::Command::Projects));
    EXPECT_EQ(m_messages.texts(), QStringList{ app::MainCommands::pendingEditText() });
    EXPECT_TRUE(clients.isEditing());

    m_messages.clear();
    m_messages.enqueue(MessageAnswer::Yes);
    EXPECT_TRUE(commands.start(app::Command::Projects));
    EXPECT_FALSE(clients.isEditing());
    EXPECT_EQ(clients.text(QStringLiteral("CONTACT")), QStringLiteral("Ann"));
    EXPECT_EQ(refreshed, 1);
    EXPECT_EQ(asked, 2);
    // The order of the slip options: pending-edit before rights.
    EXPECT_EQ(app::commandDef(app::Command::NewSlip).guards.front(), app::Guard::PendingEdit);
}

TEST_F(Started, ReindexRunsOnlyOnYes)
{
    app::MainCommands commands(m_data, m_messages);
    int ran = 0;
    commands.setHandler(app::Command::ReindexDataFiles, [&] { ++ran; });
    for (MessageAnswer a : { MessageAnswer::No, MessageAnswer::Cancel, MessageAnswer::Yes }) {
        m_messages.enqueue(a);
        commands.start(app::Command::ReindexDataFiles);
    }
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(m_messages.shown().last().buttons, ui::MessageButtons::YesNoCancel);
}

TEST_F(Empty, ShutdownAsksAboutANewClientAndNoLeavesNoRecord)
{
    app::Shutdown shutdown(m_data, m_messages);
    ui::Dataset &clients = m_data.clients();
    clients.insert();
    clients.setValue(QStringLiteral("NUMBER"), QStringLiteral("1001"));
    clients.setValue(QStringLiteral("NAME"), QStringLiteral("Carter Legal"));
    m_messages.enqueue(MessageAnswer::No);
    EXPECT_TRUE(shutdown.saveQuestion());
    EXPECT_EQ(m_messages.texts(),
        QStringList{ QStringLiteral("Do you want to save the changes made to Carter Legal?") });
    EXPECT_TRUE(clients.isEmpty());
    EXPECT_EQ(
        m_data.dataset(MainData::TrackTable).value(QStringLiteral("NEXTCLIENT")).toInt(), 1001);

    clients.insert();
    clients.setValue(QStringLiteral("NUMBER"), QStringLiteral("1001"));
    clients.setValue(QStringLiteral("NAME"), QStringLiteral("Dunn"));
    m_messages.enqueue(MessageAnswer::Yes);
    EXPECT_TRUE(shutdown.saveQuestion());
    shutdown.closeCursors();
    EXPECT_FALSE(m_data.isOpen(MainData::ClientTable));
    auto t = dbf::Table::open(m_dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
    EXPECT_EQ(t->liveRecordCount(), 1u);
}

TEST_F(Started, ShutdownWritesTheThreeSettingsAndNeverThePath)
{
    TempDir config;
    platform::IniFile ini(config.path() / "TARNW.INI");
    ini.writeString("Drive", "Path", "elsewhere");
    ini.writeString("Screens", "MainForm32", "0,1,-1,-1,-1,-1,1,2,3,4");
    m_data.state().reportFont = QStringLiteral("Courier New");
    m_data.state().loginName = QStringLiteral("JS");
    m_data.state().hints = false;
    app::Shutdown(m_data, m_messages).writeSettings(ini);
    EXPECT_EQ(ini.readString("Settings", "ReportFont", ""), "Courier New");
    EXPECT_EQ(ini.readString("Settings", "Login Name", ""), "JS");
    EXPECT_EQ(ini.readString("Settings", "Hints", ""), "0");
    EXPECT_EQ(ini.readString("Drive", "Path", ""), "elsewhere");
    EXPECT_EQ(ini.readString("Screens", "MainForm32", ""), "0,1,-1,-1,-1,-1,1,2,3,4");
}

TEST_F(Started, ReindexAtShutdownDeletesTheNineIndexFilesForTheNextStart)
{
    const auto left = app::Shutdown(m_data, m_messages).deleteIndexFiles();
    EXPECT_TRUE(left.empty());
    for (const auto &entry : std::filesystem::directory_iterator(m_dir.path()))
        EXPECT_NE(entry.path().extension(), ".MDX") << entry.path();
    MainData next;
    ui::ScriptedMessages m;
    start(next, m);
    EXPECT_EQ(next.clients().recordCount(), 2u);
}

} // namespace
