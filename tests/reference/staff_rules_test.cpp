// The staff window's rules over a real TWEMPLOY (and TWSLIP) made from the templates.
#include <QStringList>

#include "dataset_dir.h"
#include "reference/staff_rules.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>

using reference::StaffRules;
using ui::MessageAnswer;

namespace {

class StaffRulesTest : public ::testing::Test
{
protected:
    void SetUp() override { m_dir.open(m_staff, "TWEMPLOY", QStringLiteral("EMPNUMBER")); }

    void addMember(const QString &code, const QString &name)
    {
        m_staff.insert();
        m_staff.setValue(QStringLiteral("EMPNUMBER"), code);
        m_staff.setValue(QStringLiteral("EMPNAME"), name);
        m_staff.post();
    }

    // The staff codes in the table, in code order, read through a cursor of its own.
    QStringList codes() const
    {
        ui::Dataset check;
        m_dir.open(check, "TWEMPLOY", QStringLiteral("EMPNUMBER"));
        QStringList result;
        for (check.first(); !check.isEmpty() && !check.eof(); check.next())
            result << check.text(QStringLiteral("EMPNUMBER"));
        return result;
    }

    // A code dialog answering the given texts in turn; counts how often it was shown.
    StaffRules::AskCode answers(QStringList texts)
    {
        return [this, texts]() mutable {
            ++m_asked;
            return texts.isEmpty() ? QString() : texts.takeFirst();
        };
    }

