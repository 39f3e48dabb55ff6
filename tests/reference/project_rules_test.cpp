// The project window's rules over real TWPROJCT, TWSLIP and TWCLIENT tables made from the
// templates.
#include <QDate>
#include <QStringList>

#include "dataset_dir.h"
#include "platform/clock.h"
#include "reference/project_rules.h"
#include "table_rows.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>

using reference::ProjectRules;
using ui::MessageAnswer;
using namespace std::chrono;

namespace {

const QString kInUse = QStringLiteral("The selected Project Code is already in use.");
const QString kUsed =
    QStringLiteral("This Project cannot be deleted.  Time Slips exist that use this project.");

class ProjectRulesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir.open(m_projects, "TWPROJCT", QStringLiteral("CLIENT_COD"));
        m_dir.open(m_clients, "TWCLIENT", QStringLiteral("NAME"));
        m_dir.open(m_slips, "TWSLIP", QStringLiteral("SL_CLIENT"));
        addRow(m_clients, { { "NUMBER", "1001" }, { "NAME", "Alder Partners" } });
        addRow(m_clients, { { "NUMBER", "1002" }, { "NAME", "Birch & Co" } });
        // The main window's current client.
        m_clients.last();
    }

    void addProject(const QString &client, const QString &code, const QString &desc)
    {
        addRow(m_projects, { { "PJ_CLIENT", client }, { "PJ_CODE", code }, { "PJ_DESC", desc } });
    }

    void addSlip(double number, const QString &client, const QString &project, int billed)
    {
        addRow(m_slips,
            { { "SL_NUMBER", number }, { "SL_CLIENT", client }, { "SL_PROJECT", project },
                { "SL_ACT", "WORK" }, { "SL_BILLED", billed }, { "SL_INVOICE", billed ? 3 : -1 } });
    }

    ProjectRules::AskCode answers(QStringList texts)
    {
        return [this, texts]() mutable {
            ++m_asked;
            return texts.isEmpty() ? QString() : texts.takeFirst();
        };
    }

    QStringList stored(const QString &field) const
    {
        return column(m_dir, "TWPROJCT", QStringLiteral("PJ_Code"), field);
    }

    DatasetDir m_dir;
    ui::Dataset m_projects, m_clients, m_slips;
    ui::ScriptedMessages m_messages;
    platform::ManualClock m_clock{ year(2026) / March / 14 };
    ProjectRules m_rules{ m_projects, m_clients, m_slips, m_messages, m_clock };
    int m_asked = 0;
};

