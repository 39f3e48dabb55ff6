// Drives the real login dialog and security window. With TARNW_SCREENSHOT_DIR set, each window
// is also saved there as a picture (run under a real display server to look at them).
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include "app/login/login_dialog.h"
#include "app/login/login_rules.h"
#include "app/login/security_form.h"
#include "data_dir.h"
#include "ui/scripted_messages.h"

namespace {

void screenshot(QWidget &window, const QString &name)
{
    const QString dir = qEnvironmentVariable("TARNW_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    window.show();
    QTest::qWait(200);
    window.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void staffedDir(DataDir &dir)
{
    dir.addStaff("000", "Administrator");
    dir.addRights("000", 9, "KESTRELS");
    dir.addStaff("ABC", "Anne Brook");
    dir.addRights("ABC", 5, "abc");
    dir.addStaff("XYZ", "New Member"); // no rights row yet
}

} // namespace

class LoginDialogsTest : public QObject
{
    Q_OBJECT
private slots:
    void loginDialogWrongThenRightPassword()
    {
        DataDir dir;
        staffedDir(dir);
        login::LoginRules rules(dir.path());
        ui::ScriptedMessages messages;
        login::TLoginDialog dialog(rules, messages, QStringLiteral("ABC"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Tarnwick Login"));
        QCOMPARE(dialog.UserCode->count(), 3);
        QCOMPARE(dialog.UserCode->currentText(), QStringLiteral("ABC"));
        QVERIFY(!dialog.UserCode->isEditable());
        QCOMPARE(dialog.Password->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.Password->maxLength(), 8);
        QVERIFY(dialog.OKBtn->isDefault());
        screenshot(dialog, QStringLiteral("login"));

        QTest::keyClicks(dialog.Password, QStringLiteral("ABC"));
        dialog.OKBtn->click();
        QCOMPARE(messages.texts(), QStringList{ QStringLiteral("Incorrect password.") });
        QCOMPARE(messages.shown().first().kind, ui::MessageKind::Warning);
        QVERIFY(dialog.Password->text().isEmpty());
        QVERIFY(!dialog.loggedIn());

        QTest::keyClicks(dialog.Password, QStringLiteral("abc"));
        dialog.OKBtn->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.loggedIn());
        QCOMPARE(dialog.loggedIn()->code, QStringLiteral("ABC"));
        QCOMPARE(dialog.loggedIn()->level, 5);
        QCOMPARE(messages.shown().size(), 1);
    }

    void loginDialogCancelAndMissingRightsRowEndTheStart()
    {
        DataDir dir;
        staffedDir(dir);
        login::LoginRules rules(dir.path());
        ui::ScriptedMessages messages;
        for (const char *button : { "cancel", "no rights row" }) {
            const QString proposed = QString::fromLatin1(button) == QLatin1String("cancel")
                ? QStringLiteral("000")
                : QStringLiteral("XYZ");
            const auto out = login::runLogin(
                rules, messages, proposed, [&](login::LoginRules &r, const QString &code) {
                    login::TLoginDialog dialog(r, messages, code);
                    QTimer::singleShot(0, &dialog, [&] {
                        if (code == QLatin1String("000"))
                            dialog.CancelBtn->click();
                        else
                            dialog.OKBtn->click();
                    });
                    return dialog.run();
                });
            QCOMPARE(out.result, login::LoginResult::Cancelled);
            QCOMPARE(out.loginName, proposed);
        }
        QVERIFY(messages.shown().isEmpty());
    }

    void securityWindowPagesAndAdministratorLevel()
    {
        DataDir dir;
        staffedDir(dir);
        const QString ini = QString::fromStdString((dir.path() / "TARNW.INI").string());
        ui::ScriptedMessages messages;
        {
            login::TFrmSecurity form(dir.path(), messages, ini);
            QCOMPARE(form.windowTitle(), QStringLiteral("Administrator Security"));
            QCOMPARE(form.Pages->tabText(0), QStringLiteral("&Menu Security"));
            QCOMPARE(form.Pages->tabText(1), QStringLiteral("&Staff Settings"));
            QCOMPARE(form.Pages->tabPosition(), QTabWidget::South);
            QCOMPARE(form.MenuGrid->rowCount(), int(login::optionCodes().size()));
            QCOMPARE(form.StaffGrid->rowCount(), 3); // XYZ added on opening
            QCOMPARE(form.StaffGrid->item(2, 0)->text(), QStringLiteral("XYZ"));
            QComboBox *level = form.menuLevelBox(0);
            QVERIFY(!level->isEditable());
            QStringList items;
            for (int i = 0; i < level->count(); ++i)
                items << level->itemText(i);
            QCOMPARE(items, (QStringList{ "1", "2", "3", "4", "5", "6", "7", "8", "9" }));
            QCOMPARE(form.passwordBox(0)->echoMode(), QLineEdit::Password);
            screenshot(form, QStringLiteral("security-menu"));
            form.Pages->setCurrentIndex(1);
            screenshot(form, QStringLiteral("security-staff"));

            form.menuLevelBox(0)->setCurrentText(QStringLiteral("7"));
            form.staffLevelBox(0)->setCurrentText(QStringLiteral("3")); // the administrator
            form.passwordBox(0)->setFocus();
            form.passwordBox(0)->selectAll(); // full at eight characters: typing replaces
            QTest::keyClicks(form.passwordBox(0), QStringLiteral("Owl"));
            QVERIFY(messages.shown().isEmpty());
            form.OKBtn->click();
            QCOMPARE(messages.texts(),
                QStringList{
                    QStringLiteral("The access level for the administrator cannot be changed!") });
            QCOMPARE(form.staffLevelBox(0)->currentText(), QStringLiteral("9"));
        }
        QCOMPARE(QString::fromStdString(dir.rightsOf("000")), QStringLiteral("9:Owl"));
        QCOMPARE(QString::fromStdString(dir.rightsOf("XYZ")), QStringLiteral("9:"));
        auto menu = dbf::Table::open(dir.path(), "MENU", dbf::OpenMode::Shared);
        ui::ScriptedMessages rightsMessages;
        login::SecurityModel reread(dir.path(), rightsMessages);
        QCOMPARE(reread.menuRows()[0].level, 7);
        QVERIFY(!login::Rights::check(*menu, reread.menuRows()[0].key, 6, rightsMessages));

        // Closed by its frame: the change of the current row is not saved.
        {
            login::TFrmSecurity form(dir.path(), messages, ini);
            form.staffLevelBox(1)->setCurrentText(QStringLiteral("2"));
            form.reject();
        }
        QCOMPARE(QString::fromStdString(dir.rightsOf("ABC")), QStringLiteral("5:abc"));
    }
};

QTEST_MAIN(LoginDialogsTest)
#include "login_dialogs_test.moc"
