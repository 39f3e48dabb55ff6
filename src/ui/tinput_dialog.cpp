#include "ui/tinput_dialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace ui {

TInputDialog::TInputDialog(QWidget *parent, InputDialogMode mode)
    : QDialog(parent)
    , m_mode(mode)
    , m_prompt(new QLabel(this))
    , m_edit(new QLineEdit(this))
    , m_ok(new QPushButton(QStringLiteral("&OK"), this))
    , m_cancel(new QPushButton(QStringLiteral("&Cancel"), this))
{
    setObjectName(QStringLiteral("InputDialog"));
    m_edit->setObjectName(QStringLiteral("InputEdit"));
    m_ok->setObjectName(QStringLiteral("OKBtn"));
    m_cancel->setObjectName(QStringLiteral("CancelBtn"));
    m_prompt->setBuddy(m_edit);
    m_ok->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_edit);
    layout->addLayout(buttons);

    connect(m_edit, &QLineEdit::textEdited, this, [this](const QString &text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int pos = m_edit->cursorPosition();
            m_edit->setText(upper);
            m_edit->setCursorPosition(pos);
        }
    });
    connect(m_ok, &QPushButton::clicked, this, &TInputDialog::OKBtnClick);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    setMode(mode);
    m_edit->setFocus();
}

void TInputDialog::setMode(InputDialogMode mode)
{
    m_mode = mode;
    const InputDialogLook look = inputDialogLook(mode);
    setWindowTitle(look.caption);
    m_prompt->setText(look.prompt);
    m_edit->setMaxLength(look.maxLength);
    const int charWidth = m_edit->fontMetrics().horizontalAdvance(QLatin1Char('W'));
    m_edit->setFixedWidth(charWidth * (look.narrow ? 4 : look.maxLength + 2));
    m_edit->setText(normalizeCode(m_edit->text(), mode));
    adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QString TInputDialog::code() const
{
    return normalizeCode(m_edit->text(), m_mode);
}

void TInputDialog::setCode(const QString &code)
{
    m_edit->setText(normalizeCode(code, m_mode));
}

void TInputDialog::OKBtnClick()
{
    // Blanks alone are no code: a record keyed by blanks could be neither found nor typed.
    if (m_edit->text().trimmed().isEmpty())
        reject();
    else
        accept();
}

} // namespace ui
