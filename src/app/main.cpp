#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QSplashScreen>
#include <QTimer>

#include "app/application_title.h"
#include "app/login/login_dialog.h"
#include "app/login/login_rules.h"
#include "app/main_form.h"
#include "platform/ini_file.h"
#include "store/store_error.h"
#include "ui/desktop_messages.h"

namespace {

// The splash picture: a clock face beside the product name and version.
QPixmap splashPicture()
{
    QPixmap pixmap(420, 220);
    pixmap.fill(QColor(0x1f, 0x4e, 0x5f));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 6));
    p.drawEllipse(QPoint(100, 110), 60, 60);
    p.drawLine(100, 110, 100, 70);
    p.drawLine(100, 110, 130, 125);
    QFont f = p.font();
    f.setPointSize(26);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(180, 60, 230, 50), Qt::AlignLeft, QStringLiteral("Tarnwick"));
    f.setPointSize(12);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(182, 110, 230, 30), Qt::AlignLeft, QStringLiteral("Time & Billing"));
    p.drawText(QRect(182, 150, 230, 30), Qt::AlignLeft, QStringLiteral("v3.0"));
    return pixmap;
}

// Who is working: the first start creates the administrator, every later start asks for a staff
// code and password. False when the user cancels the login, which ends the start.
bool logIn(app::MainData &data, ui::Messages &messages, QWidget *window)
{
    app::ProgramState &state = data.state();
    login::LoginRules rules(state.dataDirectory);
    const login::LoginOutcome outcome = login::runLogin(rules, messages, state.loginName,
        [&](login::LoginRules &r, const QString &proposed) {
            login::TLoginDialog dialog(r, messages, proposed, window);
            return dialog.run();
        });
    if (outcome.result == login::LoginResult::Cancelled)
        return false;
    state.accessLevel = outcome.accessLevel;
    state.loginName = outcome.loginName;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QSplashScreen splash(splashPicture());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    splash.show();
    QApplication::processEvents();
    app::setApplicationTitle();

    platform::IniFile settings(platform::IniFile::userSettingsPath("TARNW.INI"));
    ui::DesktopMessages messages;
    std::unique_ptr<app::TMainForm> form;
    try {
        form = std::make_unique<app::TMainForm>(settings, messages,
            [&messages, &form](app::MainData &data) { return logIn(data, messages, form.get()); });
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        splash.close();
        messages.error(QString::fromUtf8(e.what()));
        return 1;
    }
    QApplication::restoreOverrideCursor();
    splash.close();
    if (form->startupAborted())
        return 1;
    form->resize(900, 640);
    form->show();
    // tarnw --screenshot-tabs PREFIX: saves one picture of each tab and ends (for looking at the
    // window under a virtual display).
    const QStringList args = QApplication::arguments();
    const int shot = int(args.indexOf(QStringLiteral("--screenshot-tabs")));
    if (shot > 0 && shot + 1 < args.size()) {
        const QString prefix = args[shot + 1];
        QTimer::singleShot(300, form.get(), [&form, prefix] {
            for (int i = 0; i < 4; ++i) {
                form->pages()->setCurrentIndex(i);
                QApplication::processEvents();
                form->grab().save(prefix + QString::number(i) + QStringLiteral(".png"));
            }
            form->close();
        });
    }
    return QApplication::exec();
}
