// The company setup window's rules over a real TWSETUP made from its template.
#include "dataset_dir.h"
#include "reference/setup_rules.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>

using reference::SetupRules;
using ui::MessageAnswer;

namespace {

class SetupRulesTest : public ::testing::Test
{
protected:
    void SetUp() override { m_dir.open(m_setup, "TWSETUP"); }

    // Stores field values through a cursor of its own, as another session would have.
    void store(const std::vector<std::pair<QString, QString>> &values)
    {
        ui::Dataset other;
        m_dir.open(other, "TWSETUP");
        for (const auto &[field, value] : values)
            other.setValue(field, value);
        other.post();
        m_setup.refresh();
    }
    QString stored(const QString &field) const
    {
        ui::Dataset other;
        m_dir.open(other, "TWSETUP");
        return other.text(field);
    }

    DatasetDir m_dir;
    ui::Dataset m_setup;
    ui::ScriptedMessages m_messages;
    SetupRules m_rules{ m_setup, m_messages };
};

TEST(SetupSubtotalRule, EachOrder)
{
    struct Case
    {
        QString order;
        bool projects, activities;
    };
    const Case cases[] = {
        { "By Project & Activity", true, true },
        { "By Project", true, false },
        { "By Activity", false, true },
        { "By Entry Order", false, false },
        { "By Date Order", false, false },
        { "by project", true, true }, // compared exactly: no match allows both
        { "", true, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.order.toStdString());
        EXPECT_EQ(SetupRules::subtotalStateFor(c.order),
            (SetupRules::SubtotalState{ c.projects, c.activities }));
    }
    EXPECT_EQ(SetupRules::sortOrders().size(), 5);
}

TEST_F(SetupRulesTest, ChoosingAnOrderSetsTheSubtotalFields)
{
    struct Case
    {
        QString order;
        QString subProj, subAct; // after the change, both having been "Y"
    };
    const Case cases[] = {
        { "By Project & Activity", "Y", "Y" },
        { "By Project", "Y", "N" },
        { "By Activity", "N", "Y" },
        { "By Entry Order", "N", "N" },
        { "By Date Order", "N", "N" },
    };
    m_rules.open();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.order.toStdString());
        m_setup.setValue(QStringLiteral("SUBPROJ"), QStringLiteral("Y"));
        m_setup.setValue(QStringLiteral("SUBACT"), QStringLiteral("Y"));
        m_setup.setValue(QStringLiteral("INVSORT"), c.order);
        m_rules.fieldChanged(QStringLiteral("INVSORT"));
        EXPECT_EQ(m_setup.text(QStringLiteral("SUBPROJ")), c.subProj);
        EXPECT_EQ(m_setup.text(QStringLiteral("SUBACT")), c.subAct);
        EXPECT_EQ(m_rules.subtotalState(), SetupRules::subtotalStateFor(c.order));
    }
    // Entry order, then by project: projects allowed again, activities still "N" and barred.
    m_setup.setValue(QStringLiteral("INVSORT"), QStringLiteral("By Entry Order"));
    m_rules.fieldChanged(QStringLiteral("INVSORT"));
    m_setup.setValue(QStringLiteral("INVSORT"), QStringLiteral("By Project"));
    m_rules.fieldChanged(QStringLiteral("INVSORT"));
    EXPECT_EQ(m_rules.subtotalState(), (SetupRules::SubtotalState{ true, false }));
    EXPECT_EQ(m_setup.text(QStringLiteral("SUBPROJ")), QStringLiteral("N"));
    EXPECT_EQ(m_setup.text(QStringLiteral("SUBACT")), QStringLiteral("N"));
    ASSERT_TRUE(m_rules.save());
    EXPECT_EQ(stored(QStringLiteral("SUBACT")), QStringLiteral("N"));
    EXPECT_EQ(stored(QStringLiteral("INVSORT")), QStringLiteral("By Project"));
}

TEST_F(SetupRulesTest, OpeningAppliesTheStoredOrder)
{
    struct Case
    {
        QString order, subProj, subAct;
        bool modified; // opening had to clear a ticked box the order forbids
    };
    const Case cases[] = {
        { "By Entry Order", "N", "N", false },
        { "By Date Order", "Y", "N", true },
        { "By Activity", "Y", "Y", true },
        { "By Project & Activity", "Y", "Y", false },
        { "Unknown order", "Y", "Y", false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.order.toStdString());
        store({ { "INVSORT", c.order }, { "SUBPROJ", c.subProj }, { "SUBACT", c.subAct } });
        m_rules.open();
        EXPECT_TRUE(m_setup.isEditing());
        const auto state = SetupRules::subtotalStateFor(c.order);
        EXPECT_EQ(m_rules.subtotalState(), state);
        EXPECT_EQ(m_setup.text(QStringLiteral("SUBPROJ")),
            state.projectsAllowed ? c.subProj : QStringLiteral("N"));
        EXPECT_EQ(m_setup.text(QStringLiteral("SUBACT")),
            state.activitiesAllowed ? c.subAct : QStringLiteral("N"));
        EXPECT_EQ(m_rules.isModified(), c.modified);
        m_rules.discard();
    }
}

