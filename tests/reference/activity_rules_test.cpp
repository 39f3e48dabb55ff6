// The activity window's rules over real TWACT, TWSLIP, TWCLIENT and TWSETUP tables made from the
// templates.
#include <QStringList>

#include "dataset_dir.h"
#include "reference/activity_rules.h"
#include "table_rows.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>

using reference::ActivityRules;
using ui::MessageAnswer;

namespace {

const QString kInUse = QStringLiteral("The selected Activity Code is already in use.");
const QString kUsed =
    QStringLiteral("This Activity cannot be deleted.  Time Slips exist that use this activity.");

class ActivityRulesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir.open(m_activities, "TWACT", QStringLiteral("ACTIVITY"));
        m_dir.open(m_clients, "TWCLIENT", QStringLiteral("NUMBER"));
        m_dir.open(m_setup, "TWSETUP");
        m_dir.open(m_slips, "TWSLIP", QStringLiteral("SL_CLIENT"));
        addRow(m_clients, { { "NUMBER", "1001" }, { "NAME", "Alder Partners" } });
        addRow(m_clients, { { "NUMBER", "1002" }, { "NAME", "Birch & Co" } });
        m_clients.findKey({ QStringLiteral("1001") });
        setDefaultTaxRate(6.25);
    }

    void setDefaultTaxRate(double rate)
    {
        m_setup.setValue(QStringLiteral("DEFTAXRATE"), rate);
        m_setup.post();
    }

    void addActivity(const QString &code, const QString &desc, const QVariant &taxRate = {})
    {
        addRow(m_activities,
            { { "ACTIVITY", code }, { "DESC", desc }, { "ACTTYPE", "B" }, { "TAXABLE", "N" },
                { "TAXRATE", taxRate }, { "BILLABLE", 1 } });
    }

    void addSlip(double number, const QString &client, const QString &act, int billed)
    {
        addRow(m_slips,
            { { "SL_NUMBER", number }, { "SL_CLIENT", client }, { "SL_ACT", act },
                { "SL_BILLED", billed }, { "SL_INVOICE", billed ? 7 : -1 } });
    }

    // The main window's slip list: the current client's slips only.
    void restrictSlipsTo(const QString &client) { m_slips.setRange({ client }, { client }); }

    ActivityRules::AskCode answers(QStringList texts)
    {
        return [this, texts]() mutable {
            ++m_asked;
            return texts.isEmpty() ? QString() : texts.takeFirst();
        };
    }

    QStringList codes() const
    {
        return column(m_dir, "TWACT", QStringLiteral("ACTIVITY"), QStringLiteral("ACTIVITY"));
    }

    DatasetDir m_dir;
    ui::Dataset m_activities, m_clients, m_setup, m_slips;
    ui::ScriptedMessages m_messages;
    ActivityRules m_rules{ m_activities, m_slips, m_setup, m_messages };
    int m_asked = 0;
};

TEST_F(ActivityRulesTest, NewActivityCodeEntry)
{
    addActivity(QStringLiteral("CONSULT"), QStringLiteral("Consulting"));

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
        { "lower case stored upper", { "travel" }, true, "TRAVEL", 1, {} },
        { "cut to ten characters", { "researching1" }, true, "RESEARCHIN", 1, {} },
        { "empty creates nothing", { "" }, false, {}, 1, {} },
        { "blanks create nothing", { "  " }, false, {}, 1, {} },
        { "existing code then cancel", { "consult", "" }, false, {}, 2, { kInUse } },
        { "asked again until free", { "CONSULT", "Consult", "copy" }, true, "COPY", 3,
            { kInUse, kInUse } },
        { "a longer code sharing the start is free", { "CONS" }, true, "CONS", 1, {} },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        m_asked = 0;
        m_messages.clear();
        const QStringList before = codes();
        EXPECT_EQ(m_rules.newActivity(answers(c.typed)), c.inserted);
        EXPECT_EQ(m_asked, c.asked);
        EXPECT_EQ(m_messages.texts(), c.messages);
        if (c.inserted) {
            ASSERT_EQ(m_activities.state(), ui::Dataset::State::Insert);
            EXPECT_EQ(m_activities.text(QStringLiteral("ACTIVITY")), c.stored);
            m_rules.cancel();
        } else {
            EXPECT_FALSE(m_activities.isEditing());
        }
        EXPECT_EQ(codes(), before);
    }
}

