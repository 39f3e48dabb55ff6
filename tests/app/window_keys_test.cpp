// Alt+letter in every window: on the main window each menu title's letter opens its menu and
// each button's letter presses it; in the other windows each button's letter presses it, also
// where a label or a group box of the window was given the same letter. Window captions read
// exactly as the windows set them.
#include <memory>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "app/application_title.h"
#include "app/main_form.h"
#include "main_window_setup.h"
#include "dataset_dir.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "reference/activity_form.h"
#include "reference/employee_form.h"
#include "reference/project_form.h"
#include "reference/setup_form.h"
#include "time/time_slip_form.h"
#include "ui/mnemonics.h"
#include "ui/placement.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>
#include "test_application.h"

namespace {

Qt::Key keyOf(const QString &text)
{
    const QKeySequence mnemonic = QKeySequence::mnemonic(text);
    return mnemonic.isEmpty() ? Qt::Key_unknown : mnemonic[0].key();
}

void activate(QWidget &window)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// Presses Alt+letter of every push button of `window` (on every page of its tab widgets) and
// expects exactly that button to be clicked. The buttons' own handlers are cut off first: the
// test is about where the key goes, not what the button does.
void expectEveryButtonTakesItsLetter(QWidget &window, int expectedButtons)
{
    int pressed = 0;
    const auto tabs = window.findChildren<QTabWidget *>();
    const int pages = tabs.isEmpty() ? 1 : int(tabs.first()->count());
    for (int page = 0; page < pages; ++page) {
        if (!tabs.isEmpty())
            tabs.first()->setCurrentIndex(page);
        for (QPushButton *b : window.findChildren<QPushButton *>()) {
            const Qt::Key key = keyOf(b->text());
            if (key == Qt::Key_unknown || !b->isVisible())
                continue;
            QObject::disconnect(b, &QAbstractButton::clicked, nullptr, nullptr);
            b->setEnabled(true);
            QSignalSpy clicked(b, &QAbstractButton::clicked);
            QTest::keyClick(&window, key, Qt::AltModifier);
            // A button's shortcut clicks it animated, a moment later.
            if (clicked.isEmpty())
                clicked.wait(1000);
            EXPECT_EQ(clicked.count(), 1)
                << b->objectName().toStdString() << " " << b->text().toStdString();
            ++pressed;
        }
    }
    EXPECT_GE(pressed, expectedButtons) << window.objectName().toStdString();
}

void addRow(
    ui::Dataset &dataset, const std::initializer_list<std::pair<const char *, QVariant>> &values)
{
    dataset.insert();
    for (const auto &[field, value] : values)
        dataset.setValue(QLatin1String(field), value);
    dataset.post();
}

} // namespace

TEST(MnemonicsTest, TextWithoutItsLetter)
{
    EXPECT_EQ(ui::withoutMnemonic(QStringLiteral("C&ontact:")), QStringLiteral("Contact:"));
    EXPECT_EQ(
        ui::withoutMnemonic(QStringLiteral("Cycle && &Terms")), QStringLiteral("Cycle && Terms"));
    EXPECT_EQ(ui::withoutMnemonic(QStringLiteral("Plain")), QStringLiteral("Plain"));
}

TEST(WindowKeysTest, MainWindowMenusWinAndButtonsPress)
{
    testApplication();
    MainWindowSetup setup;
    auto &[dir, config, ini, messages, login] = setup;
    dir.addClient("1001", "Baker");
    app::TMainForm form(ini, messages, login);
    activate(form);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tarnwick"));

    const QStringList titles{ QStringLiteral("&File"), QStringLiteral("&Edit"),
        QStringLiteral("&Options"), QStringLiteral("&View"), QStringLiteral("&Pages"),
        QStringLiteral("&Help") };
    QStringList shown;
    for (QAction *a : form.menuBar()->actions())
        shown << a->text();
    EXPECT_EQ(shown, titles);
    // From every page: a box or button of the page with the same letter must not take it.
    for (int page = 0; page < 4; ++page) {
        form.pages()->setCurrentIndex(page);
        for (QAction *title : form.menuBar()->actions()) {
            SCOPED_TRACE(title->text().toStdString() + " on page " + std::to_string(page));
            QTest::keyClick(&form, keyOf(title->text()), Qt::AltModifier);
            auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            ASSERT_NE(popup, nullptr);
            EXPECT_EQ(popup, title->menu());
            popup->close();
            // Neither "C&ontact:" nor "&Phone:" took the key.
            const QWidget *focus = QApplication::focusWidget();
            for (const char *box : { "ContactEdit", "PhoneEdit" })
                EXPECT_TRUE(!focus || focus->objectName() != QLatin1String(box)) << box;
            EXPECT_FALSE(form.data().clients().isEditing());
        }
    }
    // The Part's letters that no menu takes still work: Alt+N goes to the client's name.
    form.pages()->setCurrentIndex(0);
    QTest::keyClick(&form, Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("NameEdit"));
    expectEveryButtonTakesItsLetter(form, 1); // "&Calculate Aging"
    form.pages()->setCurrentIndex(0);
    messages.enqueue(ui::MessageAnswer::No);
    form.close();
}

class DialogKeysTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testApplication();
        m_dir.open(m_staff, "TWEMPLOY", QStringLiteral("EMPNUMBER"));
        m_dir.open(m_setup, "TWSETUP");
        m_dir.open(m_activities, "TWACT", QStringLiteral("ACTIVITY"));
        m_dir.open(m_clients, "TWCLIENT", QStringLiteral("NAME"));
        m_dir.open(m_projects, "TWPROJCT", QStringLiteral("CLIENT_COD"));
        m_dir.open(m_slips, "TWSLIP", QStringLiteral("SL_NUMBER"));
        m_dir.open(m_track, "TWTRACK");
        addRow(m_clients,
            { { "NUMBER", QStringLiteral("1001") }, { "NAME", QStringLiteral("Baker") } });
        m_clients.first();
    }

    DatasetDir m_dir;
    ui::Dataset m_staff, m_setup, m_activities, m_clients, m_projects, m_slips, m_track;
    ui::ScriptedMessages m_messages;
    platform::ManualClock m_clock{ std::chrono::year_month_day{
        std::chrono::year(2026), std::chrono::month(12), std::chrono::day(10) } };
};

TEST_F(DialogKeysTest, ButtonsWinOverLabelsAndGroups)
{
    {
        reference::TEmployeeform form(m_staff, m_messages);
        form.placement()->setIniFileName({});
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Staff"));
        activate(form);
        expectEveryButtonTakesItsLetter(form, 6);
        form.hide();
    }
    {
        reference::TActivityForm form(m_activities, m_slips, m_setup, m_messages);
        form.placement()->setIniFileName({});
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Activities"));
        activate(form);
        // "C&lose" and the group "Bi&lling Rates": the button has the letter.
        EXPECT_EQ(form.findChild<QPushButton *>(QStringLiteral("CloseBtn"))->text(),
            QStringLiteral("C&lose"));
        expectEveryButtonTakesItsLetter(form, 6);
        form.hide();
    }
    {
        reference::TProjectForm form(m_projects, m_clients, m_slips, m_messages, m_clock);
        form.placement()->setIniFileName({});
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Projects"));
        activate(form);
        // "&New" and the label "Fi&nish Date": the button has the letter.
        EXPECT_EQ(form.findChild<QPushButton *>(QStringLiteral("NewBtn"))->text(),
            QStringLiteral("&New"));
        expectEveryButtonTakesItsLetter(form, 6);
        form.hide();
    }
    {
        reference::TSetupForm form(m_setup, m_messages);
        form.placement()->setIniFileName({});
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Setup Information"));
        activate(form);
        expectEveryButtonTakesItsLetter(form, 4);
        m_messages.enqueue(ui::MessageAnswer::No);
        form.hide();
    }
    {
        timecap::SlipMemory memory{ QStringLiteral("000"), QString(), QDate(2026, 12, 10),
            QDate(2026, 12, 10) };
        timecap::TTimeslipform form(m_slips, m_clients, m_activities, m_staff, m_projects, m_track,
            m_messages, m_clock, memory, false);
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Time Slip Entry"));
        activate(form);
        expectEveryButtonTakesItsLetter(form, 4);
        form.hide();
    }
}

TEST(ApplicationTitleTest, NoNameIsAddedToCaptions)
{
    testApplication();
    app::setApplicationTitle();
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Tarnwick"));
    // The windowing layer appends only a display name set on its own; without one the display
    // name follows the application name and captions stay as the windows set them.
    QCoreApplication::setApplicationName(QStringLiteral("probe"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
    app::setApplicationTitle();
}