TEST_F(SetupRulesTest, BordersOffClearsShadingOnly)
{
    store({ { "PRINTBOX", "Y" }, { "PRINTSHADE", "Y" } });
    m_rules.open();
    m_setup.setValue(QStringLiteral("PRINTBOX"), QStringLiteral("N"));
    m_rules.fieldChanged(QStringLiteral("PRINTBOX"));
    EXPECT_EQ(m_setup.text(QStringLiteral("PRINTSHADE")), QStringLiteral("N"));
    // Shading can be ticked again by hand, and ticking borders leaves it alone.
    m_setup.setValue(QStringLiteral("PRINTSHADE"), QStringLiteral("Y"));
    m_rules.fieldChanged(QStringLiteral("PRINTSHADE"));
    EXPECT_EQ(m_setup.text(QStringLiteral("PRINTSHADE")), QStringLiteral("Y"));
    m_setup.setValue(QStringLiteral("PRINTBOX"), QStringLiteral("Y"));
    m_rules.fieldChanged(QStringLiteral("PRINTBOX"));
    EXPECT_EQ(m_setup.text(QStringLiteral("PRINTSHADE")), QStringLiteral("Y"));
}

TEST_F(SetupRulesTest, FontStoredAsItsNameOnly)
{
    m_rules.open();
    m_rules.setInvoiceFont(QStringLiteral("DejaVu Serif"));
    ASSERT_TRUE(m_rules.save());
    EXPECT_EQ(stored(QStringLiteral("INVFONT")), QStringLiteral("DejaVu Serif"));
    m_rules.open();
    m_rules.setInvoiceFont(QString(40, QLatin1Char('F')));
    ASSERT_TRUE(m_rules.save());
    EXPECT_EQ(stored(QStringLiteral("INVFONT")), QString(30, QLatin1Char('F')));
}

TEST_F(SetupRulesTest, CloseQuestion)
{
    store({ { "USERFIELD1", "Old caption" } });
    struct Case
    {
        const char *what;
        bool change;
        MessageAnswer answer;
        QStringList questions;
        QString storedCaption;
    };
    const QString question = QStringLiteral("Do you want to save these changes?");
    const Case cases[] = {
        { "no change, no question", false, MessageAnswer::Yes, {}, "Old caption" },
        { "No keeps the record", true, MessageAnswer::No, { question }, "Old caption" },
        { "Yes saves", true, MessageAnswer::Yes, { question }, "Field one" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        m_messages.clear();
        m_rules.open();
        if (c.change)
            m_setup.setValue(QStringLiteral("USERFIELD1"), QStringLiteral("Field one"));
        m_messages.enqueue(c.answer);
        EXPECT_TRUE(m_rules.closeQuery());
        EXPECT_EQ(m_messages.texts(), c.questions);
        if (!c.questions.isEmpty()) {
            EXPECT_EQ(m_messages.shown().first().kind, ui::MessageKind::Information);
            EXPECT_EQ(m_messages.shown().first().buttons, ui::MessageButtons::YesNo);
        }
        EXPECT_FALSE(m_setup.isEditing());
        EXPECT_EQ(stored(QStringLiteral("USERFIELD1")), c.storedCaption);
        EXPECT_EQ(m_rules.userFieldCaptions().first(), c.storedCaption);
        EXPECT_EQ(m_rules.userFieldCaptions().size(), 5);
    }
}

TEST_F(SetupRulesTest, RefusedSaveKeepsTheRecordInEditing)
{
    m_rules.open();
    m_setup.setValue(QStringLiteral("COMPNAME"), QStringLiteral("Quill & Co"));
    m_setup.BeforePost = [](ui::Dataset &) { throw std::runtime_error("Record locked by test"); };
    m_messages.enqueue(MessageAnswer::Yes);
    EXPECT_FALSE(m_rules.closeQuery());
    EXPECT_TRUE(m_setup.isEditing());
    EXPECT_EQ(m_messages.lastText(), QStringLiteral("Record locked by test"));
    m_setup.BeforePost = nullptr;
    EXPECT_TRUE(m_rules.save());
    EXPECT_EQ(stored(QStringLiteral("COMPNAME")), QStringLiteral("Quill & Co"));
}

} // namespace