TEST_F(ActivityRulesTest, NewActivityDefaultsAreStored)
{
    m_rules.open();
    EXPECT_FALSE(m_activities.autoEdit()) << "an empty table starts no edit by typing";
    ASSERT_TRUE(m_rules.newActivity(answers({ QStringLiteral("phone") })));
    m_activities.setValue(QStringLiteral("DESC"), QStringLiteral("Telephone calls"));
    ASSERT_TRUE(m_rules.save());
    EXPECT_TRUE(m_activities.autoEdit());

    ui::Dataset stored;
    m_dir.open(stored, "TWACT", QStringLiteral("ACTIVITY"));
    ASSERT_TRUE(stored.findKey({ QStringLiteral("PHONE") }));
    EXPECT_EQ(stored.text(QStringLiteral("ACTTYPE")), QStringLiteral("B"));
    EXPECT_EQ(stored.text(QStringLiteral("TAXABLE")), QStringLiteral("N"));
    EXPECT_EQ(stored.value(QStringLiteral("BILLABLE")).toInt(), 1);
    EXPECT_EQ(stored.text(QStringLiteral("DESC")), QStringLiteral("Telephone calls"));
    for (const char *field : { "TAXRATE", "FLATAMOUNT", "ACTRATE1", "ACTRATE5" })
        EXPECT_TRUE(stored.value(QLatin1String(field)).isNull()) << field;
}

TEST_F(ActivityRulesTest, TickingTaxableProposesTheDefaultRate)
{
    struct Case
    {
        const char *what;
        double defaultRate;
        QVariant rateBefore;
        const char *taxable; // the box's value after the click
        QVariant rateAfter;
    };
    const Case cases[] = {
        { "ticked at rate 0 takes the default", 6.25, 0.0, "Y", 6.25 },
        { "ticked without a rate takes the default", 8.0, QVariant(), "Y", 8.0 },
        { "ticked at 7.5 keeps 7.5", 6.25, 7.5, "Y", 7.5 },
        { "cleared at rate 0 stays 0", 6.25, 0.0, "N", 0.0 },
        { "cleared at 7.5 keeps 7.5", 6.25, 7.5, "N", 7.5 },
    };
    addActivity(QStringLiteral("AUDIT"), QStringLiteral("Audit work"));
    m_rules.open();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        setDefaultTaxRate(c.defaultRate);
        m_activities.setValue(QStringLiteral("TAXRATE"), c.rateBefore);
        m_activities.setValue(QStringLiteral("TAXABLE"), QLatin1String(c.taxable));
        m_rules.taxableClicked();
        EXPECT_EQ(m_activities.value(QStringLiteral("TAXRATE")).toDouble(), c.rateAfter.toDouble());
        ASSERT_TRUE(m_rules.save());
        EXPECT_EQ(column(m_dir, "TWACT", QStringLiteral("ACTIVITY"), QStringLiteral("TAXRATE")),
            QStringList{ QString::number(c.rateAfter.toDouble()) });
    }
}

