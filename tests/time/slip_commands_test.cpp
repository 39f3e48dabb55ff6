// The main window's slip commands over real TWCLIENT and TWSLIP tables made from the templates.
#include <stdexcept>

#include <QStringList>

#include "slip_data.h"
#include "time/slip_commands.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>

using timecap::SlipCommands;
using ui::MessageAnswer;
using ui::MessageKind;

namespace {

class SlipCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_data.open(m_clients, "TWCLIENT", QStringLiteral("Name"));
        m_data.open(m_slips, "TWSLIP", QStringLiteral("SL_Client"));
        addRow(m_clients, { { "NUMBER", "1001" }, { "NAME", "Alder Partners" } });
        addRow(m_clients, { { "NUMBER", "1002" }, { "NAME", "Birch & Co" } });
        addRow(m_clients, { { "NUMBER", "1003" }, { "NAME", "Cedar Holdings" } });
        addSlip(11, "1001", 0);
        addSlip(12, "1002", 1);
        addSlip(13, "1001", 0);
        addSlip(14, "1001", 1);
        showClient("Alder Partners");
    }

    void addSlip(double number, const char *client, int billed)
    {
        addRow(m_slips,
            { { "SL_NUMBER", number }, { "SL_CLIENT", QString::fromLatin1(client) },
                { "SL_ACT", "CONSULT" }, { "SL_BILLED", billed } });
    }

    // The client refresh of the main window: range on the client, its last slip current.
    void showClient(const char *name)
    {
        ASSERT_TRUE(m_clients.findKey({ QString::fromLatin1(name) }));
        const QString number = m_clients.text(QStringLiteral("NUMBER"));
        m_slips.setRange({ number }, { number });
        m_slips.last();
    }

    double current() const { return m_slips.value(QStringLiteral("SL_NUMBER")).toDouble(); }

    QStringList slipNumbers() const
    {
        ui::Dataset check;
        m_data.open(check, "TWSLIP");
        QStringList numbers;
        for (check.first(); !check.isEmpty() && !check.eof(); check.next())
            numbers << check.text(QStringLiteral("SL_NUMBER"));
        return numbers;
    }

    DatasetDir m_data;
    ui::Dataset m_clients, m_slips;
    ui::ScriptedMessages m_messages;
    SlipCommands m_commands{ m_clients, m_slips, m_messages };
};

