#pragma once

#include <optional>

#include <QDialog>

#include "app/login/login_rules.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace login {

// "Tarnwick Login": the staff code chosen from the staff list (preset to the login name), the
// password typed (never shown), OK and Cancel. A wrong password shows "Incorrect password." and
// the user tries again; a staff code without a rights row closes the dialog as cancelled.
class TLoginDialog : public QDialog
{
    Q_OBJECT
public:
    TLoginDialog(LoginRules &rules, ui::Messages &messages, const QString &proposedCode,
        QWidget *parent = nullptr);

    // Shows the dialog modally; who logged in, or nothing when cancelled.
    std::optional<LoggedIn> run();
    const std::optional<LoggedIn> &loggedIn() const { return m_loggedIn; }

    QComboBox *UserCode = nullptr;
    QLineEdit *Password = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

public slots:
    void OKBtnClick();

private:
    LoginRules &m_rules;
    ui::Messages &m_messages;
    std::optional<LoggedIn> m_loggedIn;
};

} // namespace login
