// Typing into a record that another program holds: every window shows the engine's message and
// keeps the stored value, instead of undoing the keystroke without a word. The other program is
// a second, independent handle on the same table files holding the record in edit.
#include <functional>
#include <memory>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "app/main_form.h"
#include "main_window_setup.h"
#include "dataset_dir.h"
#include "dbf/cursor.h"
#include "dbf/table.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "reference/activity_form.h"
#include "reference/employee_form.h"
#include "reference/project_form.h"
#include "reference/setup_form.h"
#include "ui/placement.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>
#include "test_application.h"

namespace {

// Another program with the first record of `table` in edit.
class Holder
{
public:
    Holder(const std::filesystem::path &dir, const char *table)
        : m_table(dbf::Table::open(dir, table, dbf::OpenMode::Shared))
        , m_cursor(std::make_unique<dbf::Cursor>(*m_table))
    {
        m_cursor->first();
        m_cursor->edit();
    }
    ~Holder() { m_cursor->cancel(); }

private:
    std::unique_ptr<dbf::Table> m_table;
    std::unique_ptr<dbf::Cursor> m_cursor;
};

void addRow(
    ui::Dataset &dataset, const std::initializer_list<std::pair<const char *, QVariant>> &values)
{
    dataset.insert();
    for (const auto &[field, value] : values)
        dataset.setValue(QLatin1String(field), value);
    dataset.post();
}

// Types into `box` of `window` while the holder has the record; the box keeps the stored text
// and the engine's message is shown.
void expectRefusedWithMessage(QWidget &window, const char *box, ui::ScriptedMessages &messages)
{
    auto *edit = window.findChild<QLineEdit *>(QLatin1String(box));
    ASSERT_NE(edit, nullptr) << box;
    const QString stored = edit->text();
    messages.clear();
    QTest::keyClicks(edit, QStringLiteral("x"));
    EXPECT_EQ(edit->text(), stored) << box;
    ASSERT_FALSE(messages.shown().isEmpty()) << box;
    EXPECT_EQ(messages.shown().first().kind, ui::MessageKind::Error) << box;
    EXPECT_TRUE(messages.shown().first().text.startsWith(QStringLiteral("Record locked")))
        << box << ": " << messages.shown().first().text.toStdString();
}

} // namespace

class HeldRecordTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testApplication();
        m_dir.open(m_staff, "TWEMPLOY", QStringLiteral("EMPNUMBER"));
        m_dir.open(m_setup, "TWSETUP");
        m_dir.open(m_activities, "TWACT", QStringLiteral("ACTIVITY"));
        m_dir.open(m_clients, "TWCLIENT", QStringLiteral("NUMBER"));
        m_dir.open(m_projects, "TWPROJCT", QStringLiteral("CLIENT_COD"));
        m_dir.open(m_slips, "TWSLIP", QStringLiteral("SL_NUMBER"));
        addRow(m_staff,
            { { "EMPNUMBER", QStringLiteral("000") }, { "EMPNAME", QStringLiteral("Admin") } });
        addRow(m_activities,
            { { "ACTIVITY", QStringLiteral("CONSULT") },
                { "DESC", QStringLiteral("Consulting") } });
        addRow(m_clients,
            { { "NUMBER", QStringLiteral("1001") }, { "NAME", QStringLiteral("Baker") } });
        addRow(m_projects,
            { { "PJ_CLIENT", QStringLiteral("1001") }, { "PJ_CODE", QStringLiteral("AUDIT") } });
        messages.clear();
    }

    DatasetDir m_dir;
    ui::Dataset m_staff, m_setup, m_activities, m_clients, m_projects, m_slips;
    ui::ScriptedMessages messages;
    platform::SystemClock m_clock;
};

TEST_F(HeldRecordTest, ReferenceWindowsShowTheEnginesMessage)
{
    struct Case
    {
        const char *table;
        const char *box;
        std::function<std::unique_ptr<QDialog>()> open;
    };
    const Case cases[] = {
        { "TWEMPLOY", "EMPNAMEEdit",
            [&] {
                auto form = std::make_unique<reference::TEmployeeform>(m_staff, messages);
                form->placement()->setIniFileName({});
                return std::unique_ptr<QDialog>(std::move(form));
            } },
        { "TWSETUP", "COMPNAMEEdit",
            [&] {
                auto form = std::make_unique<reference::TSetupForm>(m_setup, messages);
                form->placement()->setIniFileName({});
                return std::unique_ptr<QDialog>(std::move(form));
            } },
        { "TWACT", "DESCEdit",
            [&] {
                auto form = std::make_unique<reference::TActivityForm>(
                    m_activities, m_slips, m_setup, messages);
                form->placement()->setIniFileName({});
                return std::unique_ptr<QDialog>(std::move(form));
            } },
        { "TWPROJCT", "PJ_DESCEdit",
            [&] {
                auto form = std::make_unique<reference::TProjectForm>(
                    m_projects, m_clients, m_slips, messages, m_clock);
                form->placement()->setIniFileName({});
                return std::unique_ptr<QDialog>(std::move(form));
            } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.table);
        Holder other(m_dir.path(), c.table);
        auto form = c.open();
        expectRefusedWithMessage(*form, c.box, messages);
        // A money box writes when left: the message comes then.
        form->reject();
    }
}

TEST(HeldClientTest, MainWindowShowsTheEnginesMessage)
{
    testApplication();
    MainWindowSetup setup;
    auto &[dir, config, ini, messages, login] = setup;
    dir.addClient("1001", "Baker");
    auto form = std::make_unique<app::TMainForm>(ini, messages, login);
    form->show();
    {
        Holder other(dir.path(), "TWCLIENT");
        for (const char *box : { "ContactEdit", "Rate1DescEdit", "Misc1Edit" })
            expectRefusedWithMessage(*form, box, messages);
        EXPECT_FALSE(form->data().clients().isEditing());
    }
    // Once the other program lets go, typing edits the client.
    QTest::keyClicks(
        form->findChild<QLineEdit *>(QStringLiteral("ContactEdit")), QStringLiteral("Ann"));
    EXPECT_TRUE(form->data().clients().isEditing());
    messages.enqueue(ui::MessageAnswer::No);
    form->close();
}
