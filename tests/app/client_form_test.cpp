#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/client_dialogs.h"
#include "app/main_form.h"
#include "app/startup.h"
#include "data_dir.h"
#include "platform/ini_file.h"
#include "ui/db_navigator.h"
#include "ui/locate_dialog.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>
#include "test_application.h"

namespace {

// Runs `act` on the next modal dialog of type T once it shows.
template <typename T> void onDialog(std::function<void(T &)> act)
{
    QTimer::singleShot(0, [act] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *d = qobject_cast<T *>(w); d && d->isVisible()) {
                act(*d);
                return;
            }
        ADD_FAILURE() << "no dialog";
    });
}

class ClientFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testApplication();
        m_ini.writeString("Drive", "Path", m_dir.directory());
        // A first start makes the tables from their templates.
        app::MainData first;
        ui::ScriptedMessages m;
        const std::string dir = m_dir.directory();
        app::Startup(first, m).run(
            [dir](std::string_view s, std::string_view k) -> std::optional<std::string> {
                if (s == "Drive" && k == "Path")
                    return dir;
                return std::nullopt;
            });
    }
    std::unique_ptr<app::TMainForm> makeForm(ui::Messages &messages)
    {
        auto form = std::make_unique<app::TMainForm>(m_ini, messages, [](app::MainData &data) {
            data.state().accessLevel = 9;
            return true;
        });
        form->show();
        return form;
    }
    QToolButton *navButton(app::TMainForm &form, ui::DbNavigator::Button b)
    {
        return form.findChild<ui::DbNavigator *>(QStringLiteral("ClientNavigator"))->button(b);
    }
    double nextClient()
    {
        auto t = dbf::Table::open(m_dir.path(), "TWTRACK", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        c.first();
        return c.number("NEXTCLIENT");
    }

    DataDir m_dir;
    TempDir m_config;
    platform::IniFile m_ini{ m_config.path() / "TARNW.INI" };
    ui::ScriptedMessages m_messages;
};

TEST_F(ClientFormTest, AddThroughTheNumberDialogAndPostWithTheNavigator)
{
    auto form = makeForm(m_messages);
    QString proposed;
    onDialog<app::NewClientNumberDialog>([&](app::NewClientNumberDialog &d) {
        proposed = d.number();
        d.numberBox()->setText(QStringLiteral("2000"));
        d.accept();
    });
    form->action(QStringLiteral("AddClient"))->trigger();
    EXPECT_EQ(proposed, QStringLiteral("1001"));
    ui::Dataset &clients = form->data().clients();
    ASSERT_EQ(clients.state(), ui::Dataset::State::Insert);
    EXPECT_EQ(form->pages()->currentIndex(), 0);
    // The first client of an empty file is current while it is typed.
    EXPECT_EQ(form->data().currentClientNumber(), QStringLiteral("2000"));
    auto *name = form->findChild<QLineEdit *>(QStringLiteral("NameEdit"));
    QTest::keyClicks(name, QStringLiteral("Crane Ltd"));
    clients.setValue(QStringLiteral("SCITY"), QStringLiteral("Dover"));
    navButton(*form, ui::DbNavigator::Post)->click();
    EXPECT_FALSE(clients.isEditing());
    EXPECT_EQ(clients.text(QStringLiteral("NAME")), QStringLiteral("Crane Ltd"));
    EXPECT_EQ(nextClient(), 2001);
    EXPECT_EQ(form->data().state().lastPostedClientParts[0], QStringLiteral("Dover"));

    // Cancelled dialog: nothing; a new client then cancelled with the navigator: nothing either.
    onDialog<app::NewClientNumberDialog>([](app::NewClientNumberDialog &d) { d.reject(); });
    form->action(QStringLiteral("AddClient"))->trigger();
    EXPECT_FALSE(clients.isEditing());
    onDialog<app::NewClientNumberDialog>([](app::NewClientNumberDialog &d) { d.accept(); });
    form->action(QStringLiteral("AddClient"))->trigger();
    EXPECT_EQ(clients.text(QStringLiteral("SCITY")), QStringLiteral("Dover"));
    navButton(*form, ui::DbNavigator::Cancel)->click();
    EXPECT_FALSE(form->data().state().addingClient);
    EXPECT_EQ(clients.recordCount(), 1u);
    EXPECT_EQ(nextClient(), 2001);
    EXPECT_TRUE(m_messages.shown().isEmpty());
    form->close();
}

