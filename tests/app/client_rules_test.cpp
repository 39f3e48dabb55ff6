#include <optional>
#include <vector>

#include <QApplication>

#include "app/client_refresh.h"
#include "app/client_rules.h"
#include "app/main_commands.h"
#include "app/main_data.h"
#include "app/startup.h"
#include "data_dir.h"
#include "platform/clock.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>

namespace {

using app::ClientRules;
using app::Command;
using app::MainData;
using ui::MessageAnswer;

void startOn(const DataDir &dir, MainData &data, ui::Messages &messages)
{
    const std::string path = dir.directory();
    app::Startup(data, messages)
        .run([path](std::string_view s, std::string_view k) -> std::optional<std::string> {
            if (s == "Drive" && k == "Path")
                return path;
            return std::nullopt;
        });
    data.state().accessLevel = 9;
}

void addProject(const DataDir &dir, const char *client, const char *code)
{
    auto t = dbf::Table::open(dir.path(), "TWPROJCT", dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    c.append();
    c.setText(c.fieldIndex("PJ_CLIENT"), client);
    c.setText(c.fieldIndex("PJ_CODE"), code);
    c.post();
}

// Counts the rows of a table whose field holds `value`, read straight from the files.
int countRows(const DataDir &dir, const char *table, const char *field, const char *value)
{
    auto t = dbf::Table::open(dir.path(), table, dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    int n = 0;
    for (bool on = c.first(); on; on = c.next())
        if (c.text(c.fieldIndex(field)) == value)
            ++n;
    return n;
}

// The main window's data over a fresh data directory, with the rules and the guards as the
// program wires them.
class Clients : public ::testing::Test
{
protected:
    void SetUp() override
    {
        {
            MainData first;
            ui::ScriptedMessages m;
            startOn(m_dir, first, m);
        }
        seed();
        startOn(m_dir, m_data, m_messages);
        m_rules.refresh = [this] { m_refresh.run(); };
        m_rules.attach();
        m_commands.afterGuardPost = [this] {
            m_rules.settleCounter();
            m_refresh.run();
        };
        m_commands.setHandler(Command::AddClient, [this] { m_handled << QStringLiteral("add"); });
        m_commands.setHandler(Command::EditClient, [this] { m_handled << QStringLiteral("edit"); });
        m_commands.setHandler(
            Command::DeleteClient, [this] { m_handled << QStringLiteral("delete"); });
        m_commands.setHandler(
            Command::ListClients, [this] { m_handled << QStringLiteral("list"); });
        m_commands.setHandler(
            Command::SearchClients, [this] { m_handled << QStringLiteral("search"); });
        m_refresh.run();
    }
    virtual void seed() { }
    double nextClient()
    {
        auto t = dbf::Table::open(m_dir.path(), "TWTRACK", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        c.first();
        return c.number(c.fieldIndex("NEXTCLIENT"));
    }
    int clientCount() { return countRows(m_dir, "TWCLIENT", "ACTIVE", "Y"); }
    QString field(const char *name) { return m_data.clients().text(QString::fromLatin1(name)); }

    DataDir m_dir;
    MainData m_data;
    ui::ScriptedMessages m_messages;
    app::ClientRefresh m_refresh{ m_data };
    platform::ManualClock m_clock{ std::chrono::year{ 2026 } / 3 / 15 };
    ClientRules m_rules{ m_data, m_messages, m_clock };
    app::MainCommands m_commands{ m_data, m_messages };
    QStringList m_handled;
};

class WithClients : public Clients
{
protected:
    void seed() override
    {
        m_dir.addClient("1001", "Baker & Sons");
        m_dir.addClient("1002", "Adams Hardware");
        m_dir.addSlip(1, "1001", -1); // unbilled
        m_dir.addSlip(2, "1002", 7);
        m_dir.addSlip(3, "1001", 8); // billed
        m_dir.addInvoice(7, "1002");
        m_dir.addInvoice(8, "1001");
        m_dir.addPayment(8, "1001", 50);
        m_dir.addPayment(7, "1002", 20);
        addProject(m_dir, "1001", "ROOF");
        addProject(m_dir, "1001", "CELLAR");
        addProject(m_dir, "1002", "SHOP");
    }
};

TEST_F(Clients, NewClientNumberIsProposedStoredAndAdvancesTheCounter)
{
    struct Case
    {
        const char *typed;
        double next;
    };
    const Case cases[] = { { "1001", 1002 }, { "2000", 2001 }, { "0042", 43 } };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(m_rules.proposedNumber(),
            c.typed == cases[0].typed ? QStringLiteral("1001")
                                      : QString::number(qint64(nextClient())));
        ASSERT_TRUE(m_rules.add(QString::fromLatin1(c.typed)));
        EXPECT_TRUE(m_data.state().addingClient);
        EXPECT_EQ(m_data.clients().state(), ui::Dataset::State::Insert);
        m_data.clients().setValue(QStringLiteral("NAME"), QStringLiteral("Client ") + c.typed);
        ASSERT_TRUE(m_rules.navigatorPost()) << m_messages.lastText().toStdString();
        EXPECT_FALSE(m_data.state().addingClient);
        EXPECT_TRUE(m_data.clients().autoEdit());
        EXPECT_EQ(field("NUMBER"), QString::fromLatin1(c.typed));
        EXPECT_EQ(nextClient(), c.next);
        EXPECT_EQ(m_rules.proposedNumber(), QString::number(qint64(c.next)));
    }
    EXPECT_EQ(countRows(m_dir, "TWCLIENT", "NUMBER", "2000"), 1);
}

TEST_F(Clients, NewClientStartsWithItsDefaults)
{
    ASSERT_TRUE(m_rules.add(QStringLiteral("1001")));
    EXPECT_EQ(field("B_RATEDEF"), QStringLiteral("1"));
    EXPECT_EQ(field("B_RATESRC"), QStringLiteral("1"));
    EXPECT_EQ(field("CYCLE"), QStringLiteral("1"));
    EXPECT_EQ(field("ACTIVE"), QStringLiteral("Y"));
    EXPECT_EQ(field("TERMS"), QStringLiteral("Due on Receipt"));
    // Today as the program's clock tells it.
    EXPECT_EQ(m_data.clients().value(QStringLiteral("SETUPDATE")).toDate(), QDate(2026, 3, 15));
    for (const char *empty : { "NAME", "SCITY", "SSTATE", "SZIP", "PHONE", "FAX", "BEEPER" })
        EXPECT_EQ(field(empty), QString()) << empty;
    m_rules.navigatorCancel();
}

TEST_F(Clients, AddThenCancelLeavesNothingAndTheCounterAlone)
{
    ASSERT_TRUE(m_rules.add(m_rules.proposedNumber()));
    m_data.clients().setValue(QStringLiteral("NAME"), QStringLiteral("Never Saved"));
    m_rules.navigatorCancel();
    EXPECT_FALSE(m_data.state().addingClient);
    EXPECT_FALSE(m_data.clients().isEditing());
    EXPECT_TRUE(m_data.clients().isEmpty());
    EXPECT_EQ(countRows(m_dir, "TWCLIENT", "NAME", "Never Saved"), 0);
    EXPECT_EQ(nextClient(), 1001);
}

TEST_F(Clients, SecondNewClientInheritsTheLastPostedParts)
{
    ASSERT_TRUE(m_rules.add(QStringLiteral("1001")));
    ui::Dataset &c = m_data.clients();
    const std::pair<const char *, const char *> typed[] = {
        { "NAME", "First" },
        { "SCITY", "Springfield" },
        { "SSTATE", "IL" },
        { "SZIP", "62701-1234" },
        { "PHONE", "(217) 555-0100" },
        { "FAX", "(217) 555-0199" },
        { "BEEPER", "(217) 555-0142" },
    };
    for (const auto &[f, v] : typed)
        c.setValue(QString::fromLatin1(f), QString::fromLatin1(v));
    ASSERT_TRUE(m_rules.navigatorPost());

    ASSERT_TRUE(m_rules.add(m_rules.proposedNumber()));
    EXPECT_EQ(field("NUMBER"), QStringLiteral("1002"));
    EXPECT_EQ(field("NAME"), QString());
    EXPECT_EQ(field("SCITY"), QStringLiteral("Springfield"));
    EXPECT_EQ(field("SSTATE"), QStringLiteral("IL"));
    EXPECT_EQ(field("SZIP"), QStringLiteral("62701-1234"));
    EXPECT_EQ(field("PHONE"), QStringLiteral("(217) 55"));
    EXPECT_EQ(field("FAX"), QStringLiteral("(217) 55"));
    EXPECT_EQ(field("BEEPER"), QStringLiteral("(217) 55"));
    m_rules.navigatorCancel();
}

TEST_F(WithClients, BadOrTakenNumbersAreRefusedBeforeAnythingIsWritten)
{
    struct Case
    {
        QString typed;
        QString message;
    };
    const Case cases[] = {
        { QStringLiteral("1001"), ClientRules::duplicateText(QStringLiteral("1001")) },
        // added by another copy after this one started
        { QStringLiteral("1005"), ClientRules::duplicateText(QStringLiteral("1005")) },
        { QStringLiteral("12a4"), ClientRules::notDigitsText(QStringLiteral("12a4")) },
        { QString(), ClientRules::notDigitsText(QString()) },
        { QStringLiteral("-5"), ClientRules::notDigitsText(QStringLiteral("-5")) },
    };
    m_dir.addClient("1005", "Late Arrival");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        m_messages.clear();
        EXPECT_FALSE(m_rules.add(c.typed));
        EXPECT_EQ(m_messages.lastText(), c.message);
        EXPECT_FALSE(m_data.state().addingClient);
        EXPECT_FALSE(m_data.clients().isEditing());
    }
    EXPECT_EQ(clientCount(), 3);
    EXPECT_EQ(nextClient(), 1001);
}

TEST_F(WithClients, NumberRetypedToATakenOneIsRefusedAtPost)
{
    ASSERT_TRUE(m_rules.add(QStringLiteral("1003")));
    m_data.clients().setValue(QStringLiteral("NUMBER"), QStringLiteral("1002"));
    EXPECT_FALSE(m_rules.navigatorPost());
    EXPECT_EQ(m_messages.lastText(), ClientRules::duplicateText(QStringLiteral("1002")));
    EXPECT_EQ(m_data.clients().state(), ui::Dataset::State::Insert);
    EXPECT_TRUE(m_data.state().addingClient);
    EXPECT_EQ(nextClient(), 1001);
    EXPECT_EQ(clientCount(), 2);
    m_rules.navigatorCancel();
}

TEST_F(WithClients, PendingEditGuardAsksBeforeAdd)
{
    ASSERT_TRUE(m_rules.edit());
    m_data.clients().setValue(QStringLiteral("CONTACT"), QStringLiteral("Mrs Baker"));
    m_messages.enqueue(MessageAnswer::No);
    EXPECT_FALSE(m_commands.start(Command::AddClient));
    EXPECT_EQ(m_messages.lastText(), app::MainCommands::pendingEditText());
    EXPECT_TRUE(m_handled.isEmpty());
    EXPECT_TRUE(m_data.clients().isEditing());

    m_messages.enqueue(MessageAnswer::Yes);
    EXPECT_TRUE(m_commands.start(Command::AddClient));
    EXPECT_EQ(m_handled, QStringList{ QStringLiteral("add") });
    EXPECT_FALSE(m_data.clients().isEditing());
    EXPECT_EQ(countRows(m_dir, "TWCLIENT", "CONTACT", "Mrs Baker"), 1);
    EXPECT_EQ(nextClient(), 1001); // an edited client does not move the counter
}

TEST_F(Clients, EmptyFileGuardRefusesEditDeleteAndListOnly)
{
    struct Case
    {
        Command command;
        const char *handler; // "" when refused
    };
    const Case cases[] = { { Command::EditClient, "" }, { Command::DeleteClient, "" },
        { Command::ListClients, "" }, { Command::AddClient, "add" },
        { Command::SearchClients, "search" } };
    for (const Case &c : cases) {
        SCOPED_TRACE(app::commandDef(c.command).name);
        m_messages.clear();
        m_handled.clear();
        const bool refused = *c.handler == 0;
        EXPECT_EQ(m_commands.start(c.command), !refused);
        EXPECT_EQ(m_messages.lastText(), refused ? app::MainCommands::emptyFileText() : QString());
        EXPECT_EQ(
            m_handled, refused ? QStringList() : QStringList{ QString::fromLatin1(c.handler) });
    }
}

TEST_F(WithClients, DeleteRemovesSlipsStatementsAndProjectsButKeepsPayments)
{
    ui::Dataset &clients = m_data.clients();
    clients.last(); // NAME order: Baker & Sons
    m_refresh.run();
    ASSERT_EQ(field("NUMBER"), QStringLiteral("1001"));
    m_messages.enqueue(MessageAnswer::Yes);
    EXPECT_TRUE(m_rules.deleteClient());
    EXPECT_EQ(m_messages.shown().first().text,
        ClientRules::deleteQuestion(QStringLiteral("Baker & Sons")));

    struct Count
    {
        const char *table, *field;
        int of1001, of1002;
    };
    const Count counts[] = {
        { "TWCLIENT", "NUMBER", 0, 1 },
        { "TWSLIP", "SL_CLIENT", 0, 1 },
        { "TWINVOIC", "INV_CLIENT", 0, 1 },
        { "TWPROJCT", "PJ_CLIENT", 0, 1 },
        { "TWPMT", "PMT_CLIENT", 1, 1 },
    };
    for (const Count &c : counts) {
        SCOPED_TRACE(c.table);
        EXPECT_EQ(countRows(m_dir, c.table, c.field, "1001"), c.of1001);
        EXPECT_EQ(countRows(m_dir, c.table, c.field, "1002"), c.of1002);
    }
    // Back on the first client, with its own slips shown.
    EXPECT_EQ(field("NUMBER"), QStringLiteral("1002"));
    EXPECT_EQ(clients.tag(), QStringLiteral("NAME"));
    EXPECT_EQ(
        m_data.dataset(MainData::SlipTable).text(QStringLiteral("SL_NUMBER")), QStringLiteral("2"));
    EXPECT_EQ(m_data.state().rememberedClient, clients.bookmark());
}

TEST_F(WithClients, DeleteAnsweredNoKeepsEverythingAndShowsTheFirstClient)
{
    m_data.clients().last();
    m_messages.enqueue(MessageAnswer::No);
    EXPECT_FALSE(m_rules.deleteClient());
    EXPECT_EQ(clientCount(), 2);
    EXPECT_EQ(countRows(m_dir, "TWSLIP", "SL_CLIENT", "1001"), 2);
    EXPECT_EQ(field("NAME"), QStringLiteral("Adams Hardware"));
}

TEST_F(WithClients, ListByNumberKeepsThatOrderUntilTheNextDeletion)
{
    m_dir.addClient("0900", "Zephyr Mills");
    m_data.clients().refresh();
    ASSERT_TRUE(m_data.clients().findKey({ QStringLiteral("Baker & Sons") }));
    const ui::Dataset::Bookmark baker = m_data.clients().bookmark();
    m_data.clients().first();
    struct Case
    {
        const char *order;
        QStringList numbers; // the main window's order after choosing
    };
    const Case cases[] = {
        { "Number", { "0900", "1001", "1002" } },
        { "Name", { "1002", "1001", "0900" } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.order);
        m_rules.prepareSearch();
        ui::Dataset &shadow = m_data.dataset(MainData::ShadowClientTable);
        shadow.setTag(ClientRules::searchTags()[ClientRules::searchOrders().indexOf(
            QString::fromLatin1(c.order))]);
        ASSERT_TRUE(shadow.gotoBookmark(baker));
        m_rules.chooseSearched();
        EXPECT_EQ(field("NUMBER"), QStringLiteral("1001"));
        EXPECT_EQ(m_data.dataset(MainData::SlipTable).text(QStringLiteral("SL_CLIENT")),
            QStringLiteral("1001"));
        QStringList seen;
        ui::Dataset &clients = m_data.clients();
        for (clients.first(); !clients.eof(); clients.next())
            seen << field("NUMBER");
        EXPECT_EQ(seen, c.numbers);
    }
    m_rules.prepareSearch();
    m_data.dataset(MainData::ShadowClientTable).setTag(QStringLiteral("NUMBER"));
    m_rules.chooseSearched();
    m_messages.enqueue(MessageAnswer::Yes);
    EXPECT_TRUE(m_rules.deleteClient());
    EXPECT_EQ(m_data.clients().tag(), QStringLiteral("NAME"));
}

TEST_F(WithClients, PendingEditGuardSavingARefusedNewClientRefusesTheOption)
{
    ASSERT_TRUE(m_rules.add(QStringLiteral("1003")));
    m_data.clients().setValue(QStringLiteral("NUMBER"), QStringLiteral("1001"));
    m_messages.enqueue(MessageAnswer::Yes);
    EXPECT_FALSE(m_commands.start(Command::ListClients));
    EXPECT_EQ(m_messages.lastText(), ClientRules::duplicateText(QStringLiteral("1001")));
    EXPECT_TRUE(m_handled.isEmpty());
    EXPECT_EQ(m_data.clients().state(), ui::Dataset::State::Insert);
    EXPECT_TRUE(m_data.state().addingClient);
    EXPECT_EQ(countRows(m_dir, "TWCLIENT", "NUMBER", "1001"), 1);
    EXPECT_EQ(nextClient(), 1001);
    m_rules.navigatorCancel();
}

// Add Client through the number dialog: a refused number brings the dialog back with what was
// typed; an empty number or a cancel ends the add with no record in edit, the current client
// untouched.
TEST_F(WithClients, RefusedNumberBringsTheDialogBackAndNeverLeavesAnotherClientInEdit)
{
    struct Case
    {
        const char *what;
        std::vector<std::optional<QString>> answers;
        QStringList proposals; // what the dialog showed each time
        QStringList messages;
        bool adding;
    };
    const QString dup = ClientRules::duplicateText(QStringLiteral("1001"));
    const Case cases[] = {
        { "taken, then a free number", { QStringLiteral("1001"), QStringLiteral("1003") },
            { QStringLiteral("1001"), QStringLiteral("1001") }, { dup }, true },
        { "taken, then cancelled", { QStringLiteral("1001"), std::nullopt },
            { QStringLiteral("1001"), QStringLiteral("1001") }, { dup }, false },
        { "empty", { QString() }, { QStringLiteral("1001") }, {}, false },
        { "not digits, then empty", { QStringLiteral("12a"), QStringLiteral("  ") },
            { QStringLiteral("1001"), QStringLiteral("12a") },
            { ClientRules::notDigitsText(QStringLiteral("12a")) }, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        m_messages.clear();
        const QString current = m_data.currentClientNumber();
        QStringList proposals;
        std::size_t asked = 0;
        const bool adding = m_rules.addClient([&](const QString &proposal) {
            proposals << proposal;
            return asked < c.answers.size() ? c.answers[asked++] : std::nullopt;
        });
        EXPECT_EQ(adding, c.adding);
        EXPECT_EQ(asked, c.answers.size());
        EXPECT_EQ(proposals, c.proposals);
        EXPECT_EQ(m_messages.texts(), c.messages);
        EXPECT_EQ(m_data.state().addingClient, c.adding);
        if (c.adding) {
            EXPECT_EQ(m_data.clients().state(), ui::Dataset::State::Insert);
            EXPECT_EQ(field("NUMBER"), QStringLiteral("1003"));
            m_rules.navigatorCancel();
        } else {
            EXPECT_FALSE(m_data.clients().isEditing());
            EXPECT_EQ(m_data.currentClientNumber(), current);
        }
        EXPECT_EQ(clientCount(), 2);
    }
}

// A post started elsewhere than the navigator (moving off the record, for one) moves the
// counter once the post has returned, from the event loop.
TEST_F(Clients, CounterOfAClientPostedElsewhereMovesOnceThePostHasReturned)
{
    static int argc = 1;
    static char name[] = "client_rules_test";
    static char *argv[] = { name, nullptr };
    if (!QCoreApplication::instance())
        new QApplication(argc, argv); // kept: later tests of this program may use it
    ASSERT_TRUE(m_rules.add(QStringLiteral("1500")));
    m_data.clients().setValue(QStringLiteral("NAME"), QStringLiteral("Posted Elsewhere"));
    m_data.clients().post();
    EXPECT_EQ(countRows(m_dir, "TWCLIENT", "NUMBER", "1500"), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(nextClient(), 1501);
    // Settling again (the navigator's own call after its post) changes nothing.
    m_rules.settleCounter();
    EXPECT_EQ(nextClient(), 1501);
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

} // namespace