TEST_F(ActivityRulesTest, DeletionRefusedWhileSlipsUseTheActivity)
{
    struct Case
    {
        const char *what;
        QString code;
        QList<MessageAnswer> answers;
        bool deleted;
        QStringList messages;
    };
    addActivity(QStringLiteral("MINE"), QStringLiteral("Used by the current client"));
    addActivity(QStringLiteral("THEIRS"), QStringLiteral("Used by another client"));
    addActivity(QStringLiteral("BILLED"), QStringLiteral("Billed long ago"));
    addActivity(QStringLiteral("AUTO"), QStringLiteral("Monthly retainer"));
    addActivity(QStringLiteral("FREE"), QStringLiteral("Nobody uses this"));
    addActivity(QStringLiteral("MIN"), QStringLiteral("Shorter code"));
    addSlip(1, QStringLiteral("1001"), QStringLiteral("MINE"), 0);
    addSlip(2, QStringLiteral("1002"), QStringLiteral("THEIRS"), 0);
    addSlip(3, QStringLiteral("1002"), QStringLiteral("BILLED"), 1);
    // A recurring-charge slot is no slip.
    m_clients.setValue(QStringLiteral("D_ACT1"), QStringLiteral("AUTO"));
    m_clients.post();
    restrictSlipsTo(QStringLiteral("1001"));
    const ui::Dataset::Bookmark slipShown = m_slips.bookmark();

    const Case cases[] = {
        { "slip of the current client", "MINE", { MessageAnswer::Ok }, false, { kUsed } },
        { "slip of another client", "THEIRS", { MessageAnswer::Ok }, false, { kUsed } },
        { "billed slip", "BILLED", { MessageAnswer::Ok }, false, { kUsed } },
        { "cancel keeps it", "FREE", { MessageAnswer::Cancel }, false,
            { QStringLiteral("Delete Nobody uses this?") } },
        { "auto billing slot only", "AUTO", { MessageAnswer::Ok }, true,
            { QStringLiteral("Delete Monthly retainer?") } },
        { "a code that is the start of a used one", "MIN", { MessageAnswer::Ok }, true,
            { QStringLiteral("Delete Shorter code?") } },
    };
    m_rules.open();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        m_messages.clear();
        for (MessageAnswer a : c.answers)
            m_messages.enqueue(a);
        ASSERT_TRUE(m_activities.findKey({ c.code }));
        EXPECT_EQ(m_rules.remove(), c.deleted);
        EXPECT_EQ(m_messages.texts(), c.messages);
        EXPECT_EQ(m_messages.unscripted(), 0);
        EXPECT_EQ(codes().contains(c.code), !c.deleted);
        // The main window's slip list was not disturbed.
        EXPECT_EQ(m_slips.bookmark(), slipShown);
        EXPECT_EQ(m_slips.recordCount(), std::size_t(1));
    }
    EXPECT_EQ(column(m_dir, "TWCLIENT", QStringLiteral("NUMBER"), QStringLiteral("D_ACT1")),
        (QStringList{ QStringLiteral("AUTO"), QString() }));
}

TEST_F(ActivityRulesTest, ButtonsAutoEditAndEmptyTable)
{
    m_rules.open();
    EXPECT_FALSE(m_rules.canSearch());
    EXPECT_EQ(
        m_messages.texts(), QStringList{ QStringLiteral("There are no Activities to list.") });
    EXPECT_FALSE(m_rules.remove());

    const ActivityRules::ButtonStates browsing{ true, true, true, false, false };
    const ActivityRules::ButtonStates editing{ false, false, false, true, true };
    EXPECT_EQ(m_rules.buttonStates(), browsing);
    ASSERT_TRUE(m_rules.newActivity(answers({ QStringLiteral("WRITE") })));
    EXPECT_EQ(m_rules.buttonStates(), editing);
    m_rules.cancel();
    EXPECT_EQ(m_rules.buttonStates(), browsing);
    EXPECT_TRUE(codes().isEmpty());

    addActivity(QStringLiteral("WRITE"), QStringLiteral("Writing"));
    m_rules.open();
    EXPECT_TRUE(m_activities.autoEdit());
    m_messages.clear();
    EXPECT_TRUE(m_rules.canSearch());
    EXPECT_TRUE(m_messages.texts().isEmpty());
    // Save with nothing pending does nothing; a change then save posts it.
    EXPECT_TRUE(m_rules.save());
    m_activities.setValue(QStringLiteral("DESC"), QStringLiteral("Drafting"));
    EXPECT_EQ(m_rules.buttonStates(), editing);
    m_rules.cancel();
    EXPECT_EQ(m_activities.text(QStringLiteral("DESC")), QStringLiteral("Writing"));
    m_activities.setValue(QStringLiteral("ACTTYPE"), QStringLiteral("E"));
    ASSERT_TRUE(m_rules.save());
    EXPECT_EQ(column(m_dir, "TWACT", QStringLiteral("ACTIVITY"), QStringLiteral("ACTTYPE")),
        QStringList{ QStringLiteral("E") });
}

} // namespace