    DatasetDir m_dir;
    ui::Dataset m_staff;
    ui::ScriptedMessages m_messages;
    StaffRules m_rules{ m_staff, m_messages };
    int m_asked = 0;
};

const QString kInUse = QStringLiteral("The selected Employee Code is already in use.");

TEST_F(StaffRulesTest, NewStaffCodeEntry)
{
    addMember(QStringLiteral("000"), QStringLiteral("Administrator"));
    addMember(QStringLiteral("JQ"), QStringLiteral("Jane Quill"));

    struct Case
    {
        const char *what;
        QStringList typed;
        bool inserted;
        QString stored; // code of the new record
        int asked;
        QStringList messages;
    };
    const Case cases[] = {
        { "lower case stored upper", { "ab" }, true, "AB", 1, {} },
        { "cut to three letters", { "abcd" }, true, "ABC", 1, {} },
        { "empty creates nothing", { "" }, false, {}, 1, {} },
        { "blanks create nothing", { "   " }, false, {}, 1, {} },
        { "existing code then cancel", { "jq", "" }, false, {}, 2, { kInUse } },
        { "supervisor code is in use", { "000", "" }, false, {}, 2, { kInUse } },
        { "asked again until free", { "JQ", "000", "xy" }, true, "XY", 3, { kInUse, kInUse } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        m_asked = 0;
        m_messages.clear();
        const QStringList before = codes();
        const bool inserted = m_rules.newStaff(answers(c.typed));
        EXPECT_EQ(inserted, c.inserted);
        EXPECT_EQ(m_asked, c.asked);
        EXPECT_EQ(m_messages.texts(), c.messages);
        if (inserted) {
            EXPECT_EQ(m_staff.state(), ui::Dataset::State::Insert);
            EXPECT_EQ(m_staff.text(QStringLiteral("EMPNUMBER")), c.stored);
            EXPECT_EQ(m_staff.text(QStringLiteral("EMPNAME")), QString());
            EXPECT_TRUE(m_staff.value(QStringLiteral("EMPRATE1")).isNull());
            ASSERT_TRUE(m_rules.save());
            QStringList expected = before;
            expected << c.stored;
            expected.sort();
            EXPECT_EQ(codes(), expected);
            EXPECT_EQ(m_staff.text(QStringLiteral("EMPNUMBER")), c.stored);
        } else {
            EXPECT_EQ(m_staff.state(), ui::Dataset::State::Browse);
            EXPECT_EQ(codes(), before);
        }
    }
}

TEST_F(StaffRulesTest, CodeCheckDoesNotMoveTheMemberShown)
{
    addMember(QStringLiteral("000"), QStringLiteral("Administrator"));
    addMember(QStringLiteral("ZZ"), QStringLiteral("Zed Zane"));
    m_staff.first();
    EXPECT_TRUE(m_rules.codeInUse(QStringLiteral("ZZ")));
    EXPECT_FALSE(m_rules.codeInUse(QStringLiteral("Z")));
    EXPECT_EQ(m_staff.text(QStringLiteral("EMPNUMBER")), QStringLiteral("000"));
}

TEST_F(StaffRulesTest, Delete)
{
    addMember(QStringLiteral("000"), QStringLiteral("Administrator"));
    addMember(QStringLiteral("BB"), QStringLiteral("Bea Brook"));
    addMember(QStringLiteral("CC"), QStringLiteral("Cy Cole"));

    struct Case
    {
        const char *what;
        QString code;
        MessageAnswer answer;
        bool deleted;
        QString message;
    };
    const Case cases[] = {
        { "supervisor refused", "000", MessageAnswer::Ok, false,
            "The Supervisor Record cannot be deleted." },
        { "question answered Cancel", "BB", MessageAnswer::Cancel, false, "Delete Bea Brook?" },
        { "question answered OK", "BB", MessageAnswer::Ok, true, "Delete Bea Brook?" },
        { "names the member shown", "CC", MessageAnswer::Ok, true, "Delete Cy Cole?" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        m_messages.clear();
        ASSERT_TRUE(m_staff.findKey({ c.code }));
        m_messages.enqueue(c.answer);
        EXPECT_EQ(m_rules.remove(), c.deleted);
        ASSERT_EQ(m_messages.shown().size(), 1);
        EXPECT_EQ(m_messages.lastText(), c.message);
        const bool isQuestion = c.code != QLatin1String("000");
        EXPECT_EQ(m_messages.shown().first().kind,
            isQuestion ? ui::MessageKind::Confirmation : ui::MessageKind::Information);
        if (isQuestion) {
            EXPECT_EQ(m_messages.shown().first().buttons, ui::MessageButtons::OkCancel);
        }
        EXPECT_EQ(codes().contains(c.code), !c.deleted);
    }
    EXPECT_EQ(codes(), QStringList{ QStringLiteral("000") });
}

TEST_F(StaffRulesTest, MemberOnSlipsCanBeDeletedAndSlipsKeepTheCode)
{
    addMember(QStringLiteral("000"), QStringLiteral("Administrator"));
    addMember(QStringLiteral("SL"), QStringLiteral("Sam Lee"));
    ui::Dataset slips;
    m_dir.open(slips, "TWSLIP");
    slips.insert();
    slips.setValue(QStringLiteral("SL_EMPLOY"), QStringLiteral("SL"));
    slips.setValue(QStringLiteral("SL_CLIENT"), QStringLiteral("000001"));
    slips.post();

    ASSERT_TRUE(m_staff.findKey({ QStringLiteral("SL") }));
    m_messages.enqueue(MessageAnswer::Ok);
    EXPECT_TRUE(m_rules.remove());
    EXPECT_EQ(codes(), QStringList{ QStringLiteral("000") });
    ui::Dataset reread;
    m_dir.open(reread, "TWSLIP");
    ASSERT_EQ(reread.recordCount(), 1u);
    EXPECT_EQ(reread.text(QStringLiteral("SL_EMPLOY")), QStringLiteral("SL"));
}

TEST_F(StaffRulesTest, CancelAndCloseDiscardWithoutQuestion)
{
    addMember(QStringLiteral("000"), QStringLiteral("Administrator"));
    m_rules.open();
    m_staff.setValue(QStringLiteral("EMPNAME"), QStringLiteral("Changed"));
    ASSERT_TRUE(m_staff.isEditing());
    m_rules.cancel();
    EXPECT_FALSE(m_staff.isEditing());
    EXPECT_TRUE(m_messages.shown().isEmpty());
    ui::Dataset check;
    m_dir.open(check, "TWEMPLOY", QStringLiteral("EMPNUMBER"));
    EXPECT_EQ(check.text(QStringLiteral("EMPNAME")), QStringLiteral("Administrator"));
    EXPECT_EQ(m_staff.text(QStringLiteral("EMPNAME")), QStringLiteral("Administrator"));

    // A new record dropped the same way leaves no trace.
    ASSERT_TRUE(m_rules.newStaff(answers({ QStringLiteral("NW") })));
    m_rules.cancel();
    EXPECT_EQ(codes(), QStringList{ QStringLiteral("000") });
}

TEST_F(StaffRulesTest, SearchOnEmptyTableAndAutoEdit)
{
    m_rules.open();
    EXPECT_FALSE(m_staff.autoEdit());
    EXPECT_FALSE(m_rules.canSearch());
    EXPECT_EQ(
        m_messages.texts(), QStringList{ QStringLiteral("There are no Staff Members to list.") });
    EXPECT_FALSE(m_rules.remove()); // nothing to delete, nothing asked
    EXPECT_EQ(m_messages.shown().size(), 1);

    ASSERT_TRUE(m_rules.newStaff(answers({ QStringLiteral("ab") })));
    m_staff.setValue(QStringLiteral("EMPNAME"), QStringLiteral("Al Bright"));
    ASSERT_TRUE(m_rules.save());
    EXPECT_TRUE(m_staff.autoEdit()); // typing edits again after a save
    m_messages.clear();
    EXPECT_TRUE(m_rules.canSearch());
    EXPECT_TRUE(m_messages.shown().isEmpty());

    m_staff.first();
    m_rules.open();
    EXPECT_TRUE(m_staff.autoEdit());
}

TEST_F(StaffRulesTest, ButtonStatesFollowTheRecordState)
{
    addMember(QStringLiteral("000"), QStringLiteral("Administrator"));
    const StaffRules::ButtonStates browsing{ true, true, true, false, false };
    const StaffRules::ButtonStates editing{ false, false, false, true, true };
    EXPECT_EQ(m_rules.buttonStates(), browsing);
    m_staff.setValue(QStringLiteral("SSN"), QStringLiteral("123-45-6789"));
    EXPECT_EQ(m_rules.buttonStates(), editing);
    ASSERT_TRUE(m_rules.save());
    EXPECT_EQ(m_rules.buttonStates(), browsing);
    ASSERT_TRUE(m_rules.newStaff(answers({ QStringLiteral("QQ") })));
    EXPECT_EQ(m_rules.buttonStates(), editing);
    m_rules.cancel();
    EXPECT_EQ(m_rules.buttonStates(), browsing);
}

TEST_F(StaffRulesTest, RefusedPostShowsTheEngineMessageAndKeepsEditing)
{
    addMember(QStringLiteral("000"), QStringLiteral("Administrator"));
    // Another program holds the record: the edit itself is refused with the engine's words.
    ui::Dataset other;
    m_dir.open(other, "TWEMPLOY", QStringLiteral("EMPNUMBER"));
    other.edit();
    EXPECT_THROW(m_staff.setValue(QStringLiteral("EMPNAME"), QStringLiteral("X")), std::exception);
    other.cancel();

    // A refusal by a post handler leaves the record in editing.
    m_staff.BeforePost = [](ui::Dataset &) { throw std::runtime_error("Record locked by test"); };
    m_staff.setValue(QStringLiteral("EMPNAME"), QStringLiteral("Y"));
    EXPECT_FALSE(m_rules.save());
    EXPECT_EQ(m_messages.texts(), QStringList{ QStringLiteral("Record locked by test") });
    EXPECT_EQ(m_messages.shown().first().kind, ui::MessageKind::Error);
    EXPECT_TRUE(m_staff.isEditing());
    m_staff.BeforePost = nullptr;
    EXPECT_TRUE(m_rules.save());
}

} // namespace
