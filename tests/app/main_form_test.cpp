#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include "app/login/login_rules.h"
#include "app/main_form.h"
#include "platform/clock.h"
#include "data_dir.h"
#include "platform/ini_file.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>
#include "test_application.h"

namespace {

class MainFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testApplication();
        m_ini.writeString("Drive", "Path", m_dir.directory());
    }
    std::unique_ptr<app::TMainForm> makeForm()
    {
        return std::make_unique<app::TMainForm>(m_ini, m_messages, [](app::MainData &data) {
            data.state().accessLevel = 9;
            return true;
        });
    }

    DataDir m_dir;
    TempDir m_config;
    platform::IniFile m_ini{ m_config.path() / "TARNW.INI" };
    ui::ScriptedMessages m_messages;
};

TEST_F(MainFormTest, TypingIntoTheEmptyFormDoesNothing)
{
    auto form = makeForm();
    form->show();
    auto *name = form->findChild<QLineEdit *>(QStringLiteral("NameEdit"));
    ASSERT_NE(name, nullptr);
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("Smith"));
    EXPECT_EQ(name->text(), QString());
    EXPECT_FALSE(form->data().clients().isEditing());
    EXPECT_TRUE(m_messages.shown().isEmpty());
    form->close();
    auto t = dbf::Table::open(m_dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
    EXPECT_EQ(t->recordCount(), 0u);
}

TEST_F(MainFormTest, TypingIntoAClientEditsItAndTheToolbarFollows)
{
    makeForm().reset(); // first start: the tables are made
    m_dir.addClient("1001", "Baker");
    auto form = makeForm();
    form->show();
    auto *contact = form->findChild<QLineEdit *>(QStringLiteral("ContactEdit"));
    QTest::keyClicks(contact, QStringLiteral("Ann"));
    EXPECT_TRUE(form->data().clients().isEditing());
    EXPECT_FALSE(form->action(QStringLiteral("DeleteClientBtn"))->isEnabled());
    EXPECT_FALSE(form->action(QStringLiteral("LocateBtn"))->isEnabled());
    m_messages.enqueue(ui::MessageAnswer::Yes);
    form->close();
    EXPECT_EQ(m_messages.texts(),
        QStringList{ QStringLiteral("Do you want to save the changes made to Baker?") });
    EXPECT_EQ(m_ini.readString("Settings", "Login Name", ""), "000");
    EXPECT_NE(m_ini.readString("Screens", "MainForm32", ""), "");
    auto t = dbf::Table::open(m_dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    c.first();
    EXPECT_EQ(c.text("CONTACT"), "Ann");
}

TEST_F(MainFormTest, MenusCarryTheirItemsShortcutsPagesAndHints)
{
    auto form = makeForm();
    struct Item
    {
        const char *name;
        QKeySequence shortcut;
    };
    for (const Item &i : { Item{ "GotoPrevious", QKeySequence(Qt::CTRL | Qt::Key_P) },
             Item{ "GotoNext", QKeySequence(Qt::CTRL | Qt::Key_N) },
             Item{ "ListClients", QKeySequence(Qt::CTRL | Qt::Key_L) },
             Item{ "NewSlip", QKeySequence(Qt::Key_Insert) }, Item{ "Reindex", {} },
             Item{ "About", {} } }) {
        QAction *a = form->action(QString::fromLatin1(i.name));
        ASSERT_NE(a, nullptr) << i.name;
        EXPECT_EQ(a->shortcut(), i.shortcut) << i.name;
    }
    for (int page : { 2, 3, 0, 1 }) {
        form->action(QStringLiteral("Page%1").arg(page))->trigger();
        EXPECT_EQ(form->pages()->currentIndex(), page);
    }
    QAction *hints = form->action(QStringLiteral("ShowHints"));
    EXPECT_TRUE(hints->isChecked());
    hints->trigger();
    EXPECT_FALSE(form->data().state().hints);
    form->close();
    EXPECT_EQ(m_ini.readString("Settings", "Hints", ""), "0");
    // The next start reads it back.
    auto again = makeForm();
    EXPECT_FALSE(again->action(QStringLiteral("ShowHints"))->isChecked());
    again->close();
}

TEST_F(MainFormTest, AnotherProgramHoldingATableEndsTheStartWithoutWritingSettings)
{
    makeForm().reset(); // first start: tables and index files made
    std::filesystem::remove(m_config.path() / "TARNW.INI");
    platform::IniFile other(m_config.path() / "OTHER.INI");
    other.writeString("Drive", "Path", m_dir.directory());
    auto held = dbf::Table::open(m_dir.path(), "TWINVOIC", dbf::OpenMode::Exclusive);
    {
        app::TMainForm form(other, m_messages, [](app::MainData &) {
            ADD_FAILURE() << "login after an aborted start";
            return true;
        });
        EXPECT_TRUE(form.startupAborted());
        EXPECT_EQ(m_messages.shown().size(), 1);
        EXPECT_EQ(m_messages.shown().value(0).caption, QStringLiteral("Warning"));
        form.close();
    }
    EXPECT_EQ(other.keys("Settings").size(), 0u);
    EXPECT_EQ(other.keys("Screens").size(), 0u);
    EXPECT_FALSE(std::filesystem::exists(m_config.path() / "TARNW.INI"));
}

// The very first start adds the administrator through table handles of its own; the main
// window's staff cursors, opened on the empty tables, then stand on that record (the Staff
// window shows it), and the program's dates come from the clock the window was given.
TEST_F(MainFormTest, FirstStartLeavesTheStaffCursorsOnTheAdministratorAndDatesFromTheClock)
{
    const platform::ManualClock clock(std::chrono::year{ 2027 } / 2 / 3);
    login::LoginResult result = login::LoginResult::Cancelled;
    auto form = std::make_unique<app::TMainForm>(m_ini, m_messages, clock,
        [this, &result](app::MainData &data) {
            login::LoginRules rules(data.state().dataDirectory);
            const login::LoginOutcome out = login::runLogin(rules, m_messages,
                data.state().loginName, [](login::LoginRules &, const QString &) {
                    ADD_FAILURE() << "a login dialog on the first start";
                    return std::optional<login::LoggedIn>();
                });
            result = out.result;
            data.state().accessLevel = out.accessLevel;
            return true;
        });
    form->show();
    EXPECT_EQ(result, login::LoginResult::FirstStart);
    for (const auto &[cursor, field] : { std::pair{ app::MainData::EMPLOYEETABLE, "EMPNUMBER" },
             std::pair{ app::MainData::EmpMiscTable, "EMPMSNUM" } }) {
        ui::Dataset &staff = form->data().dataset(cursor);
        EXPECT_EQ(staff.text(QLatin1String(field)), QStringLiteral("000")) << field;
        EXPECT_FALSE(staff.isEditing()) << field;
    }
    EXPECT_EQ(form->data().dataset(app::MainData::EMPLOYEETABLE).text(QStringLiteral("EMPNAME")),
        QStringLiteral("Administrator"));
    EXPECT_EQ(form->data().state().slipDateBegin, QStringLiteral("02/03/2027"));
    EXPECT_EQ(form->data().state().slipDateEnd, QStringLiteral("02/03/2027"));
    form->close();
}

} // namespace