TEST_F(ProjectRulesTest, NewProjectCodesAreUniqueOverAllClients)
{
    addProject(QStringLiteral("1001"), QStringLiteral("MERGER"), QStringLiteral("Alder merger"));
    struct Case
    {
        const char *what;
        QStringList typed;
        bool inserted;
        QString stored;
        int asked;
        QStringList messages;
    };
    const Case cases[] = {
        { "another client's code is refused", { "merger", "" }, false, {}, 2, { kInUse } },
        { "asked again until free", { "MERGER", "lease" }, true, "LEASE", 2, { kInUse } },
        { "cut to ten characters", { "relocation2" }, true, "RELOCATION", 1, {} },
        { "cancelled", { "" }, false, {}, 1, {} },
        { "a code that starts an existing one is free", { "MERGE" }, true, "MERGE", 1, {} },
    };
    m_rules.open();
    EXPECT_EQ(m_rules.currentClient(), QStringLiteral("1002"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        m_asked = 0;
        m_messages.clear();
        EXPECT_EQ(m_rules.newProject(answers(c.typed)), c.inserted);
        EXPECT_EQ(m_asked, c.asked);
        EXPECT_EQ(m_messages.texts(), c.messages);
        EXPECT_EQ(m_rules.clientEditable(), c.inserted);
        if (c.inserted) {
            EXPECT_EQ(m_projects.text(QStringLiteral("PJ_CODE")), c.stored);
            m_rules.cancel();
            EXPECT_FALSE(m_rules.clientEditable());
        }
        EXPECT_FALSE(m_projects.isEditing());
        EXPECT_EQ(stored(QStringLiteral("PJ_CODE")), QStringList{ QStringLiteral("MERGER") });
        // The project shown has not moved to the duplicate.
        EXPECT_EQ(m_projects.tag().toUpper(), QStringLiteral("PJ_CODE"));
    }
}

TEST_F(ProjectRulesTest, NewProjectProposesCurrentClientAndToday)
{
    m_rules.open();
    EXPECT_FALSE(m_projects.autoEdit());
    ASSERT_TRUE(m_rules.newProject(answers({ QStringLiteral("audit26") })));
    EXPECT_EQ(m_projects.text(QStringLiteral("PJ_CLIENT")), QStringLiteral("1002"));
    EXPECT_EQ(m_projects.value(QStringLiteral("PJ_ESTDATE")).toDate(), QDate(2026, 3, 14));
    EXPECT_EQ(m_projects.value(QStringLiteral("PJ_STARTDT")).toDate(), QDate(2026, 3, 14));
    EXPECT_TRUE(m_projects.value(QStringLiteral("PJ_DONEDT")).toDate().isNull());
    m_projects.setValue(QStringLiteral("PJ_DESC"), QStringLiteral("Annual audit"));
    ASSERT_TRUE(m_rules.save());
    EXPECT_FALSE(m_rules.clientEditable()) << "a saved project keeps its client";
    EXPECT_TRUE(m_projects.autoEdit());
    EXPECT_EQ(stored(QStringLiteral("PJ_CLIENT")), QStringList{ QStringLiteral("1002") });
    EXPECT_EQ(stored(QStringLiteral("PJ_STARTDT")), QStringList{ QStringLiteral("03/14/2026") });
    // The client dataset was only read.
    EXPECT_EQ(m_clients.text(QStringLiteral("NUMBER")), QStringLiteral("1002"));
}

TEST_F(ProjectRulesTest, SavingWithoutAClientIsRefused)
{
    struct Case
    {
        const char *what;
        QString client;
        bool saved;
    };
    const Case cases[] = {
        { "cleared client", "", false },
        { "blanks", "   ", false },
        { "a number that names no client", "9999", false },
        { "another existing client", "1001", true },
    };
    m_rules.open();
    ASSERT_TRUE(m_rules.newProject(answers({ QStringLiteral("SURVEY") })));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        m_messages.clear();
        m_projects.setValue(QStringLiteral("PJ_CLIENT"), c.client);
        EXPECT_EQ(m_rules.save(), c.saved);
        if (c.saved) {
            EXPECT_TRUE(m_messages.texts().isEmpty());
            EXPECT_EQ(stored(QStringLiteral("PJ_CLIENT")), QStringList{ c.client });
            EXPECT_FALSE(m_rules.clientEditable());
        } else {
            EXPECT_EQ(m_messages.texts(), QStringList{ ProjectRules::noClientText() });
            EXPECT_EQ(m_messages.shown().last().kind, ui::MessageKind::Warning);
            EXPECT_EQ(m_projects.state(), ui::Dataset::State::Insert);
            EXPECT_TRUE(m_rules.clientEditable());
            EXPECT_TRUE(stored(QStringLiteral("PJ_CODE")).isEmpty());
        }
    }
    EXPECT_EQ(ProjectRules::noClientText(),
        QStringLiteral("Projects must be assigned a client.  Please select the client to be "
                       "assigned to this project."));
}