TEST_F(SlipCommandsTest, DeleteSlips)
{
    const struct
    {
        const char *client;
        double slip; // 0: the client's last slip; -1: an empty list
        MessageAnswer answer;
        QString text;
        MessageKind kind;
        bool deleted;
        QStringList left;
    } cases[] = {
        { "Alder Partners", 14, MessageAnswer::Ok,
            QStringLiteral("This slip has been billed and cannot be deleted!"),
            MessageKind::Confirmation, false, { "11", "12", "13", "14" } },
        { "Alder Partners", 13, MessageAnswer::No,
            QStringLiteral("Are you sure you want to delete Slip Number 13?"),
            MessageKind::Confirmation, false, { "11", "12", "13", "14" } },
        { "Alder Partners", 13, MessageAnswer::Yes,
            QStringLiteral("Are you sure you want to delete Slip Number 13?"),
            MessageKind::Confirmation, true, { "11", "12", "14" } },
        { "Cedar Holdings", -1, MessageAnswer::Yes,
            QStringLiteral("Are you sure you want to delete Slip Number ?"),
            MessageKind::Confirmation, false, { "11", "12", "14" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        m_messages.clear();
        showClient(c.client);
        if (c.slip > 0) {
            for (m_slips.first(); current() != c.slip && !m_slips.eof(); m_slips.next()) { }
            ASSERT_EQ(current(), c.slip);
        }
        m_messages.enqueue(c.answer);
        EXPECT_EQ(m_commands.deleteSlip(), c.deleted);
        ASSERT_EQ(m_messages.shown().size(), 1);
        EXPECT_EQ(m_messages.lastText(), c.text);
        EXPECT_EQ(m_messages.shown().first().kind, c.kind);
        EXPECT_EQ(m_messages.shown().first().buttons,
            c.answer == MessageAnswer::Ok ? ui::MessageButtons::Ok : ui::MessageButtons::YesNo);
        EXPECT_EQ(slipNumbers(), c.left);
        // The list still shows only the client's slips, and the same client.
        EXPECT_EQ(m_clients.text(QStringLiteral("NAME")), QString::fromLatin1(c.client));
        for (m_slips.first(); !m_slips.isEmpty() && !m_slips.eof(); m_slips.next())
            EXPECT_EQ(m_slips.text(QStringLiteral("SL_CLIENT")),
                m_clients.text(QStringLiteral("NUMBER")));
    }
}

TEST_F(SlipCommandsTest, SlipLockedByAnotherUserIsNotDeleted)
{
    ui::Dataset otherCopy;
    m_data.open(otherCopy, "TWSLIP", QStringLiteral("SL_Number"));
    ASSERT_TRUE(otherCopy.findKey({ 13.0 }));
    otherCopy.setValue(QStringLiteral("SL_HOURS"), 2.0); // holds the record lock
    showClient("Alder Partners");
    m_slips.prior();
    ASSERT_EQ(current(), 13.0);
    m_messages.enqueue(MessageAnswer::Yes);
    EXPECT_FALSE(m_commands.deleteSlip());
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_EQ(m_messages.shown().last().kind, MessageKind::Error);
    EXPECT_EQ(slipNumbers(), (QStringList{ "11", "12", "13", "14" }));
    otherCopy.cancel();
}

TEST_F(SlipCommandsTest, EditOpensTheWindowOnlyForTheClientsOwnSlip)
{
    int opened = 0;
    bool clientEditingWhileOpen = false;
    auto open = [&](bool existing) {
        EXPECT_TRUE(existing);
        ++opened;
        clientEditingWhileOpen = m_clients.isEditing();
    };

    showClient("Cedar Holdings");
    EXPECT_FALSE(m_commands.editSlip(open));
    EXPECT_EQ(m_messages.lastText(), QStringLiteral("There are no time slips for Cedar Holdings"));
    EXPECT_EQ(opened, 0);

    showClient("Alder Partners");
    EXPECT_TRUE(m_commands.editSlip(open));
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(clientEditingWhileOpen); // the client lock is not held while the window is open
    EXPECT_FALSE(m_clients.isEditing());
    EXPECT_EQ(current(), 14.0);

    // Another user holds the client record: the engine's message, no window.
    ui::Dataset otherCopy;
    m_data.open(otherCopy, "TWCLIENT", QStringLiteral("Name"));
    ASSERT_TRUE(otherCopy.findKey({ QStringLiteral("Alder Partners") }));
    otherCopy.edit();
    m_messages.clear();
    EXPECT_FALSE(m_commands.editSlip(open));
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_EQ(m_messages.shown().first().kind, MessageKind::Error);
    otherCopy.cancel();

    // The slip window fails to open (its slip locked elsewhere): the engine's message.
    m_messages.clear();
    EXPECT_FALSE(m_commands.editSlip([](bool) { throw std::runtime_error("Record locked"); }));
    EXPECT_EQ(m_messages.texts(), QStringList{ QStringLiteral("Record locked") });
    EXPECT_FALSE(m_clients.isEditing());
}

TEST_F(SlipCommandsTest, TheListIsReadAgainAfterTheWindowCloses)
{
    // The window adds a slip for the client through its own cursor.
    auto open = [this](bool existing) {
        EXPECT_FALSE(existing);
        ui::Dataset windowSlips;
        m_data.open(windowSlips, "TWSLIP");
        addRow(windowSlips, { { "SL_NUMBER", 15.0 }, { "SL_CLIENT", "1001" } });
    };
    ASSERT_EQ(m_slips.recordCount(), 3u);
    m_commands.newSlip(open);
    EXPECT_EQ(m_slips.recordCount(), 4u);
    EXPECT_EQ(current(), 14.0); // the slip shown before stays current

    // A new client without slips gets its first slip: it becomes current.
    showClient("Cedar Holdings");
    m_commands.newSlip([this](bool) {
        ui::Dataset windowSlips;
        m_data.open(windowSlips, "TWSLIP");
        addRow(windowSlips, { { "SL_NUMBER", 16.0 }, { "SL_CLIENT", "1003" } });
    });
    EXPECT_EQ(current(), 16.0);
}

} // namespace
