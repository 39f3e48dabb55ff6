#include "app/login/login_dialog.h"

#include <exception>

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "ui/messages.h"

namespace login {

TLoginDialog::TLoginDialog(
    LoginRules &rules, ui::Messages &messages, const QString &proposedCode, QWidget *parent)
    : QDialog(parent)
    , m_rules(rules)
    , m_messages(messages)
{
    setObjectName(QStringLiteral("LoginDialog"));
    setWindowTitle(QStringLiteral("Tarnwick Login"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *picture = new QLabel(this);
    picture->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    UserCode = new QComboBox(this);
    UserCode->setObjectName(QStringLiteral("UserCode"));
    UserCode->setEditable(false);
    for (const std::string &code : m_rules.staffCodes())
        UserCode->addItem(QString::fromLatin1(code));
    const int proposed = UserCode->findText(proposedCode.trimmed());
    UserCode->setCurrentIndex(proposed >= 0 ? proposed : 0);

    Password = new QLineEdit(this);
    Password->setObjectName(QStringLiteral("Password"));
    Password->setEchoMode(QLineEdit::Password);
    Password->setMaxLength(kPasswordLength);
    Password->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));

    auto *codeLabel = new QLabel(QStringLiteral("User Code:"), this);
    codeLabel->setBuddy(UserCode);
    auto *passwordLabel = new QLabel(QStringLiteral("Password:"), this);
    passwordLabel->setBuddy(Password);

    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));

    auto *fields = new QGridLayout;
    fields->addWidget(codeLabel, 0, 0);
    fields->addWidget(UserCode, 0, 1);
    fields->addWidget(passwordLabel, 1, 0);
    fields->addWidget(Password, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto *right = new QVBoxLayout;
    right->addLayout(fields);
    right->addStretch();
    right->addLayout(buttons);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(picture);
    layout->addLayout(right);

    connect(OKBtn, &QPushButton::clicked, this, &TLoginDialog::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));
    Password->setFocus();
}

std::optional<LoggedIn> TLoginDialog::run()
{
    m_loggedIn.reset();
    exec();
    return m_loggedIn;
}

void TLoginDialog::OKBtnClick()
{
    const QString code = UserCode->currentText();
    LoginRules::Attempt attempt;
    try {
        attempt = m_rules.tryLogin(
            code.toLatin1().toStdString(), Password->text().toLatin1().toStdString());
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
        return;
    }
    switch (attempt.check) {
    case LoginRules::Check::NoRightsRow:
        reject();
        return;
    case LoginRules::Check::WrongPassword:
        m_messages.warning(incorrectPasswordText());
        Password->clear();
        Password->setFocus();
        return;
    case LoginRules::Check::Accepted:
        m_loggedIn = LoggedIn{ code, attempt.level };
        accept();
        return;
    }
}

} // namespace login