TEST_F(ProjectRulesTest, DeletionRefusedWhileSlipsUseTheProject)
{
    addProject(QStringLiteral("1002"), QStringLiteral("OPEN"), QStringLiteral("Unbilled work"));
    addProject(QStringLiteral("1002"), QStringLiteral("DONE"), QStringLiteral("Billed work"));
    addProject(QStringLiteral("1001"), QStringLiteral("OTHER"), QStringLiteral("Other's work"));
    addProject(QStringLiteral("1001"), QStringLiteral("AUTO"), QStringLiteral("Retainer"));
    addProject(QStringLiteral("1001"), QStringLiteral("FREE"), QStringLiteral("Idle project"));
    addSlip(1, QStringLiteral("1002"), QStringLiteral("OPEN"), 0);
    addSlip(2, QStringLiteral("1002"), QStringLiteral("DONE"), 1);
    addSlip(3, QStringLiteral("1001"), QStringLiteral("OTHER"), 0);
    m_clients.findKey({ QStringLiteral("Alder Partners") });
    m_clients.setValue(QStringLiteral("D_PROJECT1"), QStringLiteral("AUTO"));
    m_clients.post();
    m_slips.setRange({ QStringLiteral("1002") }, { QStringLiteral("1002") });

    struct Case
    {
        const char *what;
        QString code;
        QList<MessageAnswer> answers;
        bool deleted;
        QStringList messages;
    };
    const Case cases[] = {
        { "unbilled slip", "OPEN", { MessageAnswer::Ok }, false, { kUsed } },
        { "billed slip", "DONE", { MessageAnswer::Ok }, false, { kUsed } },
        { "slip outside the main window's client", "OTHER", { MessageAnswer::Ok }, false,
            { kUsed } },
        { "cancelled question", "FREE", { MessageAnswer::Cancel }, false,
            { QStringLiteral("Delete Idle project?") } },
        { "auto billing slot only", "AUTO", { MessageAnswer::Ok }, true,
            { QStringLiteral("Delete Retainer?") } },
    };
    m_rules.open();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        m_messages.clear();
        for (MessageAnswer a : c.answers)
            m_messages.enqueue(a);
        ui::Dataset::Bookmark at;
        for (m_projects.first(); !m_projects.eof(); m_projects.next())
            if (m_projects.text(QStringLiteral("PJ_CODE")) == c.code) {
                at = m_projects.bookmark();
                break;
            }
        ASSERT_TRUE(at.isValid());
        EXPECT_EQ(m_rules.remove(), c.deleted);
        EXPECT_EQ(m_messages.texts(), c.messages);
        EXPECT_EQ(m_messages.unscripted(), 0);
        EXPECT_EQ(stored(QStringLiteral("PJ_CODE")).contains(c.code), !c.deleted);
        EXPECT_EQ(m_slips.recordCount(), std::size_t(2));
    }
}

TEST_F(ProjectRulesTest, OrderRangeAndClientNames)
{
    addProject(QStringLiteral("1002"), QStringLiteral("ALPHA"), QStringLiteral("a"));
    addProject(QStringLiteral("1001"), QStringLiteral("ZULU"), QStringLiteral("z"));
    addProject(QStringLiteral("1001"), QStringLiteral("BRAVO"), QStringLiteral("b"));
    // A range left by someone else is lifted: all clients' projects in client-and-code order.
    m_projects.setTag(QStringLiteral("PJ_CLIENT"));
    m_projects.setRange({ QStringLiteral("1002") }, { QStringLiteral("1002") });
    m_rules.open();
    QStringList order;
    for (m_projects.first(); !m_projects.eof(); m_projects.next())
        order << m_projects.text(QStringLiteral("PJ_CODE"));
    EXPECT_EQ(order, (QStringList{ "BRAVO", "ZULU", "ALPHA" }));

    // "&New" leaves code order; closing restores client-and-code order on the project shown.
    m_projects.first();
    ASSERT_TRUE(m_rules.newProject(answers({ QStringLiteral("CHARLIE") })));
    m_rules.cancel();
    EXPECT_EQ(m_projects.tag().toUpper(), QStringLiteral("PJ_CODE"));
    ASSERT_TRUE(m_projects.findKey({ QStringLiteral("ZULU") }));
    m_rules.close();
    EXPECT_EQ(m_projects.tag().toUpper(), QStringLiteral("CLIENT_COD"));
    EXPECT_EQ(m_projects.text(QStringLiteral("PJ_CODE")), QStringLiteral("ZULU"));
    EXPECT_EQ(stored(QStringLiteral("PJ_CODE")), (QStringList{ "ALPHA", "BRAVO", "ZULU" }));

    EXPECT_EQ(m_rules.clientName(QStringLiteral("1001")), QStringLiteral("Alder Partners"));
    EXPECT_EQ(m_rules.clientName(QStringLiteral("100")), QString());
    EXPECT_EQ(m_rules.clientName(QString()), QString());

    const ProjectRules::ButtonStates browsing{ true, true, true, false, false };
    EXPECT_EQ(m_rules.buttonStates(), browsing);
    EXPECT_TRUE(m_rules.canSearch());
}

TEST_F(ProjectRulesTest, EmptyTable)
{
    m_rules.open();
    EXPECT_FALSE(m_projects.autoEdit());
    EXPECT_FALSE(m_rules.canSearch());
    EXPECT_FALSE(m_rules.remove());
    EXPECT_EQ(m_messages.texts(), QStringList{ QStringLiteral("There are no Projects to list.") });
}

} // namespace