TEST_F(ClientFormTest, ClientSearchByNumberMovesAndReordersTheMainWindow)
{
    m_dir.addClient("3000", "Able Co");
    m_dir.addClient("1000", "Zenith Inc");
    m_dir.addClient("2000", "Midway Ltd");
    auto form = makeForm(m_messages);
    QString status;
    onDialog<app::ClientSearchDialog>([&](app::ClientSearchDialog &d) {
        d.orderBox()->setCurrentIndex(1); // Number
        QTest::keyClicks(d.searchBox(), QStringLiteral("19"));
        status = d.statusLine()->text();
        d.accept();
    });
    form->action(QStringLiteral("ListClients"))->trigger();
    ui::Dataset &clients = form->data().clients();
    EXPECT_EQ(status, QStringLiteral("Rec # 2 of 3")); // nearest to "19": 2000
    EXPECT_EQ(clients.text(QStringLiteral("NUMBER")), QStringLiteral("2000"));
    EXPECT_EQ(clients.tag(), QStringLiteral("NUMBER"));
    clients.next();
    EXPECT_EQ(clients.text(QStringLiteral("NUMBER")), QStringLiteral("3000"));

    // Search Clients locates over the main window's cursor.
    onDialog<ui::LocateDialog>([](ui::LocateDialog &d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Locate Client"));
        d.valueBox()->setText(QStringLiteral("Zen"));
        d.firstButton()->click();
        d.reject();
    });
    form->action(QStringLiteral("SearchClients"))->trigger();
    EXPECT_EQ(clients.text(QStringLiteral("NUMBER")), QStringLiteral("1000"));
    clients.last();

    // Cancel changes nothing.
    onDialog<app::ClientSearchDialog>([](app::ClientSearchDialog &d) {
        d.orderBox()->setCurrentIndex(0);
        d.reject();
    });
    form->action(QStringLiteral("ListClients"))->trigger();
    EXPECT_EQ(clients.text(QStringLiteral("NUMBER")), QStringLiteral("3000"));
    EXPECT_EQ(clients.tag(), QStringLiteral("NUMBER"));
    form->close();
}

// Two running copies on the same files: the second cannot edit the client the first is
// editing, and the first one's change survives.
TEST_F(ClientFormTest, SecondCopyCannotEditAClientBeingEdited)
{
    m_dir.addClient("1001", "Baker & Sons");
    ui::ScriptedMessages otherMessages;
    auto first = makeForm(m_messages);
    auto second = makeForm(otherMessages);
    first->action(QStringLiteral("EditClient"))->trigger();
    ASSERT_TRUE(first->data().clients().isEditing());
    first->data().clients().setValue(QStringLiteral("CONTACT"), QStringLiteral("Mr Baker"));

    second->action(QStringLiteral("EditClient"))->trigger();
    EXPECT_FALSE(second->data().clients().isEditing());
    ASSERT_EQ(otherMessages.shown().size(), 1);
    EXPECT_TRUE(otherMessages.lastText().startsWith(QStringLiteral("Record locked")))
        << otherMessages.lastText().toStdString();

    navButton(*first, ui::DbNavigator::Post)->click();
    EXPECT_TRUE(m_messages.shown().isEmpty());
    auto t = dbf::Table::open(m_dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    c.first();
    EXPECT_EQ(c.text("CONTACT"), "Mr Baker");
    EXPECT_EQ(c.text("NAME"), "Baker & Sons");
    // Once posted, the second copy may edit.
    second->action(QStringLiteral("EditClient"))->trigger();
    EXPECT_TRUE(second->data().clients().isEditing());
    second->data().clients().cancel();
    second->close();
    first->close();
}

} // namespace
